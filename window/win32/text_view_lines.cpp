// Which lines of the text view's text are on screen, and where each character lies: the text is
// wrapped only as far as something needs it.

#include "window/win32/text_view_state.h"

#include <algorithm>

#include "window/win32/line_wrap.h"

namespace vesk::win32 {

int TextView::Columns() const {
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  return std::max(1, static_cast<int>(inner.right - marginLeft_ - marginRight_) / charWidth_);
}

int TextView::VisibleLines() const {
  RECT inner{};
  GetClientRect(hwnd_, &inner);
  return std::max(1, static_cast<int>(inner.bottom - marginTop_) / lineHeight_);
}

void TextView::Relayout() {
  layoutColumns_ = Columns();
  lines_.assign(1, 0);
  complete_ = false;
  Need(0, top_ + 1);
  top_ = std::min(top_, lines_.size() - 1);
}

void TextView::Need(std::size_t position, std::size_t lines) const {
  if (complete_ || (lines_.back() > position && lines_.size() >= lines)) return;
  complete_ = ExtendLines(text_, layoutColumns_, layoutColumns_, lines_, position, lines);
}

std::size_t TextView::LineCount() const {
  Need(text_.size(), 0);
  return lines_.size();
}

void TextView::ForgetFrom(std::size_t position) {
  // A line's end depends on at most the columns after its start and a CR LF just past them.
  const std::size_t reach = static_cast<std::size_t>(layoutColumns_) + 2;
  std::size_t keep = 1;
  while (keep < lines_.size() && lines_[keep - 1] + reach < position) ++keep;
  lines_.resize(keep);
  complete_ = false;
}

std::size_t TextView::LineOf(std::size_t position) const {
  Need(position, 0);
  const auto after = std::upper_bound(lines_.begin(), lines_.end(), static_cast<std::uint32_t>(position));
  return static_cast<std::size_t>(after - lines_.begin()) - 1;
}

std::size_t TextView::LineEnd(std::size_t line) const {
  Need(0, line + 2);
  std::size_t end = line + 1 < lines_.size() ? lines_[line + 1] : text_.size();
  if (end >= lines_[line] + 2 && text_[end - 2] == L'\r' && text_[end - 1] == L'\n') end -= 2;
  return end;
}

std::size_t TextView::LastCaretPosition(std::size_t line) const {
  std::size_t end = LineEnd(line);
  if (line + 1 < lines_.size() && end == lines_[line + 1] && end > lines_[line]) --end;
  return end;
}

std::size_t TextView::PositionAt(int x, int y) const {
  const long long row = y < marginTop_ ? -1 : (y - marginTop_) / lineHeight_;
  const long long wanted = static_cast<long long>(top_) + row;
  Need(0, static_cast<std::size_t>(std::max(0LL, wanted)) + 1);
  const std::size_t line = static_cast<std::size_t>(std::clamp<long long>(wanted, 0, static_cast<long long>(lines_.size()) - 1));
  const int column = std::max(0, (x - marginLeft_ + charWidth_ / 2) / charWidth_);
  const std::size_t start = LineStart(line);
  std::size_t at = std::min(start + static_cast<std::size_t>(column), LastCaretPosition(line));
  if (at > start && at < text_.size() && IsLowSurrogate(text_[at])) --at;
  return at;
}

void TextView::ScrollTo(std::size_t topLine) {
  Need(0, topLine + 1);
  const std::size_t last = lines_.size() - 1;
  topLine = std::min(topLine, last);
  if (topLine != top_) {
    top_ = topLine;
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void TextView::ShowCaret() {
  if (!focused_) return;
  const std::size_t line = LineOf(caret_);
  const long long row = static_cast<long long>(line) - static_cast<long long>(top_);
  SetCaretPos(marginLeft_ + static_cast<int>(caret_ - LineStart(line)) * charWidth_,
              marginTop_ + static_cast<int>(row) * lineHeight_);
}

}  // namespace vesk::win32
