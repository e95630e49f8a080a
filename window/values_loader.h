#pragma once

// Reads and indexes cookie files for the Values tab off the window's thread, so that the list and
// the Text tab answer while a big file is decoded. One file at a time; a file asked for while
// another is read replaces any that waits, and a result that is no longer wanted is dropped.
// Results reach the window's thread through the task queue the front end provides.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "lso/lso.h"
#include "platform/platform.h"
#include "window/controls.h"

namespace vesk::window {

class ValuesLoader {
 public:
  // A file read and indexed, or nullopt when it could not be read.
  using Done = std::function<void(std::optional<lso::Tape>)>;

  ValuesLoader(platform::System& system, TaskQueue& tasks);
  // Waits for the file being read, if any.
  ~ValuesLoader();
  ValuesLoader(const ValuesLoader&) = delete;
  ValuesLoader& operator=(const ValuesLoader&) = delete;

  // Reads `path`; `done` runs later on the window's thread, unless Cancel or another Load came
  // first.
  void Load(const std::string& path, Done done);
  // Drops whatever was asked for.
  void Cancel();
  // Starts the thread that reads, ahead of the first Load: starting one takes a few milliseconds
  // under Wine, which the first click would wait for.
  void Start();

 private:
  void Work();

  platform::System& system_;
  TaskQueue& tasks_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::optional<std::string> waiting_;  // the file asked for last, not yet begun
  std::uint64_t wanted_ = 0;            // the ticket whose result is still wanted
  bool stop_ = false;
  // Touched on the window's thread only.
  Done done_;
  // The worker's: its index's fresh pages, faulted in on another core.
  platform::PageWarmer warmer_;
  std::thread worker_;
};

}  // namespace vesk::window
