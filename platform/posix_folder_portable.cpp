// Folder enumeration on any POSIX system: readdir over a descriptor opened without following a
// link, and every folder's identity from fstat.

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <memory>

#include "platform/posix_folder.h"

namespace vesk::platform::posix {
namespace {

class PortableFolder final : public Folder {
 public:
  // Takes ownership of `fd`, an open descriptor of a folder.
  static std::unique_ptr<Folder> FromDescriptor(int fd) {
    const std::optional<FolderId> id = FolderIdOf(fd);
    DIR* stream = id ? fdopendir(fd) : nullptr;
    if (stream == nullptr) {
      close(fd);
      return nullptr;
    }
    return std::unique_ptr<Folder>(new PortableFolder(stream, *id));
  }

  ~PortableFolder() override { closedir(stream_); }  // closes the descriptor too
  PortableFolder(const PortableFolder&) = delete;
  PortableFolder& operator=(const PortableFolder&) = delete;

  bool Next(FolderEntry& entry) override {
    const dirent* record = readdir(stream_);
    if (record == nullptr) return false;  // end, or a read error: either way the listing is over
    entry.name.assign(record->d_name);
    entry.node = static_cast<std::uint64_t>(record->d_ino);
    SetKind(dirfd(stream_), record->d_type, entry);
    return true;
  }

  std::optional<FolderId> Id() const override { return id_; }

  std::unique_ptr<Folder> OpenChild(const FolderEntry& entry, const std::string& /*fullPath*/,
                                    const std::string& /*pattern*/) override {
    // Relative to this folder: no path length limit, and a link swapped in meanwhile is refused.
    const int fd = openat(dirfd(stream_), entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return FromDescriptor(fd);
  }

 private:
  PortableFolder(DIR* stream, FolderId id) : stream_(stream), id_(id) {}

  DIR* stream_;
  FolderId id_;
};

}  // namespace

std::unique_ptr<Folder> FolderFromDescriptor(int fd, const std::string& /*path*/) {
  return PortableFolder::FromDescriptor(fd);
}

}  // namespace vesk::platform::posix
