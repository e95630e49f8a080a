#include "window/win32/line_wrap.h"

#include <algorithm>

namespace vesk::win32 {
namespace {

// A line may end at `q` (the next line starts there): after a run of blanks, or after a
// hyphen that follows a word, as the edit control breaks.
bool BreaksBefore(std::wstring_view text, std::size_t start, std::size_t q) {
  const wchar_t before = text[q - 1];
  const wchar_t next = text[q];
  if (IsBlank(before)) return !IsBlank(next);
  return before == L'-' && q >= start + 2 && !IsBlank(text[q - 2]) && !IsBlank(next);
}

}  // namespace

bool ExtendLines(std::wstring_view text, int columns, int cutColumns, std::vector<std::uint32_t>& starts,
                 std::size_t untilPosition, std::size_t untilLines) {
  const std::size_t width = static_cast<std::size_t>(std::max(columns, 1));
  const std::size_t cut = static_cast<std::size_t>(std::clamp(cutColumns, 1, std::max(columns, 1)));
  const std::size_t n = text.size();
  if (starts.empty()) starts.push_back(0);
  std::size_t s = starts.back();
  while (s <= untilPosition || starts.size() < untilLines) {
    // A line end within reach ends the line whatever fits after it.
    const std::size_t reach = std::min(n, s + width + 1);
    std::size_t hard = reach;
    for (std::size_t i = s; i + 1 < n && i < reach; ++i) {
      if (text[i] == L'\r' && text[i + 1] == L'\n') {
        hard = i;
        break;
      }
    }
    std::size_t next;
    if (hard < reach && hard - s <= width) {
      next = hard + 2;
    } else if (n - s <= width) {
      return true;
    } else {
      next = 0;
      for (std::size_t q = s + width; q > s; --q) {
        if (BreaksBefore(text, s, q)) {
          next = q;
          break;
        }
      }
      if (next == 0) {
        next = s + cut;
        if (IsLowSurrogate(text[next]) && next - 1 > s) --next;  // a pair stays whole
      }
    }
    starts.push_back(static_cast<std::uint32_t>(next));
    s = next;
  }
  return false;
}

std::vector<std::uint32_t> WrapLines(std::wstring_view text, int columns, int cutColumns) {
  std::vector<std::uint32_t> starts{0};
  ExtendLines(text, columns, cutColumns, starts, text.size(), 0);
  return starts;
}

}  // namespace vesk::win32
