#include "window/values_loader.h"

#include <memory>

namespace vesk::window {

ValuesLoader::ValuesLoader(platform::System& system, TaskQueue& tasks) : system_(system), tasks_(tasks) {}

ValuesLoader::~ValuesLoader() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
    waiting_.reset();
  }
  wake_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ValuesLoader::Load(const std::string& path, Done done) {
  done_ = std::move(done);
  {
    std::lock_guard lock(mutex_);
    waiting_ = path;
    ++wanted_;
  }
  Start();
  wake_.notify_all();
}

void ValuesLoader::Start() {
  if (worker_.joinable()) return;
  warmer_.Start();
  worker_ = std::thread([this] { Work(); });
}

void ValuesLoader::Cancel() {
  std::lock_guard lock(mutex_);
  waiting_.reset();
  ++wanted_;
  done_ = nullptr;
}

static_assert(lso::kFillReach <= platform::PageWarmer::kReach, "the warmer could touch what the reader writes");

void ValuesLoader::Work() {
  while (true) {
    std::string path;
    std::uint64_t ticket;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stop_ || waiting_; });
      if (stop_) return;
      path = std::move(*waiting_);
      waiting_.reset();
      ticket = wanted_;
    }
    // A large buffer: the one the last file was read into comes back when its tape goes, and
    // reading into touched pages spares a page fault each (under Wine most of a big file's read).
    auto bytes = std::make_shared<platform::LargeString>();
    // One byte past the reader's limit tells a file of exactly the limit from a larger one.
    const bool read = system_.ReadLargeFileHead(path, lso::kMaxFileBytes + 1, *bytes).ok();
    auto tape = std::make_shared<std::optional<lso::Tape>>();
    if (read) {
      const std::string_view view = *bytes;
      const std::size_t held = bytes->capacity();
      *tape = lso::Read(std::move(bytes), view, held, platform::LargeBlocks(), {&platform::PageWarmer::Notice, &warmer_});
    }
    {
      std::lock_guard lock(mutex_);
      if (stop_) return;
      if (ticket != wanted_) continue;  // asked for something else meanwhile
    }
    tasks_.Post([this, ticket, tape] {
      // On the window's thread: still wanted?
      {
        std::lock_guard lock(mutex_);
        if (ticket != wanted_) return;
      }
      if (done_) {
        Done done = std::move(done_);
        done_ = nullptr;
        done(std::move(*tape));
      }
    });
  }
}

}  // namespace vesk::window
