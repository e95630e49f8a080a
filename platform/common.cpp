#include "platform/platform.h"

#include <cstddef>
#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace vesk::platform {

void FreeLargeBlock::operator()(char* block) const { std::free(block); }

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;

// The large buffers lent out, with their sizes, and the last two given back.
struct LargeBuffers {
  std::mutex mutex;
  std::unordered_map<char*, std::size_t> lent;
  std::vector<std::pair<char*, std::size_t>> kept;
};

LargeBuffers& Buffers() {
  static auto* buffers = new LargeBuffers;  // never destroyed: buffers may be given back at exit
  return *buffers;
}

}  // namespace

namespace {

class LargeBlockResource final : public std::pmr::memory_resource {
  static std::size_t Rounded(std::size_t bytes) { return (bytes + kHugePage - 1) / kHugePage * kHugePage; }

  void* do_allocate(std::size_t bytes, std::size_t alignment) override {
    if (alignment > alignof(std::max_align_t)) throw std::bad_alloc();  // nothing here asks for it
    if (bytes >= kHugePage) return AllocateLargeBlock(Rounded(bytes)).release();
    void* block = std::malloc(bytes > 0 ? bytes : 1);
    if (block == nullptr) throw std::bad_alloc();
    return block;
  }
  void do_deallocate(void* block, std::size_t, std::size_t) override { FreeLargeBlock()(static_cast<char*>(block)); }
  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override { return this == &other; }
};

}  // namespace

std::pmr::memory_resource* LargeBlocks() {
  static LargeBlockResource resource;
  return &resource;
}

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kWarmFrom = std::size_t{2} << 20;  // smaller arrays fault little
constexpr std::size_t kWarmBatch = 8 * kPage;             // touched between two looks at the writer

}  // namespace

struct PageWarmer::State {
  struct Array {
    char* begin;
    std::size_t capacity;
    std::size_t written;
    std::size_t warmed;  // pages below are done, or the writer's
    // Where the writer may be writing until it tells again: never touched from here.
    std::size_t Reach() const { return std::min(capacity, (written + kReach + kPage - 1) / kPage * kPage); }
    // How far ahead of the writer: far enough that it never waits, near enough that little is
    // taken that it will not use (the arrays are reserved for the worst case).
    std::size_t End() const {
      return std::min(capacity, written + kReach + std::min<std::size_t>(std::size_t{2} << 20, capacity / 16)) / kPage * kPage;
    }
  };

  std::mutex mutex;
  std::condition_variable wake;     // work, or the end
  std::condition_variable settled;  // a batch is done
  std::vector<Array> arrays;
  char* busy = nullptr;  // the first page of the batch being touched, or null
  bool quit = false;
  bool noThread = false;  // the system would not start one
  std::thread thread;

  // With the mutex held. Without a thread nothing is warmed, and nothing else changes.
  void Start() {
    if (thread.joinable() || noThread) return;
    try {
      thread = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
      noThread = true;
    }
  }

  // The next pages to warm, or false.
  bool Next(char*& from, char*& to) {
    for (Array& a : arrays) {
      const std::size_t start = std::max(a.warmed, a.Reach());
      const std::size_t end = a.End();
      if (start >= end) continue;
      const std::size_t stop = std::min(end, start + kWarmBatch);
      from = a.begin + start;
      to = a.begin + stop;
      a.warmed = stop;
      return true;
    }
    return false;
  }

  void Work() {
    std::unique_lock lock(mutex);
    while (true) {
      char* from = nullptr;
      char* to = nullptr;
      wake.wait(lock, [&] { return quit || Next(from, to); });
      if (quit) return;
      busy = from;
      lock.unlock();
      // A write, so that the page is made writable and not mapped to the shared zero page. The
      // writer is elsewhere: it has not reached these pages, and waits for them (Filled) before
      // it may. The mutex orders these writes before its own.
      for (char* page = from; page < to; page += kPage) *static_cast<volatile char*>(page) = 0;
      lock.lock();
      busy = nullptr;
      settled.notify_all();
    }
  }
};

PageWarmer::PageWarmer() : state_(std::make_unique<State>()) {}

PageWarmer::~PageWarmer() {
  {
    std::lock_guard lock(state_->mutex);
    state_->quit = true;
  }
  state_->wake.notify_all();
  if (state_->thread.joinable()) state_->thread.join();
}

