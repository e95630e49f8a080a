#include "base/escape.h"

#include "base/utf8.h"

namespace vesk::base {

bool IsEscapedCodePoint(char32_t c) {
  return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

namespace {

// Length of the next sequence at the start of `s` that is copied as it is: plain ASCII, or a
// well-formed sequence of a character that needs no escape; 0 when it must be escaped.
std::size_t PlainLength(std::string_view s, char32_t& c) {
  const auto b = static_cast<unsigned char>(s[0]);
  if (b >= 0x20 && b < 0x7F) {
    c = b;
    return 1;
  }
  const std::size_t length = DecodeUtf8(s, c);
  if (length == 0 || IsEscapedCodePoint(c)) return 0;
  return length;
}

}  // namespace

bool NeedsEscape(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    char32_t c;
    const std::size_t length = PlainLength(text.substr(i), c);
    if (length == 0) return true;
    i += length;
  }
  return false;
}

void AppendEscaped(std::string& out, std::string_view text, std::string_view alsoEscaped) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (std::size_t i = 0; i < text.size();) {
    char32_t c;
    const std::size_t length = PlainLength(text.substr(i), c);
    if (length == 1 && alsoEscaped.find(text[i]) != std::string_view::npos) {
      out += '\\';
      out += text[i++];
      continue;
    }
    if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
      continue;
    }
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t sequence = Utf8SequenceLength(text.substr(i));
    if (b == '\t' || b == '\n' || b == '\r') {
      out += b == '\t' ? "\\t" : b == '\n' ? "\\n" : "\\r";
    } else if (sequence <= 1) {  // an ASCII control, DEL, or a byte that is not UTF-8
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      DecodeUtf8(text.substr(i), c);
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(c >> shift) & 15];
    }
    i += sequence == 0 ? 1 : sequence;
  }
}

}  // namespace vesk::base
