#pragma once

// Every Flash cookie store of this user on this system: the plug-in's, and one per profile of each
// Chromium-based browser (their built-in Pepper player), each the folder that holds
// "#SharedObjects" and the player's own settings.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::discovery {

struct Store {
  std::string name;     // stable row name: "plug-in", "chrome/Default", "opera", ...
  std::string browser;  // the browser's name ("Google Chrome"); empty for the plug-in
  std::string profile;  // "Default", "Profile 1", ...; empty for the plug-in and Opera
  std::string folder;   // ends with the separator
  bool IsPlugIn() const { return browser.empty(); }
};

// The stores whose folder exists, in a fixed order: the plug-in first, then the browsers in the
// order Chrome, Edge, Brave, Vivaldi, Chromium, Opera, each browser's profiles as "Default",
// "Profile N" by rising N, "Guest Profile", "System Profile". The plug-in's store is the folder
// that holds the window's standard root, so both always agree.
std::vector<Store> FindStores(platform::System& system);

}  // namespace vesk::discovery
