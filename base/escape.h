#pragma once

// Text from disk (names, keys, strings) on its way to a terminal: whatever a terminal would act on
// or that reorders the line is written as a visible escape, so that no file can drive the
// terminal, forge a line or hide part of one.

#include <string>
#include <string_view>

namespace vesk::base {

// True when `text` holds a character that is escaped: a C0 control, DEL, a C1 control
// (U+0080-U+009F), a bidirectional control (U+061C, U+200E, U+200F, U+202A-U+202E,
// U+2066-U+2069), the line or paragraph separator (U+2028, U+2029), or a byte that is not UTF-8.
bool NeedsEscape(std::string_view text);
// The same test for one character.
bool IsEscapedCodePoint(char32_t c);

// Appends `text` with each of those escaped: tab, line feed and carriage return as \t, \n and \r;
// the other C0 controls, DEL and the bytes that are not UTF-8 as \xNN (two upper-case hex
// digits: \x1B, \xFE); the others as \uNNNN (\u0085, \u202E). Each byte of `alsoEscaped` (ASCII
// only) gets a backslash before it, so that a quoting caller can pass its quote and the
// backslash and keep the escapes unambiguous. Everything else is copied as it is.
void AppendEscaped(std::string& out, std::string_view text, std::string_view alsoEscaped = {});

}  // namespace vesk::base
