// The JSON form is written by hand rather than through nlohmann::json: that library prints a double
// such as 42.0 as "42.0" where the shortest form is 42, and building its document first would
// hold a second copy of a tree that can be many times the file's size.

#include <charconv>
#include <cmath>
#include <cstdint>

#include "lso/internal.h"
#include "lso/lso.h"

namespace vesk::lso {
namespace detail {

std::size_t Utf8SequenceLength(std::string_view s) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  if (s.empty()) return 0;
  unsigned char b = at(0);
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

void AppendUtf8(std::string& out, std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t n = Utf8SequenceLength(bytes.substr(i));
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(bytes.substr(i, n));
      i += n;
    }
  }
}

void AppendShortest(std::string& out, double x) {
  char buffer[32];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, x);
  out.append(buffer, result.ptr);
}

bool AppendDate(std::string& out, double ms, bool iso) {
  // 0000-01-01T00:00:00.000Z to 9999-12-31T23:59:59.999Z
  if (!(ms >= -62167219200000.0 && ms <= 253402300799999.0) || ms != std::floor(ms)) return false;
  std::int64_t t = static_cast<std::int64_t>(ms);
  std::int64_t days = t >= 0 ? t / 86400000 : (t - 86399999) / 86400000;
  std::int64_t rest = t - days * 86400000;
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  std::int64_t z = days + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  std::int64_t day = doy - (153 * mp + 2) / 5 + 1;
  std::int64_t month = mp < 10 ? mp + 3 : mp - 9;
  std::int64_t year = yoe + era * 400 + (month <= 2);
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

}  // namespace detail

namespace {

void AppendBase64(std::string& out, std::string_view bytes) {
  static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::size_t i = 0;
  auto at = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    std::uint32_t v = at(i) << 16 | at(i + 1) << 8 | at(i + 2);
    out += digits[v >> 18];
    out += digits[v >> 12 & 63];
    out += digits[v >> 6 & 63];
    out += digits[v & 63];
  }
  if (bytes.size() - i == 1) {
    std::uint32_t v = at(i) << 16;
    out += digits[v >> 18];
    out += digits[v >> 12 & 63];
    out += "==";
  } else if (bytes.size() - i == 2) {
    std::uint32_t v = at(i) << 16 | at(i + 1) << 8;
    out += digits[v >> 18];
    out += digits[v >> 12 & 63];
    out += digits[v >> 6 & 63];
    out += '=';
  }
}

void AppendNumber(std::string& out, double x) {
  if (std::isnan(x)) out += R"({"$number":"NaN"})";
  else if (std::isinf(x)) out += x > 0 ? R"({"$number":"Infinity"})" : R"({"$number":"-Infinity"})";
  else detail::AppendShortest(out, x);
}

void AppendValue(std::string& out, const Value& v, int depth);

void AppendItems(std::string& out, const std::vector<Value>& items, int depth) {
  out += '[';
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ',';
    AppendValue(out, items[i], depth);
  }
  out += ']';
}

void AppendMembers(std::string& out, const std::vector<Member>& members, int depth, bool first) {
  for (const Member& m : members) {
    if (!first) out += ',';
    first = false;
    AppendJsonString(out, m.key);
    out += ':';
    AppendValue(out, m.value, depth);
  }
}

bool IsContainer(Kind k) {
  return k == Kind::Object || k == Kind::Array || k == Kind::Vector || k == Kind::Dictionary;
}

// `depth` counts the containers around `v`.
void AppendValue(std::string& out, const Value& v, int depth) {
  if (IsContainer(v.kind) && ++depth > detail::kMaxDepth) {
    out += R"({"$problem":"nested deeper than 1000 levels"})";
    return;
  }
  switch (v.kind) {
    case Kind::Number: AppendNumber(out, v.number); return;
    case Kind::Integer: out += std::to_string(v.integer); return;
    case Kind::Boolean: out += v.boolean ? "true" : "false"; return;
    case Kind::Null: out += "null"; return;
    case Kind::Undefined: out += R"({"$undefined":true})"; return;
    case Kind::Unsupported: out += R"({"$unsupported":true})"; return;
    case Kind::String: AppendJsonString(out, v.text); return;
    case Kind::Object:
      out += '{';
      if (!v.className.empty()) {
        out += R"("$class":)";
        AppendJsonString(out, v.className);
      }
      AppendMembers(out, v.members, depth, v.className.empty());
      out += '}';
      return;
    case Kind::Array:
      if (v.members.empty()) {
        AppendItems(out, v.items, depth);
        return;
      }
      out += R"({"$items":)";
      AppendItems(out, v.items, depth);
      out += R"(,"$members":{)";
      AppendMembers(out, v.members, depth, true);
      out += "}}";
      return;
    case Kind::Vector:
      if (!detail::VectorHasWrapper(v.className, v.boolean)) {
        AppendItems(out, v.items, depth);
        return;
      }
      out += R"({"$vector":)";
      AppendJsonString(out, v.className);
      if (v.boolean) out += R"(,"$fixed":true)";
      out += R"(,"$items":)";
      AppendItems(out, v.items, depth);
      out += '}';
      return;
    case Kind::Dictionary:
      out += R"({"$dictionary":[)";
      for (std::size_t i = 0; i < v.entries.size(); ++i) {
        if (i) out += ',';
        out += '[';
        AppendValue(out, v.entries[i].key, depth);
        out += ',';
        AppendValue(out, v.entries[i].value, depth);
        out += ']';
      }
      out += ']';
      if (v.boolean) out += R"(,"$weakKeys":true)";
      out += '}';
      return;
    case Kind::Date:
      out += R"({"$date":)";
      if (std::string date; detail::AppendDate(date, v.number, true)) {
        out += '"';
        out += date;
        out += '"';
      } else {
        AppendNumber(out, v.number);
      }
      out += '}';
      return;
    case Kind::ByteArray:
      out += R"({"$bytes":")";
      AppendBase64(out, v.text);
      out += "\"}";
      return;
    case Kind::Xml:
      out += R"({"$xml":)";
      AppendJsonString(out, v.text);
      out += '}';
      return;
    case Kind::Reference:
      out += R"({"$ref":)";
      AppendJsonString(out, v.text);
      out += '}';
      return;
    case Kind::Problem:
      out += R"({"$problem":)";
      AppendJsonString(out, v.text);
      out += '}';
      return;
  }
  out += "null";  // a Kind this writer does not know; keeps the output valid
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
  static const char hex[] = "0123456789abcdef";
  out += '"';
  std::size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      std::size_t n = detail::Utf8SequenceLength(text.substr(i));
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
        if (c < 0x20 || c == 0x7F) {
          out += "\\u00";
          out += hex[c >> 4];
          out += hex[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  out += '"';
}

void AppendJsonValues(std::string& out, const Document& doc) {
  out += '{';
  AppendMembers(out, doc.values, 0, true);
  out += '}';
}

void AppendJsonProblems(std::string& out, const Document& doc) {
  out += '[';
  for (std::size_t i = 0; i < doc.problems.size(); ++i) {
    if (i) out += ',';
    out += R"({"offset":)";
    out += std::to_string(doc.problems[i].offset);
    out += R"(,"message":)";
    AppendJsonString(out, doc.problems[i].message);
    out += '}';
  }
  out += ']';
}

}  // namespace vesk::lso
