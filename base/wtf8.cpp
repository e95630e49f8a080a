#include "base/wtf8.h"

#include <cstdint>
#include <cstring>

#include "base/utf8.h"

namespace vesk::base {
namespace {

bool IsHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Length of the WTF-8 sequence at the start of `s` and its value: a well-formed UTF-8 sequence,
// or the three bytes of a surrogate; 0 when neither.
std::size_t DecodeWtf8(std::string_view s, char32_t& c) {
  if (const std::size_t length = DecodeUtf8(s, c)) return length;
  if (s.size() >= 3 && static_cast<unsigned char>(s[0]) == 0xED) {
    const auto b1 = static_cast<unsigned char>(s[1]);
    const auto b2 = static_cast<unsigned char>(s[2]);
    if (b1 >= 0xA0 && b1 <= 0xBF && (b2 & 0xC0) == 0x80) {
      c = 0xD000 | (char32_t{b1} & 0x3F) << 6 | (b2 & 0x3F);
      return 3;
    }
  }
  return 0;
}

// Units of UTF-16 that well-formed WTF-8 gives: one per byte that is no continuation byte
// (10xxxxxx), two for a four-byte sequence (11110xxx); eight bytes at a time. Cookies of 16 MiB
// are shown through this, so the common case must be quick.
std::size_t Utf16Length(std::string_view text) {
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const auto* at = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = at + text.size();
  std::size_t units = text.size();
  for (; end - at >= 8; at += 8) {
    std::uint64_t w;
    std::memcpy(&w, at, 8);
    if ((w & kHigh) == 0) continue;
    units -= static_cast<std::size_t>(__builtin_popcountll(w & ~(w << 1) & kHigh));
    units += static_cast<std::size_t>(__builtin_popcountll(w & (w << 1) & (w << 2) & (w << 3) & kHigh));
  }
  for (; at < end; ++at) {
    units -= (*at & 0xC0) == 0x80 ? 1 : 0;
    units += *at >= 0xF0 ? 1 : 0;
  }
  return units;
}

}  // namespace

std::string Wtf8FromUtf16(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendCodePoint(out, c);
  }
  return out;
}

std::u16string Utf16FromWtf8(std::string_view text, Surrogates surrogates) {
  std::u16string out;
  out.reserve(Utf16Length(text));  // exact for well-formed text
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at < end) {
    if (end - at >= 8) {
      std::uint64_t w;
      std::memcpy(&w, at, 8);
      if ((w & 0x8080808080808080ULL) == 0) {  // a run of ASCII
        for (int i = 0; i < 8; ++i) out += static_cast<char16_t>(at[i]);
        at += 8;
        continue;
      }
    }
    char32_t c;
    std::size_t length = DecodeWtf8(std::string_view(at, static_cast<std::size_t>(end - at)), c);
    if (length == 0) {
      c = kReplacementCharacter;
      length = 1;
    }
    at += length;
    if (c >= 0x10000) {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
      continue;
    }
    if (surrogates == Surrogates::kReplace && (IsHigh(c) || IsLow(c))) {
      // Two surrogate sequences in a row that make a pair are shown as their character.
      char32_t next;
      if (IsHigh(c) && DecodeWtf8(std::string_view(at, static_cast<std::size_t>(end - at)), next) == 3 &&
          IsLow(next)) {
        out += static_cast<char16_t>(c);
        out += static_cast<char16_t>(next);
        at += 3;
        continue;
      }
      c = kReplacementCharacter;
    }
    out += static_cast<char16_t>(c);
  }
  return out;
}

}  // namespace vesk::base
