#pragma once

// What a listed file is: a site's cookie, or one of the player's own settings files, and the
// site it belongs to. The one rule for a cookie's site: every command and the window ask here.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vesk::discovery {

enum class FileKind { kCookie, kSettings };

// The store layout a file lies in.
enum class Layout {
  kNone,         // no known layout: no site
  kFlashPlayer,  // "#SharedObjects/<random>/<site>/<movie path>/<name>.sol" (plug-in and browsers)
  kAir,          // "<application id>/Local Store/#SharedObjects/<movie>.swf/<name>.sol"
  kRuffle,       // "ruffle/SharedObjects/<site>/<movie path>/<name>.sol", no random folder
  kSettings,     // "macromedia.com/support/flashplayer/sys/[#<site>/]<name>.sol"
};

struct FileClass {
  FileKind kind = FileKind::kCookie;
  Layout layout = Layout::kNone;
  // The site: the folder below "#SharedObjects/<random>/" or Ruffle's "SharedObjects/"; an AIR
  // application's id (its folder's name without a ".<publisher id>" suffix); for a settings file
  // the folder below "sys/" without its leading "#". nullopt where the path names none (the
  // player's global settings.sol, a file outside every layout, an empty folder name).
  std::optional<std::string> site;
  // Flash Player and Ruffle layouts: the byte offset in the path where the site folder begins,
  // so that the part from there on is the same in both; npos otherwise.
  std::size_t siteAt = std::string_view::npos;
};

// Folder names are matched without regard to case. The first layout folder met from the start of
// the path decides, so a site that happens to be named macromedia.com inside "#SharedObjects"
// stays a cookie.
FileClass ClassifyPath(std::string_view path);

// An AIR application's folder name without the ".<publisher id>" that older runtimes appended
// (40 hexadecimal digits, optionally followed by ".1").
std::string AirApplicationId(std::string_view folderName);

const char* FileKindName(FileKind kind);  // "cookie" or "settings"

}  // namespace vesk::discovery
