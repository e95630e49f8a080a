#include <unistd.h>

#include <cerrno>

#include "cli/question.h"

namespace vesk::cli {

bool TerminalQuestion::Interactive() { return isatty(STDIN_FILENO) == 1; }

std::string TerminalQuestion::Ask(const std::string& prompt) {
  terminal_.Flush();  // the selection first
  std::string_view rest = prompt;
  while (!rest.empty()) {
    const ssize_t written = write(STDERR_FILENO, rest.data(), rest.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) break;
    rest.remove_prefix(static_cast<std::size_t>(written));
  }
  // Byte by byte: nothing past the answer's line is taken from the input.
  std::string answer;
  char c = 0;
  while (true) {
    const ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    answer += c;
  }
  return answer;
}

}  // namespace vesk::cli
