// The scan on several threads. A thread with nothing to do takes over a subfolder that another
// thread has listed but not entered yet (the last one of the shallowest such folder on that
// thread's way down, so that it gets a big part), walks it alone and records its entries in a
// list of its own. The thread it took it from records the subfolder's own entry as usual and
// leaves a hole after it. When every part is done, the parts are joined in order: the list is
// exactly the sequential walk's. Every folder is opened and read once, by one thread; no thread
// waits for another before the end, and a thread takes its own lock only to claim a subfolder.

#include "discovery/scan.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <iterator>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace vesk::discovery {
namespace {

using Ids = std::vector<std::optional<platform::FolderId>>;

// A folder's entries, "." and ".." left out, with the names packed into one string.
struct Listing {
  struct Item {
    std::size_t offset;
    std::uint32_t length;
    bool isDirectory;
    bool isLink;
    std::uint64_t node;
    // A subfolder the walk goes down into, unless it cannot be enumerated or is on the way down.
    bool ToEnter() const { return isDirectory && !isLink; }
  };
  std::string names;
  std::vector<Item> items;

  std::string_view Name(const Item& item) const { return std::string_view(names).substr(item.offset, item.length); }
};

void ReadAll(platform::Folder& folder, Listing& listing) {
  platform::FolderEntry entry;
  while (folder.Next(entry)) {
    if (entry.isDirectory && (entry.name == "." || entry.name == "..")) continue;
    listing.items.push_back({listing.names.size(), static_cast<std::uint32_t>(entry.name.size()), entry.isDirectory,
                             entry.isLink, entry.node});
    listing.names += entry.name;
  }
}

struct Task;

// One folder on a thread's way down.
struct Level {
  // Open while subfolders of it may still be entered, by its thread or another.
  std::shared_ptr<platform::Folder> folder;
  std::optional<platform::FolderId> id;
  std::string path;  // ends with the separator
  Listing listing;
  std::size_t next = 0;  // the next item to record; only the owning thread uses it
  // The items to go down into, in order. The owner enters them from the front, other threads
  // take them from the back: [0, entered) are the owner's, [kept, end) were taken, in `taken`
  // from the last one on. Guarded by the task's mutex.
  std::vector<std::uint32_t> toEnter;
  std::size_t entered = 0;
  std::size_t kept = 0;
  std::vector<Task*> taken;
};

// The walk below one folder, by one thread: the root, or a subfolder taken from another thread.
struct Task {
  // Its folder: `entry` below `parent`, at `path` (without a trailing separator); the folders
  // on the way down to it have the identities `above`. The root task has no parent.
  std::shared_ptr<platform::Folder> parent;
  platform::FolderEntry entry;
  std::string path;
  Ids above;

  // Its entries: runs of slots of its thread's list, each followed by the entries of a part
  // taken by another thread.
  struct Piece {
    EntryList* list = nullptr;
    std::size_t first = 0, last = 0;
    Task* then = nullptr;
  };
  std::vector<Piece> pieces;

  std::mutex mutex;  // the owner changes `levels` and claims a subfolder under it
  std::vector<Level> levels;
};

class Walk {
 public:
  Walk(const std::string& pattern, const ScanOptions& options)
      : pattern_(pattern), options_(options), blocksAtStart_(platform::BlocksRead()) {}

  ~Walk() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    std::vector<std::thread> threads;
    {
      std::lock_guard lock(startMutex_);
      allStarted_ = true;  // none more
      threads.swap(threads_);
    }
    for (auto& thread : threads) thread.join();
  }

  Walk(const Walk&) = delete;
  Walk& operator=(const Walk&) = delete;

  // Walks the tree below `root`, whose path is `path` (ending with the separator), appending to
  // `list` (without its spare slot). Returns when every part is done.
  void Run(std::unique_ptr<platform::Folder> root, std::string path, EntryList& list) {
    Task& task = [&]() -> Task& {
      std::lock_guard lock(mutex_);
      lists_.push_back(std::move(list));  // the calling thread's
      return NewTask();
    }();
    EntryList& own = lists_.front();
    firstPart_ = own.Part();  // before any other thread uses `own`
    const std::size_t before = own.size();
    task.pieces.push_back({&own, before, before});
    Level top;
    top.id = root->Id();
    top.path = std::move(path);
    ReadAll(*root, top.listing);
    top.folder = std::move(root);
    Push(task, std::move(top));
    WalkTask(task, own);
    Finish(task);
    Help(own);  // until every part is done
    if (error_) {
      list = std::move(own);
      std::rethrow_exception(error_);
    }
    list = Join(task, before);
  }

 private:
  Task& NewTask() {
    Task& task = tasks_.emplace_back();
    active_.push_back(&task);
    return task;
  }

  void Finish(Task& task) {
    std::lock_guard lock(mutex_);
    std::erase(active_, &task);
    if (active_.empty()) changed_.notify_all();
  }

