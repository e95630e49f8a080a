#pragma once

// The recursive folder scan: every folder and file below a start folder, as full paths, in
// pre-order and in the order the system delivers each folder's entries.

#include <cstddef>
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

// How the scan spreads its reading: `workers` threads read folders ahead of the one being
// recorded, at most `window` folders at a time (being read or read and not yet recorded).
// Reading waits on the disk, so a cold cache gains from more workers than cores. From a warm
// cache the calling thread alone is faster, so with `onlyFromDisk` the workers start only once
// the scan has made the system read from storage (or where that cannot be told).
struct ScanOptions {
  // Chosen by timing cold scans of 220,000 entries on two busy cores: 2 workers were slower,
  // 4 to 12 lay within each other's spread; the window made no clear difference from 32 up.
  int workers = 8;
  std::size_t window = 128;
  bool onlyFromDisk = true;
};

// Records everything below `path` (with or without a trailing separator) into `list`. A folder
// that cannot be enumerated contributes nothing. Links to folders are recorded, not entered, and
// a folder met again below itself is not entered twice, so the scan always ends.
// The call returns when the whole tree is recorded, and no thread it started outlives it; the
// folders of `system` are opened and read on those threads as well as on the calling one.
void ScanFolder(std::string path, const std::string& pattern, EntryList& list,
                platform::System& system, const ScanOptions& options = {});

// The same scan reading one folder at a time on the calling thread alone: the reference that
// ScanFolder must match entry for entry. For tests and the benchmark; the program uses ScanFolder.
void ScanFolderSequential(std::string path, const std::string& pattern, EntryList& list,
                          platform::System& system);

}  // namespace vesk::discovery
