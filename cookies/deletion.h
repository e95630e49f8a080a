#pragma once

// Deleting cookie files.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::cookies {

// Deletes each named file by its exact path; a file that cannot be deleted (read-only, in use,
// no access, no regular file or link) is skipped. Returns how many were deleted.
int DeleteCookieFiles(const std::vector<std::string>& paths, platform::System& system);

}  // namespace vesk::cookies
