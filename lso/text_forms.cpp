#include "lso/text_forms.h"

#include <charconv>

#include "base/escape.h"
#include "base/utf8.h"

namespace vesk::lso::detail {

void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  base::AppendEscaped(out, s, "\"\\");
  out += '"';
}

void AppendJsonChars(std::string& out, std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t run = i;
    while (run < text.size()) {
      const auto b = static_cast<unsigned char>(text[run]);
      if (b < 0x20 || b >= 0x7F || b == '"' || b == '\\') break;
      ++run;
    }
    out.append(text.data() + i, run - i);
    i = run;
    if (i == text.size()) break;
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      char32_t cp;
      const std::size_t n = base::DecodeUtf8(text.substr(i), cp);
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
      } else if (base::IsEscapedCodePoint(cp)) {
        // The same JSON value, but nothing a terminal acts on when the JSON is shown there.
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += hex[(cp >> shift) & 15];
        i += n;
      } else {
        out.append(text.substr(i, n));
        i += n;
      }
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      default:
        out += "\\u00";
        out += hex[c >> 4];
        out += hex[c & 15];
    }
  }
}

void AppendShortest(std::string& out, double x) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  out.append(buffer, result.ptr);
}

std::size_t PieceLength(std::string_view s, std::size_t n) {
  if (n >= s.size()) return s.size();
  std::size_t end = n;
  // Back over continuation bytes to the start of their sequence, at most three.
  for (int k = 0; k < 3 && end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80; ++k) --end;
  return end > 0 ? end : n;
}

}  // namespace vesk::lso::detail
