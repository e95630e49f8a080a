// The walk that reads one folder at a time on the calling thread: the reference the parallel
// walk in scan.cpp must match entry for entry.

#include "discovery/scan.h"

#include <algorithm>
#include <memory>

namespace vesk::discovery {

void ScanFolderSequential(std::string path, const std::string& pattern, EntryList& list,
                          platform::System& system) {
  if (list.empty() || !list.back().empty()) list.push_back({});
  path = platform::ProperPath(std::move(path));

  struct Level {
    std::unique_ptr<platform::Folder> folder;
    std::string path;  // ends with the separator
  };
  // An explicit stack rather than recursion: a very deep tree must not exhaust the call stack.
  std::vector<Level> levels;
  auto root = system.OpenFolder(path, pattern);
  if (!root) return;
  levels.push_back({std::move(root), std::move(path)});

  platform::FolderEntry entry;
  while (!levels.empty()) {
    Level& level = levels.back();
    if (!level.folder->Next(entry)) {
      levels.pop_back();  // closes this level's enumeration
      continue;
    }
    if (!entry.isDirectory) {
      list.Record(kFileMarker, level.path, entry.name);
      continue;
    }
    if (entry.name == "." || entry.name == "..") continue;
    list.Record(kFolderMarker, level.path, entry.name);
    if (entry.isLink) continue;

    std::string childPath = level.path + entry.name;
    auto child = level.folder->OpenChild(entry, childPath, pattern);
    if (!child) continue;
    if (const auto id = child->Id()) {
      const bool onDescentPath = std::any_of(levels.begin(), levels.end(), [&](const Level& l) {
        return l.folder->Id() == id;
      });
      if (onDescentPath) continue;
    }
    childPath += platform::kSeparator;
    levels.push_back({std::move(child), std::move(childPath)});  // `level` is invalid from here
  }
}

}  // namespace vesk::discovery