  // Makes `level` the task's deepest one.
  void Push(Task& task, Level level) {
    for (std::size_t i = 0; i < level.listing.items.size(); ++i) {
      if (level.listing.items[i].ToEnter()) level.toEnter.push_back(static_cast<std::uint32_t>(i));
    }
    level.kept = level.toEnter.size();
    if (level.toEnter.empty()) level.folder.reset();  // nothing will be opened in it
    std::lock_guard lock(task.mutex);
    task.levels.push_back(std::move(level));
  }

  bool OnWayDown(const Task& task, const std::optional<platform::FolderId>& id) const {
    if (!id) return false;
    return std::any_of(task.above.begin(), task.above.end(), [&](const auto& above) { return above == id; }) ||
           std::any_of(task.levels.begin(), task.levels.end(), [&](const Level& level) { return level.id == id; });
  }

  // Goes down into `entry` below `parent`, unless it cannot be enumerated or is met again.
  void Enter(Task& task, platform::Folder& parent, const platform::FolderEntry& entry, const std::string& path) {
    std::unique_ptr<platform::Folder> folder = parent.OpenChild(entry, path, pattern_);
    if (!folder) return;
    Level level;
    level.id = folder->Id();
    if (OnWayDown(task, level.id)) return;
    level.path = path + platform::kSeparator;
    ReadAll(*folder, level.listing);
    level.folder = std::move(folder);
    Push(task, std::move(level));
    Opened();
  }

  void WalkTask(Task& task, EntryList& list) {
    task.pieces.front().list = &list;
    task.pieces.front().first = task.pieces.front().last = list.size();
    try {
      WalkOrThrow(task, list);
    } catch (...) {
      std::lock_guard lock(mutex_);
      if (!error_) error_ = std::current_exception();
      stop_ = true;
    }
    task.pieces.back().last = list.size();
    // Closes whatever it still holds open, now rather than when the scan ends.
    std::lock_guard lock(task.mutex);
    task.levels.clear();
    task.parent.reset();
  }

  void WalkOrThrow(Task& task, EntryList& list) {
    if (task.parent) {
      Enter(task, *task.parent, task.entry, task.path);
      task.parent.reset();
    }
    platform::FolderEntry child;
    std::string childPath;
    while (!task.levels.empty() && !stop_) {
      Level& level = task.levels.back();
      if (level.next == level.listing.items.size()) {
        std::lock_guard lock(task.mutex);
        task.levels.pop_back();
        continue;
      }
      const Listing::Item& item = level.listing.items[level.next++];
      const std::string_view name = level.listing.Name(item);
      if (!item.isDirectory) {
        list.Add(kFileMarker, level.path, name);
        continue;
      }
      list.Add(kFolderMarker, level.path, name);
      if (!item.ToEnter()) continue;

      bool last = false;
      {
        std::lock_guard lock(task.mutex);
        if (level.entered == level.kept) {
          // Another thread took it: its entries go here, between this folder's and the next.
          task.pieces.back().last = list.size();
          task.pieces.back().then = level.taken.back();
          level.taken.pop_back();
          task.pieces.push_back({&list, list.size(), list.size()});
          continue;
        }
        last = ++level.entered == level.kept;
      }
      child.name.assign(name);
      child.node = item.node;
      child.isDirectory = true;
      childPath.assign(level.path).append(name);
      std::shared_ptr<platform::Folder> parent = level.folder;
      // No other thread opens anything in it any more once its last subfolder is claimed.
      if (last) level.folder.reset();
      Enter(task, *parent, child, childPath);  // `level` is invalid from here
    }
  }

  // The shallowest folder on `task`'s way down with a subfolder not yet entered.
  static std::optional<std::size_t> Shallowest(const Task& task) {
    for (std::size_t i = 0; i < task.levels.size(); ++i) {
      if (task.levels[i].entered < task.levels[i].kept) return i;
    }
    return std::nullopt;
  }

  // Takes the last subfolder not yet entered from the shallowest folder with one, over all
  // threads' ways down; nullptr when there is none.
  Task* Take() {
    std::lock_guard lock(mutex_);
    Task* best = nullptr;
    std::size_t bestDepth = SIZE_MAX;
    for (Task* task : active_) {
      std::lock_guard taskLock(task->mutex);
      const std::optional<std::size_t> at = Shallowest(*task);
      if (at && task->above.size() + *at < bestDepth) {
        best = task;
        bestDepth = task->above.size() + *at;
      }
    }
    if (best == nullptr) return nullptr;
    Task& from = *best;
    std::lock_guard taskLock(from.mutex);
    const std::optional<std::size_t> shallowest = Shallowest(from);  // its thread went on meanwhile
    if (!shallowest) return nullptr;
    const std::size_t at = *shallowest;
    Task& task = NewTask();
    Level& level = from.levels[at];
    const Listing::Item& item = level.listing.items[level.toEnter[--level.kept]];
    level.taken.push_back(&task);
    task.parent = level.folder;
    task.entry.name.assign(level.listing.Name(item));
    task.entry.node = item.node;
    task.entry.isDirectory = true;
    task.path = level.path + task.entry.name;
    task.above = from.above;
    for (std::size_t i = 0; i <= at; ++i) task.above.push_back(from.levels[i].id);
    task.pieces.emplace_back();
    return &task;
  }

