#pragma once

// Deleting cookie files.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::cookies {

// Deletes each named file by its exact path; a file that cannot be deleted (read-only, in use,
// no access, no regular file or link) is skipped. Returns how many were deleted.
int DeleteCookieFiles(const std::vector<std::string>& paths, platform::System& system);

// The same below the scan root `root` the paths were listed from, with the guarded rule: a path
// whose folders no longer lead there from the root without a link is refused. Returns how many
// are gone afterwards.
int DeleteCookieFiles(const std::string& root, const std::vector<std::string>& paths, platform::System& system);

// One file below `root` with the guarded rule, and the text vesk-cli prints for its outcome
// ("deleted", "kept: read-only", ...; empty for a system error, which the caller words).
platform::RemoveResult DeleteCookieFile(const std::string& root, const std::string& path, platform::System& system);
const char* RemovalText(platform::Removal outcome);

}  // namespace vesk::cookies
