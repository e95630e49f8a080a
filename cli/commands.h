#pragma once

// What vesk-cli does, apart from reading its arguments and writing to the real streams: the
// commands list and show over the core, producing their output lines and exit status.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vesk::cli {

// Exit statuses.
inline constexpr int kExitClean = 0;    // every file read (and decoded) without a problem
inline constexpr int kExitProblem = 1;  // a file could not be read, or had a problem
inline constexpr int kExitUsage = 2;    // the arguments were wrong

// show decodes at most this much of a file; a larger one is reported, not decoded.
inline constexpr std::size_t kMaxDecodedBytes = std::size_t{16} << 20;

enum class Format { Text, Json, Csv };

// Where the commands write. Each Out call is one or more whole lines (UTF-8, or the exact bytes
// of a path), each Err call one whole message line.
class Output {
 public:
  virtual ~Output() = default;
  virtual void Out(std::string_view lines) = 0;
  virtual void Err(std::string_view line) = 0;
  // A readable text for an error code of the platform layer.
  virtual std::string ErrorText(int error) = 0;
};

struct ListOptions {
  bool deeper = false;
  std::vector<std::string> roots;  // when not empty, scanned instead of the store, in this order
  Format format = Format::Text;
};

struct ShowOptions {
  Format format = Format::Text;  // Text or Json
  std::vector<std::string> files;
};

// The cookie files the window would list (or those below `roots`), one record each.
int RunList(const ListOptions& options, platform::System& system, Output& output);

// Each file decoded, one record each; a file that cannot be read is reported and skipped.
int RunShow(const ShowOptions& options, platform::System& system, Output& output);

// The synopsis printed with a usage error.
extern const char* const kUsage;

}  // namespace vesk::cli