  // Takes parts from other threads until every part is done, recording into `list`.
  void Help(EntryList& list) {
    auto pause = std::chrono::microseconds(20);
    while (true) {
      if (Task* task = stop_ ? nullptr : Take()) {
        WalkTask(*task, list);
        Finish(*task);
        pause = std::chrono::microseconds(20);
        continue;
      }
      std::unique_lock lock(mutex_);
      if (active_.empty() || stop_) return;
      // Nothing to take now; look again soon. Waking on every new folder would cost more.
      changed_.wait_for(lock, pause);
      pause = std::min(pause * 2, std::chrono::microseconds(2000));
    }
  }

  // Counts a folder opened and starts threads when they are due.
  void Opened() {
    if (allStarted_) return;
    const std::size_t opened = ++opened_;
    if (!options_.onlyFromDisk || !blocksAtStart_) {
      if (opened >= options_.aloneFolders) Start(options_.workers);
      return;
    }
    // Asking costs a system call: at every folder while a thread reading alone would cost most,
    // then now and then.
    if ((opened <= 64 || opened % 64 == 0) && ReadFromDisk()) {
      Start(options_.workers);
    } else if (opened >= options_.aloneFolders && !cachedStarted_.exchange(true)) {
      Start(std::min<int>(options_.workers, static_cast<int>(platform::UsableProcessors()) - 1));
    }
  }

  // Whether the scan has had the system read more than a few stray blocks from storage.
  bool ReadFromDisk() const {
    constexpr std::uint64_t kStrayBlocks = 64;  // 32 KiB, in the system's 512-byte units
    const auto blocks = platform::BlocksRead();
    return blocks && blocksAtStart_ && *blocks > *blocksAtStart_ + kStrayBlocks;
  }

  // Starts threads until there are `count` beside the calling one.
  void Start(int count) {
    std::lock_guard lock(startMutex_);
    if (allStarted_) return;
    while (static_cast<int>(threads_.size()) < count) {
      try {
        EntryList& list = [&]() -> EntryList& {
          std::lock_guard lock(mutex_);
          return lists_.push_back(firstPart_.Part()), lists_.back();
        }();
        threads_.emplace_back([this, &list] { Help(list); });
      } catch (const std::system_error&) {
        break;  // fewer threads; those there are do the work
      }
    }
    if (count >= options_.workers) allStarted_ = true;
  }

  // The first `before` slots of the calling thread's list, then the root task's entries with
  // every part taken from it in its place, in order.
  EntryList Join(Task& root, std::size_t before) {
    std::size_t total = before;
    ForEachPiece(root, [&](const Task::Piece& piece) { total += piece.last - piece.first; });
    EntryList joined;
    joined.reserve(total + 1);  // and the spare slot
    joined.AppendSlots(lists_.front(), 0, before);
    ForEachPiece(root, [&](const Task::Piece& piece) { joined.AppendSlots(*piece.list, piece.first, piece.last); });
    return joined;
  }

  template <class Visit>
  static void ForEachPiece(Task& root, Visit visit) {
    std::vector<std::pair<Task*, std::size_t>> stack{{&root, 0}};
    while (!stack.empty()) {
      auto [task, at] = stack.back();
      if (at == task->pieces.size()) {
        stack.pop_back();
        continue;
      }
      ++stack.back().second;
      Task::Piece& piece = task->pieces[at];
      visit(piece);
      if (piece.then != nullptr) stack.emplace_back(piece.then, 0);
    }
  }

  const std::string& pattern_;
  const ScanOptions options_;
  const std::optional<std::uint64_t> blocksAtStart_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  std::deque<Task> tasks_;     // every part, for joining them at the end
  std::deque<EntryList> lists_;  // one per thread, the calling one's first, the others Part()s of it
  EntryList firstPart_;          // what the other threads' lists are made from
  std::vector<Task*> active_;  // those being walked or about to be
  std::exception_ptr error_;
  std::atomic<bool> stop_ = false;

  std::atomic<std::size_t> opened_ = 0;
  std::mutex startMutex_;
  std::atomic<bool> allStarted_ = false;
  std::atomic<bool> cachedStarted_ = false;
  std::vector<std::thread> threads_;  // guarded by startMutex_ until the end
};

}  // namespace

void ScanFolder(std::string path, const std::string& pattern, EntryList& list, platform::System& system,
                const ScanOptions& options) {
  if (list.empty() || !list.back().empty()) list.push_back({});
  path = platform::ProperPath(std::move(path));
  auto root = system.OpenFolder(path, pattern);
  if (!root) return;
  list.pop_back();  // the spare slot, put back after the entries
  Walk walk(pattern, options);
  try {
    walk.Run(std::move(root), std::move(path), list);
  } catch (...) {
    list.push_back({});
    throw;
  }
  list.push_back({});
}

}  // namespace vesk::discovery
