#pragma once

// The real standard output and error of vesk-cli. On Windows a console gets UTF-16 through
// WriteConsoleW, so that every character shows whatever the console's code page; redirected
// output gets the UTF-8 bytes unchanged, as on POSIX.

#include <optional>
#include <string>
#include <string_view>

#include "cli/commands.h"

namespace vesk::cli {

// Writes all of `bytes` to standard output or standard error; defined per system.
void WriteStandard(bool toError, std::string_view bytes);
// Whether standard output or standard error is a terminal (a console on Windows).
bool StandardIsTerminal(bool toError);

class Terminal final : public Output {
 public:
  Terminal() = default;
  ~Terminal() override { Flush(); }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  // Buffered, flushed in whole lines: a long listing costs few system calls.
  void Out(std::string_view lines) override;
  void Err(std::string_view line) override;
  std::string ErrorText(int error) override;
  bool IsTerminal(Stream stream) override;
  // Writes what Out has buffered.
  void Flush();

 private:
  std::string pending_;
  std::optional<bool> outIsTerminal_, errIsTerminal_;  // asked once: a listing asks per path
};

}  // namespace vesk::cli
