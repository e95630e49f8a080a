#pragma once

// The character-level forms both writers and the tree's cells share: UTF-8, the escapes of the
// text form, JSON strings, numbers, dates and base64.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vesk::lso::detail {

// Length of the valid UTF-8 sequence at the start of `s`, or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view s);
bool IsUtf8(std::string_view s);
// Appends `bytes` as UTF-8, each byte that does not belong to a valid sequence as U+FFFD.
void AppendUtf8(std::string& out, std::string_view bytes);

// Appends `s` so that it never breaks the line nor reaches a terminal as a control: C0 and C1
// controls, DEL and the characters that reorder a line (bidirectional controls, line and
// paragraph separators) as \x1B or \u202E, bytes that are not UTF-8 as \xFE, and with `quotes`
// " and \ with a backslash. AppendQuoted adds the quotes.
void AppendEscaped(std::string& out, std::string_view s, bool quotes);
void AppendQuoted(std::string& out, std::string_view s);

// The inside of a JSON string: escapes, and U+FFFD for bytes that are not UTF-8.
void AppendJsonChars(std::string& out, std::string_view text);

// The shortest decimal that reads back as `x` (finite numbers only).
void AppendShortest(std::string& out, double x);

// Appends a date as "2010-05-14T18:22:05.123Z" (iso) or "2010-05-14 18:22:05.123 UTC"; false,
// and nothing appended, when the milliseconds are not a whole number within the years 0 to 9999.
bool AppendDate(std::string& out, double ms, bool iso);

void AppendBase64(std::string& out, std::string_view bytes);

// The longest prefix of `s` of at most `n` bytes that does not end inside a UTF-8 sequence, so
// that a long string can be written in pieces.
std::size_t PieceLength(std::string_view s, std::size_t n);

}  // namespace vesk::lso::detail
