#pragma once

// Every Flash cookie store of this user on this system: the plug-in's, one per profile of each
// Chromium-based browser (their built-in Pepper player), the Ruffle emulator's, and one per AIR
// application; each the folder that holds "#SharedObjects" (Ruffle's: "SharedObjects").

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::discovery {

enum class StoreKind { kPlugIn, kBrowser, kRuffle, kAir };

struct Store {
  // Stable row name: "plug-in", "chrome/Default", "opera", "ruffle/native", "ruffle/flatpak",
  // "air/<application folder>".
  std::string name;
  std::string browser;  // the browser's name ("Google Chrome"); empty for the other kinds
  std::string profile;  // "Default", "Profile 1", ...; empty for the other kinds and Opera
  std::string folder;   // ends with the separator
  StoreKind kind = StoreKind::kPlugIn;
  bool IsPlugIn() const { return kind == StoreKind::kPlugIn; }
};

const char* StoreKindName(StoreKind kind);  // "plug-in", "browser", "ruffle" or "air"

// The stores whose folder exists, in a fixed order: the plug-in first, then the browsers in the
// order Chrome, Edge, Brave, Vivaldi, Chromium, Opera, each browser's profiles as "Default",
// "Profile N" by rising N, "Guest Profile", "System Profile"; then Ruffle, native before the
// Flatpak; then the AIR applications by folder name (on macOS those below Preferences before
// those below Application Support). The plug-in's store is the folder that holds the window's
// standard root, so both always agree.
std::vector<Store> FindStores(platform::System& system);

// The plug-in's store: the folder that holds the standard root's "#SharedObjects".
std::string PlugInFolder(platform::System& system);

// The native Ruffle's data folder, the one that holds "SharedObjects", whether it exists or not;
// empty when the environment names none.
std::string RuffleFolder(platform::System& system);

}  // namespace vesk::discovery
