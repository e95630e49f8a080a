#pragma once

// The recursive folder scan: every folder and file below a start folder, as full paths, in
// pre-order and in the order the system delivers each folder's entries.

#include <string>
#include <vector>

#include "platform/platform.h"

namespace vesk::discovery {

// Folder entries are ">>" + path, file entries four blanks + path. The last slot is always an
// empty spare slot: a scan that recorded k entries leaves k + 1 slots.
using EntryList = std::vector<std::string>;

inline constexpr const char* kFolderMarker = ">>";
inline constexpr const char* kFileMarker = "    ";
inline constexpr const char* kScanPattern = "*.*";

// Records everything below `path` (with or without a trailing separator) into `list`. A folder
// that cannot be enumerated contributes nothing. Links to folders are recorded, not entered, and
// a folder met again below itself is not entered twice, so the scan always ends.
void ScanFolder(std::string path, const std::string& pattern, EntryList& list,
                platform::System& system);

}  // namespace vesk::discovery
