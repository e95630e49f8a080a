#pragma once

// Which listed files a scripted clean-up deletes: site patterns, a keep-list, and the player's
// settings files left alone unless asked for.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/site.h"

namespace vesk::cookies {

// `*` matches any run of characters, `?` any one byte; everything else stands for itself, ASCII
// letters in any case. "[" and "]" are plain characters: a site can be an IPv6 address in
// brackets, and one kind of wildcard is enough for host names.
bool GlobMatch(std::string_view pattern, std::string_view text);

// One pattern a line. Blanks, tabs and a CR around a line are dropped; blank lines and comments
// are skipped. A comment is a line that is "#" alone or "#" followed by a blank: a pattern may
// itself begin with "#" ("#localWithNet" is the site of local movies).
std::vector<std::string> ParseKeepList(std::string_view text);

// One file of a listing, with the scan root it was found below.
struct ListedFile {
  std::string root;
  std::string path;
  discovery::FileKind kind = discovery::FileKind::kCookie;
  std::optional<std::string> site;  // as ClassifyPath gives it; patterns see a missing one as ""
};

struct SelectionRules {
  std::vector<std::string> sites;  // patterns; a file matching any of them is selected
  bool all = false;                // every file, instead of `sites`
  std::vector<std::string> keep;   // patterns; a matching file is never selected
  bool includeSettings = false;    // settings files are selected only with this
};

// The indexes of the chosen files in `listing`, in listing order. Only what the listing holds can
// be chosen; a kept site wins over every other rule.
std::vector<std::size_t> SelectFiles(const std::vector<ListedFile>& listing, const SelectionRules& rules);

}  // namespace vesk::cookies
