#include "discovery/cookie_list.h"

namespace vesk::discovery {

bool IsCookiePath(std::string_view path) {
  if (path.size() < 4) return false;
  const std::string_view tail = path.substr(path.size() - 4);
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  return tail[0] == '.' && upper(tail[1]) == 'S' && upper(tail[2]) == 'O' && upper(tail[3]) == 'L';
}

std::vector<std::string> CookiePaths(const EntryList& entries) {
  std::vector<std::string> paths;
  const std::string_view fileMarker = kFileMarker;
  // The last slot is the empty spare slot and is never looked at.
  for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
    const std::string_view entry = entries[i];
    if (entry.substr(0, 2) == kFolderMarker) continue;
    if (entry.substr(0, fileMarker.size()) != fileMarker) continue;
    const std::string_view path = entry.substr(fileMarker.size());
    if (IsCookiePath(path)) paths.emplace_back(path);
  }
  return paths;
}

std::vector<std::string> ScanCookiePaths(const std::string& root, platform::System& system) {
  EntryList entries(1);
  ScanFolder(root, kScanPattern, entries, system);
  return CookiePaths(entries);
}

}  // namespace vesk::discovery
