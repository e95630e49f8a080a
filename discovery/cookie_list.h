#pragma once

// Picks the cookie files out of a scan.

#include <string>
#include <string_view>
#include <vector>

#include "discovery/scan.h"

namespace vesk::discovery {

// True when the path's last four characters are ".sol" in any mix of case.
bool IsCookiePath(std::string_view path);

// The exact paths of the cookie files among the entries, in scan order. Only the file marker is
// removed, so a name with leading or trailing blanks keeps them and still names its file.
std::vector<std::string> CookiePaths(const EntryList& entries);

// The cookie files below `root`, in scan order: ScanFolder, then CookiePaths.
std::vector<std::string> ScanCookiePaths(const std::string& root, platform::System& system);

}  // namespace vesk::discovery
