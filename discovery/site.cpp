#include "discovery/site.h"

#include <vector>

#include "platform/platform.h"

namespace vesk::discovery {
namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::vector<std::string_view> Parts(std::string_view path) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
#ifdef _WIN32
    std::size_t end = path.find_first_of("\\/", start);
#else
    std::size_t end = path.find(platform::kSeparator, start);
#endif
    if (end == std::string_view::npos) end = path.size();
    parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

}  // namespace

FileClass ClassifyPath(std::string_view path) {
  const std::vector<std::string_view> parts = Parts(path);
  const std::size_t fileIndex = parts.size() - 1;  // the last part is the file's name
  static constexpr std::string_view kSys[] = {"macromedia.com", "support", "flashplayer", "sys"};
  for (std::size_t i = 0; i < fileIndex; ++i) {
    if (SameIgnoringCase(parts[i], "#sharedobjects")) {
      // The random folder, then the site, then at least the file.
      if (i + 2 < fileIndex) return {FileKind::kCookie, std::string(parts[i + 2])};
      return {FileKind::kCookie, ""};
    }
    bool sys = i + 4 <= fileIndex;
    for (std::size_t k = 0; sys && k < 4; ++k) sys = SameIgnoringCase(parts[i + k], kSys[k]);
    if (sys) {
      if (i + 4 == fileIndex) return {FileKind::kSettings, ""};
      std::string_view site = parts[i + 4];
      if (!site.empty() && site.front() == '#') site.remove_prefix(1);
      return {FileKind::kSettings, std::string(site)};
    }
  }
  return {FileKind::kCookie, ""};
}

const char* FileKindName(FileKind kind) { return kind == FileKind::kSettings ? "settings" : "cookie"; }

}  // namespace vesk::discovery
