#include "cli/fields.h"

#include "base/base64.h"
#include "base/escape.h"
#include "base/utf8.h"
#include "lso/lso.h"
#include "platform/platform.h"

namespace vesk::cli {

std::optional<std::string> HoldingFolder(std::string_view path) {
  const auto parts = platform::SplitPath(path);
  if (parts.size() < 2) return std::nullopt;
  return std::string(parts[parts.size() - 2]);
}

void AppendJsonText(std::string& out, std::string_view key, std::optional<std::string_view> text) {
  out.append("\"").append(key).append("\":");
  if (!text) {
    out.append("null");
    return;
  }
  lso::AppendJsonString(out, *text);
  if (base::IsUtf8(*text)) return;
  out.append(",\"").append(key).append("_bytes\":{\"$bytes\":\"");
  base::AppendBase64(out, *text);
  out.append("\"}");
}

void AppendJsonError(std::string& out, std::string_view error) {
  out.append(",\"error\":");
  if (error.empty()) {
    out.append("null");
  } else {
    lso::AppendJsonString(out, error);
  }
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

std::string EscapedPath(std::string_view path) {
  if (!base::NeedsEscape(path)) return std::string(path);
  std::string shown = "$'";
  base::AppendEscaped(shown, path, "\\'");
  return shown += '\'';
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

}  // namespace vesk::cli
