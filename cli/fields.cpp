#include "cli/fields.h"

#include "base/base64.h"
#include "base/escape.h"
#include "base/utf8.h"
#include "lso/lso.h"
#include "platform/platform.h"

namespace vesk::cli {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> HoldingFolder(std::string_view path) {
  const auto parts = platform::SplitPath(path);
  if (parts.size() < 2) return std::nullopt;
  return std::string(parts[parts.size() - 2]);
}

std::optional<std::string> SiteOf(std::string_view path) {
  const auto parts = platform::SplitPath(path);
  // #SharedObjects, the random folder, the site folder, then at least the file itself.
  for (std::size_t i = 0; i + 3 < parts.size(); ++i) {
    if (EqualsIgnoringAsciiCase(parts[i], "#sharedobjects") && !parts[i + 2].empty()) {
      return std::string(parts[i + 2]);
    }
  }
  return std::nullopt;
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
