#include "cli/fields.h"

#include <cstdio>
#include <vector>

#include "lso/lso.h"
#include "platform/platform.h"

namespace vesk::cli {
namespace {

bool IsSeparator(char c) {
#ifdef _WIN32
  // A path typed on a Windows command line may use either.
  return c == '\\' || c == '/';
#else
  return c == platform::kSeparator;
#endif
}

// The parts between separators; empty parts count, as in the window's own split.
std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  if (path.empty()) return parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || IsSeparator(path[i])) {
      parts.push_back(path.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

struct Civil {
  std::int64_t year;
  unsigned month, day, hour, minute, second;
};

// Howard Hinnant's civil_from_days, on 64-bit days so that no file time can overflow it.
Civil ToCivil(std::int64_t seconds) {
  std::int64_t days = seconds / 86400;
  std::int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;  // March is 0
  Civil civil{};
  civil.day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  civil.month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  civil.year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (civil.month <= 2 ? 1 : 0);
  const auto secondOfDay = static_cast<unsigned>(rest);
  civil.hour = secondOfDay / 3600;
  civil.minute = secondOfDay / 60 % 60;
  civil.second = secondOfDay % 60;
  return civil;
}

std::string FormatCivil(std::int64_t seconds, const char* format) {
  const Civil c = ToCivil(seconds);
  char text[64];
  std::snprintf(text, sizeof text, format, static_cast<long long>(c.year), c.month, c.day, c.hour, c.minute,
                c.second);
  return text;
}

}  // namespace

std::optional<std::string> HoldingFolder(std::string_view path) {
  const auto parts = Components(path);
  if (parts.size() < 2) return std::nullopt;
  return std::string(parts[parts.size() - 2]);
}

bool IsUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // past U+10FFFF
    } else {
      return false;
    }
    if (text.size() - i < length) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF)) return false;
    }
    i += length;
  }
  return true;
}

std::string Base64(std::string_view bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16 |
                            static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
    out += kAlphabet[n >> 18];
    out += kAlphabet[n >> 12 & 63];
    out += kAlphabet[n >> 6 & 63];
    out += kAlphabet[n & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const std::uint32_t n = static_cast<unsigned char>(bytes[i]) << 16 |
                            (two ? static_cast<unsigned char>(bytes[i + 1]) << 8 : 0);
    out += kAlphabet[n >> 18];
    out += kAlphabet[n >> 12 & 63];
    out += two ? kAlphabet[n >> 6 & 63] : '=';
    out += '=';
  }
  return out;
}

void AppendTextMember(std::string& out, std::string_view key, const std::optional<std::string>& text) {
  out.append("\"").append(key).append("\":");
  if (!text) {
    out.append("null");
    return;
  }
  lso::AppendJsonString(out, *text);
  if (!IsUtf8(*text)) out.append(",\"").append(key).append("_bytes\":{\"$bytes\":\"").append(Base64(*text)).append("\"}");
}

std::string SafeFolderName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    const bool last = i + 1 == name.size();
    const bool unsafe = b < 0x20 || b == 0x7F || std::string_view("%/\\:*?\"<>|").find(static_cast<char>(b)) !=
                                                     std::string_view::npos;
    if (unsafe || (last && (b == '.' || b == ' '))) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += static_cast<char>(b);
    }
  }
  return out.empty() ? "%" : out;
}

std::string BodyLine(std::string_view path, const platform::FileDetails& details) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string line = "0|";
  for (const char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '|' || c == '%') {  // mactime decodes these back
      line += '%';
      line += kHex[b >> 4];
      line += kHex[b & 15];
    } else if (b < 0x20 || b == 0x7F) {
      // Decoded, a line feed makes mactime drop the entry and an escape would reach its
      // terminal: it shows "\x0A" instead.
      line += "%5Cx";
      line += kHex[b >> 4];
      line += kHex[b & 15];
    } else {
      line += c;
    }
  }
  // As ls shows it, after the type letter and a slash: "r/rrw-r--r--".
  using Type = platform::FileDetails::Type;
  const char type = details.type == Type::kFile     ? 'r'
                    : details.type == Type::kFolder ? 'd'
                    : details.type == Type::kLink   ? 'l'
                                                    : '-';
  std::string mode = {type, '/', type};
  static constexpr char kRwx[] = "rwxrwxrwx";
  for (int bit = 0; bit < 9; ++bit) mode += (details.mode & (0400u >> bit)) != 0 ? kRwx[bit] : '-';
  if (details.mode & 04000) mode[5] = (details.mode & 0100) ? 's' : 'S';
  if (details.mode & 02000) mode[8] = (details.mode & 010) ? 's' : 'S';
  if (details.mode & 01000) mode[11] = (details.mode & 01) ? 't' : 'T';
  auto time = [](const std::optional<std::int64_t>& t) { return std::to_string(t && *t > 0 ? *t : 0); };
  line.append("|").append(std::to_string(details.node)).append("|").append(mode);
  line.append("|").append(std::to_string(details.uid)).append("|").append(std::to_string(details.gid));
  line.append("|").append(std::to_string(details.size));
  line.append("|").append(time(details.accessed)).append("|").append(time(details.modified));
  line.append("|").append(time(details.changed)).append("|").append(time(details.created)).append("\n");
  return line;
}

std::string CsvField(std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
  return out;
}

std::string UtcIso(std::int64_t seconds) { return FormatCivil(seconds, "%04lld-%02u-%02uT%02u:%02u:%02uZ"); }

std::string UtcText(std::int64_t seconds) { return FormatCivil(seconds, "%04lld-%02u-%02u %02u:%02u:%02u UTC"); }

}  // namespace vesk::cli
