#pragma once

// Where the lines of a text start in the Windows text view: its font is monospaced, so a line's
// width is its number of characters, and the lines are found in one pass.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace vesk::win32 {

// The second half of a UTF-16 surrogate pair: a line never starts there.
inline bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// What separates words for wrapping and for the word-wise keys.
inline bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// Where the lines of `text` start when `columns` characters fit on a line: a line ends after
// the blanks that follow a word when the next word does not fit, a word longer than a line is
// cut after `cutColumns` characters, and CR LF ends a line. The first line starts at 0; the
// text takes at least one line.
std::vector<std::uint32_t> WrapLines(std::wstring_view text, int columns, int cutColumns);

// The same, a piece at a time: appends to `starts` (which holds the first lines, at least the
// 0) until the line holding `untilPosition` has its end and `untilLines` lines are known;
// true once the last line is known.
bool ExtendLines(std::wstring_view text, int columns, int cutColumns, std::vector<std::uint32_t>& starts,
                 std::size_t untilPosition, std::size_t untilLines);

}  // namespace vesk::win32
