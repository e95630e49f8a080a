#pragma once

// UTF-8: the program's text. One rule for what a well-formed sequence is, used by the reader, the
// cookie text, the command line's output and the platform layer.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk::base {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// Length (1 to 4) of the well-formed UTF-8 sequence at the start of `s`, and its code point in
// `c`; 0 when `s` is empty or starts with no such sequence (a stray or cut-off byte, an overlong
// form, a surrogate, a value past U+10FFFF).
std::size_t DecodeUtf8(std::string_view s, char32_t& c);
std::size_t Utf8SequenceLength(std::string_view s);

// True when all of `text` is well-formed UTF-8.
bool IsUtf8(std::string_view text);

// Appends the encoding of `c` (below 0x110000). Surrogates are encoded like any other value, as
// WTF-8 keeps them; callers that want UTF-8 never pass one.
void AppendCodePoint(std::string& out, char32_t c);

// Appends `bytes` as UTF-8, each byte that does not belong to a well-formed sequence as U+FFFD.
void AppendUtf8(std::string& out, std::string_view bytes);

// Number of characters of `text`; a byte that starts no well-formed sequence counts as one.
std::size_t CharacterCount(std::string_view text);

}  // namespace vesk::base
