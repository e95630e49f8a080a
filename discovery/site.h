#pragma once

// What a listed file is: a site's cookie, or one of the player's own settings files, and the
// site it belongs to.

#include <string>
#include <string_view>

namespace vesk::discovery {

enum class FileKind { kCookie, kSettings };

struct FileClass {
  FileKind kind = FileKind::kCookie;
  // A cookie: the folder below "#SharedObjects/<random>/". A settings file: the folder below
  // "macromedia.com/support/flashplayer/sys/" without its leading "#" ("" for the player's global
  // settings.sol). Empty when the path holds neither.
  std::string site;
};

// Folder names are matched without regard to case. The first of "#SharedObjects" and the
// "macromedia.com/support/flashplayer/sys" folders met from the start of the path decides, so a
// site that happens to be named macromedia.com inside "#SharedObjects" stays a cookie.
FileClass ClassifyPath(std::string_view path);

const char* FileKindName(FileKind kind);  // "cookie" or "settings"

}  // namespace vesk::discovery
