#include "lso/text_forms.h"

#include <charconv>
#include <cmath>

namespace vesk::lso::detail {
namespace {

const char kHex[] = "0123456789ABCDEF";

std::uint32_t CodePoint(std::string_view s, std::size_t n) {
  auto at = [&](std::size_t i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(s[i])); };
  if (n == 2) return (at(0) & 0x1F) << 6 | (at(1) & 0x3F);
  if (n == 3) return (at(0) & 0x0F) << 12 | (at(1) & 0x3F) << 6 | (at(2) & 0x3F);
  return (at(0) & 0x07) << 18 | (at(1) & 0x3F) << 12 | (at(2) & 0x3F) << 6 | (at(3) & 0x3F);
}

// Code points a terminal could act on or that reorder the line.
bool Hidden(std::uint32_t cp) {
  return (cp >= 0x80 && cp <= 0x9F) || cp == 0x2028 || cp == 0x2029 || (cp >= 0x202A && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E || cp == 0x200F || cp == 0x061C;
}

}  // namespace

std::size_t Utf8SequenceLength(std::string_view s) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  const unsigned char b = at(0);
  if (b < 0x80) return 1;
  std::size_t n;
  std::uint32_t cp;
  if (b >= 0xC2 && b <= 0xDF) n = 2, cp = b & 0x1F;
  else if (b >= 0xE0 && b <= 0xEF) n = 3, cp = b & 0x0F;
  else if (b >= 0xF0 && b <= 0xF4) n = 4, cp = b & 0x07;
  else return 0;
  if (s.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((at(i) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (at(i) & 0x3F);
  }
  // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

bool IsUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(s.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void AppendUtf8(std::string& out, std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const std::size_t n = Utf8SequenceLength(bytes.substr(i));
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
}

void AppendEscaped(std::string& out, std::string_view s, bool quotes) {
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t run = i;
    while (run < s.size()) {
      const auto b = static_cast<unsigned char>(s[run]);
      if (b < 0x20 || b >= 0x7F || (quotes && (b == '"' || b == '\\'))) break;
      ++run;
    }
    out.append(s.data() + i, run - i);
    i = run;
    if (i == s.size()) break;
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      const std::size_t n = Utf8SequenceLength(s.substr(i));
      if (n == 0) {
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
        ++i;
        continue;
      }
      const std::uint32_t cp = CodePoint(s.substr(i), n);
      if (Hidden(cp)) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(cp >> shift) & 15];
      } else {
        out.append(s.substr(i, n));
      }
      i += n;
      continue;
    }
    ++i;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
  }
}

void AppendQuoted(std::string& out, std::string_view s) {
  out += '"';
  AppendEscaped(out, s, true);
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
      const std::size_t n = Utf8SequenceLength(text.substr(i));
      if (n == 0) {
        out += "\xEF\xBF\xBD";
        ++i;
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

bool AppendDate(std::string& out, double ms, bool iso) {
  // 0000-01-01T00:00:00.000Z to 9999-12-31T23:59:59.999Z
  if (!(ms >= -62167219200000.0 && ms <= 253402300799999.0) || ms != std::floor(ms)) return false;
  const auto t = static_cast<std::int64_t>(ms);
  const std::int64_t days = t >= 0 ? t / 86400000 : (t - 86399999) / 86400000;
  const std::int64_t rest = t - days * 86400000;
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  const std::int64_t z = days + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  const std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  const std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t year = yoe + era * 400 + (month <= 2);
  char buffer[40];
  auto put = [&](char* p, std::int64_t v, int width) {
    for (int i = width - 1; i >= 0; --i, v /= 10) p[i] = static_cast<char>('0' + v % 10);
  };
  put(buffer, year, 4);
  buffer[4] = '-';
  put(buffer + 5, month, 2);
  buffer[7] = '-';
  put(buffer + 8, day, 2);
  buffer[10] = iso ? 'T' : ' ';
  put(buffer + 11, rest / 3600000, 2);
  buffer[13] = ':';
  put(buffer + 14, rest / 60000 % 60, 2);
  buffer[16] = ':';
  put(buffer + 17, rest / 1000 % 60, 2);
  buffer[19] = '.';
  put(buffer + 20, rest % 1000, 3);
  out.append(buffer, 23);
  out += iso ? "Z" : " UTC";
  return true;
}

void AppendBase64(std::string& out, std::string_view bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  auto at = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += digits[v >> 18];
    out += digits[v >> 12 & 63];
    out += digits[v >> 6 & 63];
    out += digits[v & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const std::uint32_t v = at(i) << 16 | (two ? at(i + 1) << 8 : 0);
    out += digits[v >> 18];
    out += digits[v >> 12 & 63];
    out += two ? digits[v >> 6 & 63] : '=';
    out += '=';
  }
}

std::size_t PieceLength(std::string_view s, std::size_t n) {
  if (n >= s.size()) return s.size();
  std::size_t end = n;
  // Back over continuation bytes to the start of their sequence, at most three.
  for (int k = 0; k < 3 && end > 0 && (static_cast<unsigned char>(s[end]) & 0xC0) == 0x80; ++k) --end;
  return end > 0 ? end : n;
}

}  // namespace vesk::lso::detail
