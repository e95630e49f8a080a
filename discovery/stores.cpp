#include "discovery/stores.h"

#include <algorithm>
#include <memory>

#include "discovery/store.h"

namespace vesk::discovery {
namespace {

constexpr char kSep = platform::kSeparator;

struct Browser {
  const char* key;   // first part of the row name
  const char* name;  // shown
  // Below the base folder (LOCALAPPDATA on Windows, the configuration folder elsewhere), with
  // "/" for the separator; for Opera the store's parent itself, without profiles.
  const char* folder;
  bool profiles;
};

#ifdef _WIN32
const Browser kBrowsers[] = {
    {"chrome", "Google Chrome", "Google/Chrome/User Data", true},
    {"edge", "Microsoft Edge", "Microsoft/Edge/User Data", true},
    {"brave", "Brave", "BraveSoftware/Brave-Browser/User Data", true},
    {"vivaldi", "Vivaldi", "Vivaldi/User Data", true},
    {"chromium", "Chromium", "Chromium/User Data", true},
    {"opera", "Opera", "Opera Software/Opera Stable", false},  // below APPDATA
};
#elif defined(__APPLE__)
const Browser kBrowsers[] = {
    {"chrome", "Google Chrome", "Google/Chrome", true},
    {"edge", "Microsoft Edge", "Microsoft Edge", true},
    {"brave", "Brave", "BraveSoftware/Brave-Browser", true},
    {"vivaldi", "Vivaldi", "Vivaldi", true},
    {"chromium", "Chromium", "Chromium", true},
};
#else
const Browser kBrowsers[] = {
    {"chrome", "Google Chrome", "google-chrome", true},
    {"edge", "Microsoft Edge", "microsoft-edge", true},
    {"brave", "Brave", "BraveSoftware/Brave-Browser", true},
    {"vivaldi", "Vivaldi", "vivaldi", true},
    {"chromium", "Chromium", "chromium", true},
    {"opera", "Opera", "opera", false},
};
#endif

constexpr const char* kPepperStore = "Pepper Data/Shockwave Flash/WritableRoot";

std::string Native(std::string path) {
  std::replace(path.begin(), path.end(), '/', kSep);
  return path;
}

// A folder that cannot be read is still there: it is listed, and reading it is left to fail
// where it can be said.
bool FolderExists(const std::string& folder, platform::System& system) {
  const platform::Result check = system.CheckFolder(folder);
  return check.ok() || !platform::IsNotFound(check.error);
}

// Where the browsers keep their data. Chromium on Linux follows XDG_CONFIG_HOME when it is an
// absolute path.
std::string BrowserBase(const Browser& browser, platform::System& system) {
#ifdef _WIN32
  const std::string base = system.GetEnv(browser.profiles ? "LOCALAPPDATA" : "APPDATA");
  return base.empty() ? std::string() : platform::ProperPath(base);
#elif defined(__APPLE__)
  (void)browser;
  const std::string home = system.GetEnv("HOME");
  return home.empty() ? std::string() : platform::ProperPath(home) + "Library/Application Support/";
#else
  (void)browser;
  const std::string xdg = system.GetEnv("XDG_CONFIG_HOME");
  if (!xdg.empty() && xdg.front() == '/') return platform::ProperPath(xdg);
  const std::string home = system.GetEnv("HOME");
  return home.empty() ? std::string() : platform::ProperPath(home) + ".config/";
#endif
}

// 0 Default, 1 Profile N, 2 Guest Profile, 3 System Profile.
int ProfileRank(const std::string& name) {
  if (name == "Default") return 0;
  if (name == "Guest Profile") return 2;
  if (name == "System Profile") return 3;
  return 1;
}

bool IsProfileName(const std::string& name) {
  if (name == "Default" || name == "Guest Profile" || name == "System Profile") return true;
  const std::string prefix = "Profile ";
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
  if (name.size() - prefix.size() > 9) return false;  // keeps the number comparable
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(prefix.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

bool ProfileBefore(const std::string& a, const std::string& b) {
  const int rankA = ProfileRank(a), rankB = ProfileRank(b);
  if (rankA != rankB) return rankA < rankB;
  if (rankA != 1) return false;
  const long numberA = std::stol(a.substr(8)), numberB = std::stol(b.substr(8));
  if (numberA != numberB) return numberA < numberB;
  return a < b;  // "Profile 01" and "Profile 1": any fixed order
}

std::vector<std::string> ProfileFolders(const std::string& userData, platform::System& system) {
  std::vector<std::string> names;
  const std::unique_ptr<platform::Folder> folder = system.OpenFolder(userData, "*.*");
  if (!folder) return names;
  platform::FolderEntry entry;
  while (folder->Next(entry)) {
    // A linked profile could lead anywhere, and deleting there would leave the browser's tree.
    if (entry.isDirectory && !entry.isLink && IsProfileName(entry.name)) names.push_back(entry.name);
  }
  std::sort(names.begin(), names.end(), ProfileBefore);
  return names;
}

[[maybe_unused]] std::string Home(platform::System& system) {
  const std::string home = system.GetEnv("HOME");
  return home.empty() ? std::string() : platform::ProperPath(home);
}

// The folders that hold AIR applications' folders, each "<application id>/Local Store/".
std::vector<std::pair<std::string, std::string>> AirParents(platform::System& system) {
#ifdef _WIN32
  const std::string appData = system.GetEnv("APPDATA");
  if (appData.empty()) return {};
  return {{platform::ProperPath(appData), ""}};
#elif defined(__APPLE__)
  const std::string home = Home(system);
  if (home.empty()) return {};
  return {{home + "Library/Preferences/", ""}, {home + "Library/Application Support/", " (Application Support)"}};
#else
  const std::string home = Home(system);
  if (home.empty()) return {};
  return {{home + ".appdata/", ""}};
#endif
}

void AddAirStores(platform::System& system, std::vector<Store>& stores) {
  const std::string localStore = Native("Local Store/");
  for (const auto& [parent, suffix] : AirParents(system)) {
    std::vector<std::string> names;
    if (const std::unique_ptr<platform::Folder> folder = system.OpenFolder(parent, "*.*")) {
      platform::FolderEntry entry;
      while (folder->Next(entry)) {
        // As with profiles: a linked folder could lead anywhere.
        if (entry.isDirectory && !entry.isLink && entry.name != "." && entry.name != "..") names.push_back(entry.name);
      }
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
      const std::string store = parent + name + kSep + localStore;
      if (FolderExists(store + "#SharedObjects" + kSep, system)) {
        stores.push_back({"air/" + name + suffix, "", "", store, StoreKind::kAir});
      }
    }
  }
}

void AddRuffleStores(platform::System& system, std::vector<Store>& stores) {
  std::vector<std::pair<std::string, std::string>> folders = {{"ruffle/native", RuffleFolder(system)}};
#if !defined(_WIN32) && !defined(__APPLE__)
  const std::string home = Home(system);
  if (!home.empty()) folders.push_back({"ruffle/flatpak", home + ".var/app/rs.ruffle.Ruffle/data/ruffle/"});
#endif
  for (const auto& [name, folder] : folders) {
    if (!folder.empty() && FolderExists(folder + "SharedObjects" + kSep, system)) {
      stores.push_back({name, "", "", folder, StoreKind::kRuffle});
    }
  }
}

}  // namespace

const char* StoreKindName(StoreKind kind) {
  switch (kind) {
    case StoreKind::kPlugIn:
      return "plug-in";
    case StoreKind::kBrowser:
      return "browser";
    case StoreKind::kRuffle:
      return "ruffle";
    case StoreKind::kAir:
      return "air";
  }
  return "";
}

std::string PlugInFolder(platform::System& system) {
  std::string plugIn = StandardRoot(system);
  plugIn.pop_back();
  plugIn.erase(plugIn.find_last_of(kSep) + 1);
  return plugIn;
}

std::string RuffleFolder(platform::System& system) {
#ifdef _WIN32
  const std::string local = system.GetEnv("LOCALAPPDATA");
  return local.empty() ? std::string() : platform::ProperPath(local) + "ruffle\\";
#elif defined(__APPLE__)
  const std::string home = Home(system);
  return home.empty() ? std::string() : home + "Library/Application Support/ruffle/";
#else
  // Ruffle follows XDG_DATA_HOME when it is an absolute path.
  const std::string xdg = system.GetEnv("XDG_DATA_HOME");
  if (!xdg.empty() && xdg.front() == '/') return platform::ProperPath(xdg) + "ruffle/";
  const std::string home = Home(system);
  return home.empty() ? std::string() : home + ".local/share/ruffle/";
#endif
}

std::vector<Store> FindStores(platform::System& system) {
  std::vector<Store> stores;
  // The folder that holds the window's "#SharedObjects" root.
  const std::string plugIn = PlugInFolder(system);
  if (plugIn.size() > 1 && FolderExists(plugIn, system)) stores.push_back({"plug-in", "", "", plugIn, StoreKind::kPlugIn});

  for (const Browser& browser : kBrowsers) {
    const std::string base = BrowserBase(browser, system);
    if (base.empty()) continue;
    const std::string home = base + Native(browser.folder) + kSep;
    if (!browser.profiles) {
      const std::string folder = home + Native(kPepperStore) + kSep;
      if (FolderExists(folder, system)) stores.push_back({browser.key, browser.name, "", folder, StoreKind::kBrowser});
      continue;
    }
    for (const std::string& profile : ProfileFolders(home, system)) {
      const std::string folder = home + profile + kSep + Native(kPepperStore) + kSep;
      if (FolderExists(folder, system)) {
        stores.push_back({std::string(browser.key) + "/" + profile, browser.name, profile, folder, StoreKind::kBrowser});
      }
    }
  }
  AddRuffleStores(system, stores);
  AddAirStores(system, stores);
  return stores;
}

}  // namespace vesk::discovery
