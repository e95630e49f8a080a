#pragma once

// The folder enumeration of the POSIX build, behind posix.cpp. Two implementations, chosen by the
// build: posix_folder_linux.cpp reads the kernel's records directly (getdents64);
// posix_folder_portable.cpp keeps to POSIX (readdir, openat), for every other system and, with
// VESK_PORTABLE_POSIX, on Linux too, so that it is built and tested there.

#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace vesk::platform::posix {

// The enumeration of the open descriptor `fd` of the folder `path` (a scan's root, ending with the
// separator), which it takes over; nullptr (and `fd` closed) when it is no folder.
std::unique_ptr<Folder> FolderFromDescriptor(int fd, const std::string& path);

// Shared by both (posix.cpp):

// The identity of the open descriptor `fd`; nullopt when it is no folder.
std::optional<FolderId> FolderIdOf(int fd);

// Sets the directory and link flags of `entry`, a name in the open folder `folder`, from the
// type its record gives (a DT_ value), asking the system where the record tells no type.
void SetKind(int folder, unsigned char type, FolderEntry& entry);

}  // namespace vesk::platform::posix
