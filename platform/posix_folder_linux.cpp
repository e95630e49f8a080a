// Folder enumeration on Linux: the kernel's directory records straight from getdents64, and
// openat2 for the read-ahead hint.

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <memory>

#include "platform/posix_folder.h"

namespace vesk::platform::posix {
namespace {

constexpr std::size_t kListingBuffer = 32 * 1024;

// One record of a getdents64 buffer.
struct Record {
  const char* name;
  unsigned char type;
  unsigned short length;
};

Record RecordAt(const char* at) {
  Record record{at + offsetof(dirent64, d_name), static_cast<unsigned char>(at[offsetof(dirent64, d_type)]), 0};
  std::memcpy(&record.length, at + offsetof(dirent64, d_reclen), sizeof record.length);
  return record;
}

class LinuxFolder final : public Folder {
 public:
  // Takes ownership of `fd`, an open descriptor of a folder.
  static std::unique_ptr<Folder> FromDescriptor(int fd) {
    const std::optional<FolderId> id = FolderIdOf(fd);
    if (!id) {
      close(fd);
      return nullptr;
    }
    return std::unique_ptr<Folder>(new LinuxFolder(fd, *id));
  }

  ~LinuxFolder() override { close(fd_); }
  LinuxFolder(const LinuxFolder&) = delete;
  LinuxFolder& operator=(const LinuxFolder&) = delete;

  bool Next(FolderEntry& entry) override {
    if (at_ == filled_ && !Fill()) return false;
    const Record record = RecordAt(buffer_.get() + at_);
    at_ += record.length;
    entry.name.assign(record.name);
    SetKind(fd_, record.type, entry);
    return true;
  }

  std::optional<FolderId> Id() const override { return id_; }

  std::unique_ptr<Folder> OpenChild(const std::string& name, const std::string& /*fullPath*/,
                                    const std::string& /*pattern*/) override {
    // Relative to this folder: no path length limit, and a link swapped in meanwhile is refused.
    const int fd = openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return FromDescriptor(fd);
  }

 private:
  LinuxFolder(int fd, FolderId id) : fd_(fd), id_(id) {}

  // The kernel's records straight from getdents64: opendir's stream would cost an fstat and two
  // fcntl calls more per folder, and the scan opens every folder of the tree.
  bool Fill() {
    if (ended_) return false;
    if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kListingBuffer);
    ssize_t got = 0;
    do {
      got = getdents64(fd_, buffer_.get(), kListingBuffer);
    } while (got < 0 && errno == EINTR);
    at_ = 0;
    filled_ = got > 0 ? static_cast<std::size_t>(got) : 0;
    ended_ = got <= 0;  // end, or a read error: either way the listing is over
    return !ended_;
  }

  int fd_;
  FolderId id_;
  std::unique_ptr<char[]> buffer_;
  std::size_t at_ = 0, filled_ = 0;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<Folder> FolderFromDescriptor(int fd) { return LinuxFolder::FromDescriptor(fd); }

std::vector<std::string> Prefetch(const std::string& folder) {
  std::vector<std::string> subfolders;
  // No link anywhere on the path, as when the scan opens folder by folder with O_NOFOLLOW.
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS;
  const int fd = static_cast<int>(syscall(SYS_openat2, AT_FDCWD, folder.c_str(), &how, sizeof how));
  if (fd < 0) return subfolders;
  thread_local std::unique_ptr<char[]> buffer = std::make_unique_for_overwrite<char[]>(kListingBuffer);
  ssize_t got = 0;
  while ((got = getdents64(fd, buffer.get(), kListingBuffer)) > 0) {
    for (ssize_t at = 0; at < got;) {
      const Record record = RecordAt(buffer.get() + at);
      at += record.length;
      if (record.type == DT_DIR && std::strcmp(record.name, ".") != 0 && std::strcmp(record.name, "..") != 0) {
        subfolders.emplace_back(record.name);
      }
    }
  }
  close(fd);
  return subfolders;
}

}  // namespace vesk::platform::posix
