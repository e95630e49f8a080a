#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "cli/terminal.h"

namespace vesk::cli {
namespace {

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return;  // a closed pipe or a full disk: nothing sensible is left to tell
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace

void Terminal::Out(std::string_view lines) {
  pending_.append(lines);
  if (pending_.size() >= (std::size_t{1} << 16)) Flush();
}

void Terminal::Err(std::string_view line) {
  Flush();  // keeps the message next to the output it concerns
  std::string text(line);
  text += '\n';
  WriteAll(STDERR_FILENO, text);
}

std::string Terminal::ErrorText(int error) { return std::strerror(error); }

void Terminal::Flush() {
  WriteAll(STDOUT_FILENO, pending_);
  pending_.clear();
}

}  // namespace vesk::cli
