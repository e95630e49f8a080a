// The scan with folders read ahead. The calling thread records the entries in exactly the order of
// the sequential walk; once the scan has to wait for the disk, a few workers list, in that same
// order, the subfolders of the folders on its way down before it gets there, and have the
// system fetch the folders below those into its cache.
//
// A folder read ahead is listed completely and closed again, so that read-ahead holds no
// descriptor beyond the workers' own: open are only the folders on the way down (their
// subfolders are opened relative to them) and the ones being read. So the calling thread opens a
// folder that a worker read once more when it goes down into it and it has subfolders.

#include "discovery/scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace vesk::discovery {
namespace {

void Record(EntryList& list, const char* marker, const std::string& folder, std::string_view name) {
  std::string& slot = list.back();
  slot.reserve(4 + folder.size() + name.size());
  slot.append(marker).append(folder).append(name);
  list.emplace_back();  // the new spare slot
}

// A folder's entries, "." and ".." left out, with the names packed into one string: reading
// ahead then costs no allocation per entry.
struct Listing {
  struct Item {
    std::size_t offset;
    std::uint32_t length;
    bool isDirectory;
    bool isLink;
    // A subfolder the walk goes down into, unless it cannot be enumerated or is on the way down.
    bool ToEnter() const { return isDirectory && !isLink; }
  };
  std::string names;
  std::vector<Item> items;

  std::string_view Name(const Item& item) const { return std::string_view(names).substr(item.offset, item.length); }
  bool AnyToEnter() const {
    return std::any_of(items.begin(), items.end(), [](const Item& item) { return item.ToEnter(); });
  }
};

void ReadAll(platform::Folder& folder, Listing& listing) {
  platform::FolderEntry entry;
  while (folder.Next(entry)) {
    if (entry.isDirectory && (entry.name == "." || entry.name == "..")) continue;
    listing.items.push_back(
        {listing.names.size(), static_cast<std::uint32_t>(entry.name.size()), entry.isDirectory, entry.isLink});
    listing.names += entry.name;
  }
}

// A subfolder of a folder on the way down, queued, being read or read.
struct Pending {
  enum class State { kQueued, kReading, kRead };

  platform::Folder* parent = nullptr;  // stays open until all its pending subfolders are taken
  std::string name;
  std::string path;  // the parent's path + name, without a trailing separator
  std::atomic<State> state = State::kQueued;  // changed under the walk's mutex
  // Written by the reader before the state becomes kRead.
  bool enumerable = false;
  std::optional<platform::FolderId> id;
  Listing listing;
  // Kept open when the recording thread read it itself and goes down into it at once.
  std::unique_ptr<platform::Folder> folder;
  std::exception_ptr error;
};

// Waits a little for `ready` without sleeping: putting a thread to sleep and waking it costs more
// than reading a folder from a warm cache, and most waits here are that short.
template <class Ready>
void SpinUntil(Ready ready) {
  constexpr auto kLongest = std::chrono::microseconds(50);
  const auto until = std::chrono::steady_clock::now() + kLongest;
  for (unsigned i = 1; !ready(); ++i) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
    if (i % 64 == 0 && std::chrono::steady_clock::now() > until) return;
  }
}

void Read(Pending& pending, const std::string& pattern, bool keepOpen = false) {
  try {
    auto folder = pending.parent->OpenChild(pending.name, pending.path, pattern);
    if (!folder) return;  // cannot be enumerated
    pending.enumerable = true;
    pending.id = folder->Id();
    ReadAll(*folder, pending.listing);
    if (keepOpen && pending.listing.AnyToEnter()) pending.folder = std::move(folder);
  } catch (...) {
    pending.error = std::current_exception();  // the recording thread raises it in its turn
  }
}

class Walk {
 public:
  // Workers leave the next folders in line to the recording thread: on a warm cache it reads
  // them as fast as it could take them over, and it never has to wait for a worker that has
  // only just started on the very folder it needs.
  static constexpr std::size_t kLead = 2;

  Walk(const std::string& pattern, EntryList& list, platform::System& system, const ScanOptions& options)
      : pattern_(pattern), list_(list), system_(system), options_(options), blocksAtStart_(platform::BlocksRead()) {}

