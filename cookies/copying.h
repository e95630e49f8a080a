#pragma once

// Copying a cookie file to a place of its own: written beside its target under a temporary name,
// flushed, compared with the source byte for byte, then renamed into place without replacing
// anything; the source is only read.

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::cookies {

// Larger files are not copied: a cookie is kilobytes, and the copy is held in memory to compare.
inline constexpr std::size_t kMaxCopiedBytes = std::size_t{64} << 20;

enum class CopyOutcome {
  kCopied,    // the new file is in place
  kReplaced,  // the old file is now <name>.bak, the new one in its place
  kExists,    // the target exists and was left alone
  kFailed,    // nothing changed at the target; `what` and `error` say why
};

struct CopyResult {
  CopyOutcome outcome = CopyOutcome::kFailed;
  std::string what;  // for kFailed: what could not be done ("cannot write the copy", ...)
  int error = 0;     // the platform's code for it, 0 when `what` says everything
};

// Where a copy goes: the folders below `base` (created as needed, never through a link) and the
// file's name in the last of them.
struct CopyTarget {
  std::string base;
  std::vector<std::string> folders;
  std::string name;
};

// Copies the file `source` to `target`. An existing target is left alone unless `replace`, which
// first moves it to "<name>.bak" (and fails rather than overwrite a .bak). Whatever fails, no
// temporary file is left behind and nothing at the target is overwritten.
CopyResult CopyCookieFile(const std::string& source, const CopyTarget& target, bool replace, platform::System& system);

// The words for the platform's own failure codes (kErrorExists, ...); nullptr for a system's code.
const char* PlatformErrorText(int error);

}  // namespace vesk::cookies
