#pragma once

// Where the scan starts: the Flash Player store inside the application-data folder (the
// standard root), or the whole application-data folder (the deeper root).

#include <string>

#include "platform/platform.h"

namespace vesk::discovery {

// The application-data folder, ending with the separator. On POSIX without APPDATA it is the
// home folder; with neither set it is the bare separator.
std::string AppDataFolder(platform::System& system);

std::string StandardRoot(platform::System& system);
std::string DeeperRoot(platform::System& system);

}  // namespace vesk::discovery