void PageWarmer::Filled(const void* block, std::size_t written, std::size_t capacity) {
  if (block == nullptr) {
    Stop();
    return;
  }
  if (capacity < kWarmFrom) return;
  State& s = *state_;
  {
    std::unique_lock lock(s.mutex);
    char* const begin = static_cast<char*>(const_cast<void*>(block));
    auto it = std::find_if(s.arrays.begin(), s.arrays.end(), [&](const State::Array& a) { return a.begin == begin; });
    if (it == s.arrays.end()) it = s.arrays.insert(s.arrays.end(), {begin, capacity, written, 0});
    it->written = std::max(it->written, written);
    // A batch being touched within the writer's reach is finished first.
    const std::size_t reach = it->Reach();
    s.settled.wait(lock, [&] { return s.busy == nullptr || s.busy < begin || s.busy >= begin + reach; });
    s.Start();
  }
  s.wake.notify_one();
}

void PageWarmer::Start() {
  std::lock_guard lock(state_->mutex);
  state_->Start();
}

void PageWarmer::Stop() {
  std::unique_lock lock(state_->mutex);
  state_->arrays.clear();
  state_->settled.wait(lock, [&] { return state_->busy == nullptr; });
}

char* TakeLargeBuffer(std::size_t bytes) {
  if (bytes < kHugePage) {
    void* buffer = std::malloc(bytes > 0 ? bytes : 1);
    if (buffer == nullptr) throw std::bad_alloc();
    return static_cast<char*>(buffer);
  }
  const std::size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  LargeBuffers& buffers = Buffers();
  {
    std::lock_guard lock(buffers.mutex);
    // The smallest kept that fits, unless a quarter of it would be left unused: a click's text
    // is twice the size of its bytes, and its buffer must not go to the bytes.
    auto best = buffers.kept.end();
    for (auto it = buffers.kept.begin(); it != buffers.kept.end(); ++it) {
      if (it->second >= size && it->second / 4 * 3 <= size && (best == buffers.kept.end() || it->second < best->second)) {
        best = it;
      }
    }
    if (best != buffers.kept.end()) {
      char* buffer = best->first;
      buffers.lent.emplace(buffer, best->second);
      buffers.kept.erase(best);
      return buffer;
    }
  }
  char* buffer = AllocateLargeBlock(size).release();
  std::lock_guard lock(buffers.mutex);
  buffers.lent.emplace(buffer, size);
  return buffer;
}

void GiveBackLargeBuffer(char* buffer) {
  LargeBuffers& buffers = Buffers();
  std::unique_lock lock(buffers.mutex);
  const auto it = buffers.lent.find(buffer);
  if (it == buffers.lent.end()) {
    lock.unlock();
    std::free(buffer);  // a small one, from malloc
    return;
  }
  buffers.kept.insert(buffers.kept.begin(), {buffer, it->second});
  buffers.lent.erase(it);
  char* dropped = nullptr;
  if (buffers.kept.size() > 2) {
    dropped = buffers.kept.back().first;
    buffers.kept.pop_back();
  }
  lock.unlock();
  FreeLargeBlock()(dropped);
}

bool IsSeparator(char c) {
#ifdef _WIN32
  return c == '\\' || c == '/';
#else
  return c == kSeparator;
#endif
}

std::vector<std::string_view> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.empty()) return parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::string ProperPath(std::string path) {
  if (path.empty() || !IsSeparator(path.back())) path += kSeparator;
  return path;
}

std::string BaseNameWithoutExtension(const std::string& path) {
  const std::vector<std::string_view> parts = SplitPath(path);
  std::string name = parts.empty() ? std::string() : std::string(parts.back());
  // A leading dot names a hidden file rather than starting an extension.
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

std::optional<PathBelow> SplitBelow(const std::string& root, const std::string& path) {
  const std::string prefix = ProperPath(root);
  if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  std::vector<std::string_view> parts = SplitPath(std::string_view(path).substr(prefix.size()));
  PathBelow below;
  for (const std::string_view part : parts) {
    if (part.empty() || part == "." || part == "..") return std::nullopt;
  }
  below.file = parts.back();
  parts.pop_back();
  below.folders.assign(parts.begin(), parts.end());
  return below;
}

}  // namespace vesk::platform
