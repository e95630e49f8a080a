#pragma once

// The character-level forms both writers and the tree's cells share that no other part of the
// program needs: quoted text, JSON strings, numbers, and cutting long strings into pieces.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::lso::detail {

// `s` in double quotes, escaped for a terminal (base::AppendEscaped), quote and backslash too.
void AppendQuoted(std::string& out, std::string_view s);

// The inside of a JSON string: escapes (C1 and bidirectional controls too, as \u202e), and
// U+FFFD for bytes that are not UTF-8.
void AppendJsonChars(std::string& out, std::string_view text);

// The shortest decimal that reads back as `x` (finite numbers only).
void AppendShortest(std::string& out, double x);

// The longest prefix of `s` of at most `n` bytes that does not end inside a UTF-8 sequence, so
// that a long string can be written in pieces.
std::size_t PieceLength(std::string_view s, std::size_t n);

}  // namespace vesk::lso::detail
