#pragma once

// The recursive folder scan: every folder and file below a start folder, as full paths, in
// pre-order and in the order the system delivers each folder's entries.

#include <cstddef>
#include <string>

#include "discovery/entry_list.h"
#include "platform/platform.h"

namespace vesk::discovery {

// EntryList (entry_list.h): folder entries are ">>" + path, file entries four blanks + path. The
// last slot is always an empty spare slot: a scan that recorded k entries leaves k + 1 slots.

inline constexpr const char* kFolderMarker = ">>";
inline constexpr const char* kFileMarker = "    ";
inline constexpr const char* kScanPattern = "*.*";

// How the scan spreads its work over threads. Each thread walks a part of the tree (a subfolder
// another one has not entered yet) on its own; the parts are joined in order at the end.
struct ScanOptions {
  // Threads beside the calling one once the scan has made the system read from storage, or where
  // that cannot be told: reading waits on the disk, so more threads than cores gain. On a tree in
  // the cache, one per further processor the process may use, and never more than this.
  int workers = 8;
  // Folders the calling thread walks alone before any other thread starts: a small tree is done
  // sooner than a thread would start.
  std::size_t aloneFolders = 32;
  // False: `workers` threads once the calling thread has walked `aloneFolders`, cache or not.
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
