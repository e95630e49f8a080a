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

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

struct Part {
  std::string_view name;
  std::size_t at;  // byte offset in the path
};

std::vector<Part> Parts(std::string_view path) {
  std::vector<Part> parts;
  for (const std::string_view part : platform::SplitPath(path)) {
    parts.push_back({part, static_cast<std::size_t>(part.data() - path.data())});
  }
  return parts;
}

std::optional<std::string> SiteName(std::string_view name) {
  if (name.empty()) return std::nullopt;
  return std::string(name);
}

}  // namespace

std::string AirApplicationId(std::string_view folderName) {
  std::string_view id = folderName;
  if (id.size() > 2 && id.substr(id.size() - 2) == ".1") id.remove_suffix(2);
  constexpr std::size_t kPublisherId = 40;
  if (id.size() > kPublisherId + 1 && id[id.size() - kPublisherId - 1] == '.') {
    const std::string_view publisher = id.substr(id.size() - kPublisherId);
    bool hex = true;
    for (const char c : publisher) hex = hex && IsHexDigit(c);
    if (hex) return std::string(id.substr(0, id.size() - kPublisherId - 1));
  }
  return std::string(folderName);
}

FileClass ClassifyPath(std::string_view path) {
  const std::vector<Part> parts = Parts(path);
  if (parts.empty()) return {};
  const std::size_t fileIndex = parts.size() - 1;  // the last part is the file's name
  static constexpr std::string_view kSys[] = {"macromedia.com", "support", "flashplayer", "sys"};
  for (std::size_t i = 0; i < fileIndex; ++i) {
    const std::string_view name = parts[i].name;
    if (SameIgnoringCase(name, "#sharedobjects")) {
      // An AIR application keeps no random folder and no site folder: the application is the site.
      if (i >= 2 && SameIgnoringCase(parts[i - 1].name, "local store")) {
        const std::string id = AirApplicationId(parts[i - 2].name);
        return {FileKind::kCookie, Layout::kAir, SiteName(id)};
      }
      // The random folder, then the site, then at least the file.
      if (i + 2 < fileIndex) {
        return {FileKind::kCookie, Layout::kFlashPlayer, SiteName(parts[i + 2].name), parts[i + 2].at};
      }
      return {FileKind::kCookie, Layout::kFlashPlayer, std::nullopt};
    }
    if (i >= 1 && SameIgnoringCase(name, "sharedobjects") && SameIgnoringCase(parts[i - 1].name, "ruffle")) {
      if (i + 1 < fileIndex) return {FileKind::kCookie, Layout::kRuffle, SiteName(parts[i + 1].name), parts[i + 1].at};
      return {FileKind::kCookie, Layout::kRuffle, std::nullopt};
    }
    bool sys = i + 4 <= fileIndex;
    for (std::size_t k = 0; sys && k < 4; ++k) sys = SameIgnoringCase(parts[i + k].name, kSys[k]);
    if (sys) {
      if (i + 4 == fileIndex) return {FileKind::kSettings, Layout::kSettings, std::nullopt};
      std::string_view site = parts[i + 4].name;
      if (!site.empty() && site.front() == '#') site.remove_prefix(1);
      return {FileKind::kSettings, Layout::kSettings, SiteName(site)};
    }
  }
  return {};
}

const char* FileKindName(FileKind kind) { return kind == FileKind::kSettings ? "settings" : "cookie"; }

}  // namespace vesk::discovery
