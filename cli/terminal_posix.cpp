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

void WriteStandard(bool toError, std::string_view bytes) { WriteAll(toError ? STDERR_FILENO : STDOUT_FILENO, bytes); }

bool StandardIsTerminal(bool toError) { return isatty(toError ? STDERR_FILENO : STDOUT_FILENO) == 1; }

std::string Terminal::ErrorText(int error) { return std::strerror(error); }

}  // namespace vesk::cli
