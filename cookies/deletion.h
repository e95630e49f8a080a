#pragma once

// Deleting cookie files.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::cookies {

// Deletes each named file by its exact path below the scan root `root` it was listed from, with
// the guarded rule (System::RemoveFileBelow): a file that cannot be deleted (read-only, in use, no
// access, no regular file or link, a path whose folders no longer lead there from the root
// without a link) is skipped. Returns how many are gone afterwards.
int DeleteCookieFiles(const std::string& root, const std::vector<std::string>& paths, platform::System& system);

// One file below `root` with the guarded rule, and the text vesk-cli prints for its outcome
// ("deleted", "kept: read-only", ...; empty for a system error, which the caller words).
platform::RemoveResult DeleteCookieFile(const std::string& root, const std::string& path, platform::System& system);
const char* RemovalText(platform::Removal outcome);

}  // namespace vesk::cookies
