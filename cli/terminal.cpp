#include "cli/terminal.h"

namespace vesk::cli {
namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 16;

}  // namespace

void Terminal::Out(std::string_view lines) {
  if (lines.size() >= kFlushSize) {
    // A big record (a decoded file) goes out as it is rather than copied into the buffer.
    Flush();
    WriteStandard(false, lines);
    return;
  }
  pending_.append(lines);
  if (pending_.size() >= kFlushSize) Flush();
}

void Terminal::Err(std::string_view line) {
  Flush();  // keeps the message next to the output it concerns
  std::string text(line);
  text += '\n';
  WriteStandard(true, text);
}

bool Terminal::IsTerminal(Stream stream) {
  std::optional<bool>& known = stream == Stream::kErr ? errIsTerminal_ : outIsTerminal_;
  if (!known) known = StandardIsTerminal(stream == Stream::kErr);
  return *known;
}

void Terminal::Flush() {
  WriteStandard(false, pending_);
  pending_.clear();
}

}  // namespace vesk::cli
