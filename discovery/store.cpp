#include "discovery/store.h"

namespace vesk::discovery {
namespace {

#ifdef _WIN32
constexpr const char* kStoreSuffix = "macromedia\\flash player\\#sharedobjects\\";
#else
constexpr const char* kStoreSuffix = "macromedia/flash player/#sharedobjects/";
#if defined(__APPLE__)
constexpr const char* kHomeStoreSuffix = "Library/Preferences/Macromedia/Flash Player/#SharedObjects/";
#else
constexpr const char* kHomeStoreSuffix = ".macromedia/Flash_Player/#SharedObjects/";
#endif
#endif

struct AppData {
  std::string folder;
  const char* storeSuffix;
};

AppData Locate(platform::System& system) {
  const std::string appData = system.GetEnv("APPDATA");
#ifndef _WIN32
  // Without APPDATA (the usual case off Windows) the player kept its store in the home folder.
  if (appData.empty()) {
    const std::string home = system.GetEnv("HOME");
    if (!home.empty()) return {platform::ProperPath(home), kHomeStoreSuffix};
  }
#endif
  return {platform::ProperPath(appData), kStoreSuffix};
}

}  // namespace

std::string AppDataFolder(platform::System& system) { return Locate(system).folder; }

std::string StandardRoot(platform::System& system) {
  const AppData appData = Locate(system);
  return appData.folder + appData.storeSuffix;
}

std::string DeeperRoot(platform::System& system) { return AppDataFolder(system); }

}  // namespace vesk::discovery