  ~Walk() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    workAvailable_.notify_all();
    for (auto& worker : workers_) worker.join();
  }

  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  void Run(std::unique_ptr<platform::Folder> root, std::string path) {
    Level top;
    top.id = root->Id();
    top.path = std::move(path);
    ReadAll(*root, top.listing);
    top.folder = std::move(root);
    Push(std::move(top));

    while (!levels_.empty()) {
      Level& level = levels_.back();
      if (level.next == level.listing.items.size()) {
        levels_.pop_back();  // every subfolder is taken: nobody reads through this folder any more
        continue;
      }
      const Listing::Item& entry = level.listing.items[level.next++];
      if (!entry.isDirectory) {
        Record(list_, kFileMarker, level.path, level.listing.Name(entry));
        continue;
      }
      Record(list_, kFolderMarker, level.path, level.listing.Name(entry));
      if (entry.isLink || !level.folder) continue;

      const std::unique_ptr<Pending> sub = Take(level);
      if (sub->error) std::rethrow_exception(sub->error);
      if (!sub->enumerable) continue;
      if (sub->id) {
        const bool onDescentPath =
            std::any_of(levels_.begin(), levels_.end(), [&](const Level& l) { return l.id == sub->id; });
        if (onDescentPath) continue;
      }
      Level child;
      child.id = sub->id;
      child.path = sub->path + platform::kSeparator;
      child.listing = std::move(sub->listing);
      if (sub->folder) {
        child.folder = std::move(sub->folder);
      } else if (child.listing.AnyToEnter()) {
        child.folder = level.folder->OpenChild(sub->name, sub->path, pattern_);
        // Replaced since it was listed: its subfolders are recorded but not entered.
        if (child.folder && child.folder->Id() != child.id) child.folder.reset();
      }
      Push(std::move(child));  // `level` and `entry` are invalid from here
    }
  }

 private:
  struct Level {
    // Open while subfolders of it are pending; null when none is to be entered.
    std::unique_ptr<platform::Folder> folder;
    std::optional<platform::FolderId> id;
    std::string path;  // ends with the separator
    Listing listing;
    std::size_t next = 0;  // the next item of the listing to record
    std::deque<std::unique_ptr<Pending>> subfolders;  // in listing order
  };

  void Push(Level level) {
    if (level.folder) {
      for (const auto& item : level.listing.items) {
        if (!item.ToEnter()) continue;
        auto pending = std::make_unique<Pending>();
        pending->parent = level.folder.get();
        pending->name = level.listing.Name(item);
        pending->path = level.path + pending->name;
        level.subfolders.push_back(std::move(pending));
      }
      if (level.subfolders.empty()) level.folder.reset();
    }
    const std::size_t added = level.subfolders.size();
    {
      // This folder's subfolders come before everything queued so far (later siblings of it
      // and of the folders above it), so the queue's back is always the next folder in order.
      std::lock_guard lock(mutex_);
      for (auto it = level.subfolders.rbegin(); it != level.subfolders.rend(); ++it) queue_.push_back(it->get());
      queued_ += added;
    }
    levels_.push_back(std::move(level));
    if (added == 0) return;
    if (!options_.onlyFromDisk || !blocksAtStart_) StartWorkers();
    // Wake only as many workers as there is new work for: every wake-up costs a system call.
    const std::size_t forWorkers = queued_ > kLead ? std::min(added, queued_ - kLead) : 0;
    for (std::size_t i = 0; i < std::min(forWorkers, idle_.load()); ++i) workAvailable_.notify_one();
  }

  // The next subfolder of `level`, read: waits for its worker, or reads it here if no worker has
  // taken it yet.
  std::unique_ptr<Pending> Take(Level& level) {
    std::unique_ptr<Pending> sub = std::move(level.subfolders.front());
    level.subfolders.pop_front();
    std::unique_lock lock(mutex_);
    if (sub->state == Pending::State::kQueued) {
      const auto it = std::find(queue_.rbegin(), queue_.rend(), sub.get());
      queue_.erase(std::next(it).base());
      --queued_;
      sub->state = Pending::State::kReading;
      lock.unlock();
      Read(*sub, pattern_, true);
      if (!started_ && ++readHere_ % 16 == 0 && ReadFromDisk()) StartWorkers();
      return sub;
    }
    lock.unlock();
    SpinUntil([&] { return sub->state == Pending::State::kRead; });
    lock.lock();
    while (sub->state != Pending::State::kRead) {
      // Rather than sleep until its worker is done, read the next folder in line: waking up
      // costs about as much as reading a folder from a warm cache.
      if (WorkWaiting(0)) {
        ReadNext(lock, 0);
        continue;
      }
      awaited_ = sub.get();
      readDone_.wait(lock);
      awaited_ = nullptr;
    }
    const bool windowWasFull = inWindow_.fetch_sub(1) == options_.window;
    const bool moreQueued = queued_ > kLead;
    lock.unlock();
    if (windowWasFull && moreQueued && idle_ > 0) workAvailable_.notify_one();
    return sub;
  }

  // Whether the scan has had the system read more than a few stray blocks from storage. Asking
  // costs a system call, so it is asked only now and then.
  bool ReadFromDisk() const {
    constexpr std::uint64_t kStrayBlocks = 256;  // 128 KiB, in the system's 512-byte units
    const auto blocks = platform::BlocksRead();
    return blocks && blocksAtStart_ && *blocks > *blocksAtStart_ + kStrayBlocks;
  }

  void StartWorkers() {
    if (started_) return;
    started_ = true;
    for (int i = 0; i < options_.workers; ++i) {
      try {
        workers_.emplace_back([this] { Work(); });
      } catch (const std::system_error&) {
        break;  // fewer workers; the recording thread reads whatever none has taken
      }
    }
  }

  void Work() {
    std::unique_lock lock(mutex_);
    while (true) {
      if (!stop_ && !WorkWaiting(kLead) && hints_.empty()) {
        ++idle_;
        workAvailable_.wait(lock, [&] { return stop_ || WorkWaiting(kLead) || !hints_.empty(); });
        --idle_;
      }
      if (stop_) return;
      if (WorkWaiting(kLead)) {
        ReadNext(lock, kLead, true);
      } else {
        Hint(lock);
      }
    }
  }

  // Read without the lock by spinning threads, so kept in atomics.
  bool WorkWaiting(std::size_t lead) const { return queued_ > lead && inWindow_ < options_.window; }

  // Reads the queued folder `lead` places after the next one; `lock` is held before and after,
  // not while reading.
  void ReadNext(std::unique_lock<std::mutex>& lock, std::size_t lead, bool byWorker = false) {
    const auto at = queue_.end() - 1 - static_cast<std::ptrdiff_t>(lead);
    Pending* pending = *at;
    queue_.erase(at);
    --queued_;
    pending->state = Pending::State::kReading;
    ++inWindow_;
    lock.unlock();
    Read(*pending, pattern_);
    lock.lock();
    // Its subfolders can be opened only once the recording thread has gone down into it; until
    // then, have the system fetch them from the disk. (Before the state changes: from then on the
    // recording thread may take the listing.)
    if (byWorker) {
      const std::size_t hints = hints_.size();
      for (const auto& item : pending->listing.items) {
        if (item.ToEnter()) AddHint(pending->path + platform::kSeparator + std::string(pending->listing.Name(item)));
      }
      if (hints_.size() > hints && idle_ > 0) workAvailable_.notify_one();
    }
    pending->state = Pending::State::kRead;
    if (awaited_ == pending) readDone_.notify_one();
  }

  // Folders below those read ahead, handed to the system's prefetch when no folder is waiting to
  // be read; as many as the window, the deepest first, so that the walk soon needs them.
  void AddHint(std::string folder) {
    if (hints_.size() < options_.window) hints_.push_back(std::move(folder) + platform::kSeparator);
  }

  void Hint(std::unique_lock<std::mutex>& lock) {
    const std::string folder = std::move(hints_.back());
    hints_.pop_back();
    lock.unlock();
    std::vector<std::string> subfolders;
    try {
      subfolders = system_.Prefetch(folder);
    } catch (...) {
      // only a hint
    }
    lock.lock();
    for (auto& name : subfolders) AddHint(folder + name);
  }

  const std::string& pattern_;
  EntryList& list_;
  platform::System& system_;
  const ScanOptions options_;
  const std::optional<std::uint64_t> blocksAtStart_;
  std::size_t readHere_ = 0;  // folders the recording thread read itself
  std::vector<Level> levels_;  // the way down; only the recording thread touches it
  bool started_ = false;

  std::mutex mutex_;
  std::condition_variable workAvailable_;
  std::condition_variable readDone_;
  // Guarded by mutex_:
  std::vector<Pending*> queue_;    // not yet taken by anyone; the next in order at the back
  std::atomic<std::size_t> queued_ = 0;    // queue_.size()
  std::atomic<std::size_t> inWindow_ = 0;  // read ahead or being read, not yet taken for recording
  const Pending* awaited_ = nullptr;
  std::atomic<std::size_t> idle_ = 0;  // workers waiting for work; changed under mutex_
  std::vector<std::string> hints_;  // folders to prefetch, paths ending with the separator
  std::atomic<bool> stop_ = false;

  std::vector<std::thread> workers_;
};

}  // namespace

void ScanFolder(std::string path, const std::string& pattern, EntryList& list, platform::System& system,
                const ScanOptions& options) {
  if (list.empty() || !list.back().empty()) list.emplace_back();
  path = platform::ProperPath(std::move(path));
  auto root = system.OpenFolder(path, pattern);
  if (!root) return;
  Walk walk(pattern, list, system, options);
  walk.Run(std::move(root), std::move(path));
}

}  // namespace vesk::discovery
