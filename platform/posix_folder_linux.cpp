// Folder enumeration on Linux: the kernel's directory records straight from getdents64.
//
// A folder's identity serves only to stop at a folder met again below itself. Without a mount on
// the way that cannot happen, and the device changes only at mount points; so a subfolder's
// identity is its parent's device and the inode its record gives, and only a subfolder that is a
// mount point (by the mount table, read once when the scan's root is opened) is asked with fstat.
// That saves one system call per folder.
//
// The file systems most folders live on fill the caller's buffer as long as records remain, so
// a read that leaves room for one more record of the longest name is the listing's end, and
// the read that would return nothing is saved too. With system calls as dear as opening a
// folder, those two make a scan a third cheaper.

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>
#include <unordered_set>

#include "platform/posix_folder.h"

namespace vesk::platform::posix {
namespace {

constexpr std::size_t kListingBuffer = 32 * 1024;
// The longest record getdents64 gives: header, a 255-byte name and its NUL, to 8 bytes.
constexpr std::size_t kLongestRecord = (offsetof(dirent64, d_name) + 256 + 7) / 8 * 8;

// Whether the file system of the open folder `fd` fills a listing buffer while records remain
// (their readdir stops only when the next record does not fit): ext2/3/4, tmpfs, Btrfs, XFS.
// Others, network and FUSE file systems among them, may return a part and more later.
bool FillsListings(int fd) {
  struct statfs info {};
  if (fstatfs(fd, &info) != 0) return false;
  switch (static_cast<unsigned long>(info.f_type)) {
    case EXT4_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

// The mount points below a scan's root, as the scan names them: the root as it was given, and
// the paths below it.
class MountPoints {
 public:
  // Read from /proc/self/mountinfo for the open root `fd`, which the scan names `root` (ending
  // with the separator); nullptr when the table or the root's place cannot be read, and then
  // every folder is asked for its identity.
  static std::shared_ptr<const MountPoints> Below(int fd, const std::string& root);

  // Whether `fullPath` may be a mount point.
  bool MayBeMountPoint(const std::string& fullPath) const {
    if (below_.empty()) return false;
    if (fullPath.compare(0, root_.size(), root_) != 0) return true;
    return below_.count(std::string_view(fullPath).substr(root_.size())) != 0;
  }

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::string root_;
  std::unordered_set<std::string, Hash, std::equal_to<>> below_;
};

// A mount point as the table writes it: blank, tab, line feed and backslash as three octal digits.
std::string Unescape(const std::string& field) {
  std::string path;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
        field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' && field[i + 3] <= '7') {
      path += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
      i += 3;
    } else {
      path += field[i];
    }
  }
  return path;
}

std::shared_ptr<const MountPoints> MountPoints::Below(int fd, const std::string& root) {
  // Where the root really is: the table names mount points without links.
  char link[64];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  std::string place(4096, '\0');
  const ssize_t length = readlink(link, place.data(), place.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= place.size() || place[0] != '/') return nullptr;
  place.resize(static_cast<std::size_t>(length));
  if (place.back() != '/') place += '/';

  // This thread's, which a thread that left the process's mount namespace has to itself.
  std::ifstream table("/proc/thread-self/mountinfo");
  if (!table) return nullptr;
  auto mounts = std::make_shared<MountPoints>();
  mounts->root_ = root;
  std::string line;
  while (std::getline(table, line)) {
    // ID, parent ID, major:minor, root within its file system, mount point, ...
    std::istringstream fields(line);
    std::string skipped, point;
    fields >> skipped >> skipped >> skipped >> skipped >> point;
    if (!fields) return nullptr;
    point = Unescape(point);
    if (point.size() > place.size() && point.compare(0, place.size(), place) == 0) {
      mounts->below_.insert(point.substr(place.size()));
    }
  }
  return mounts;
}

// One record of a getdents64 buffer.
struct Record {
  const char* name;
  std::uint64_t node;
  unsigned char type;
  unsigned short length;
};

Record RecordAt(const char* at) {
  Record record{at + offsetof(dirent64, d_name), 0, static_cast<unsigned char>(at[offsetof(dirent64, d_type)]), 0};
  std::memcpy(&record.node, at + offsetof(dirent64, d_ino), sizeof record.node);
  std::memcpy(&record.length, at + offsetof(dirent64, d_reclen), sizeof record.length);
  return record;
}

class LinuxFolder final : public Folder {
 public:
  LinuxFolder(int fd, FolderId id, std::shared_ptr<const MountPoints> mounts, bool fills)
      : fd_(fd), id_(id), mounts_(std::move(mounts)), fills_(fills) {}
  ~LinuxFolder() override { close(fd_); }
  LinuxFolder(const LinuxFolder&) = delete;
  LinuxFolder& operator=(const LinuxFolder&) = delete;

  bool Next(FolderEntry& entry) override {
    if (at_ == filled_ && !Fill()) return false;
    const Record record = RecordAt(buffer_.get() + at_);
    at_ += record.length;
    entry.name.assign(record.name);
    entry.node = record.node;
    SetKind(fd_, record.type, entry);
    return true;
  }

  std::optional<FolderId> Id() const override { return id_; }

  std::unique_ptr<Folder> OpenChild(const FolderEntry& entry, const std::string& fullPath,
                                    const std::string& /*pattern*/) override {
    // Relative to this folder: no path length limit, and a link swapped in meanwhile is refused.
    const int fd = openat(fd_, entry.name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    if (entry.node != 0 && mounts_ && !mounts_->MayBeMountPoint(fullPath)) {
      return std::make_unique<LinuxFolder>(fd, FolderId{id_.device, entry.node}, mounts_, fills_);
    }
    const std::optional<FolderId> id = FolderIdOf(fd);
    if (!id) {
      close(fd);
      return nullptr;
    }
    return std::make_unique<LinuxFolder>(fd, *id, mounts_, id->device == id_.device ? fills_ : FillsListings(fd));
  }

 private:
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
    // Nothing: the end, or a read error; either way the listing is over.
    if (got <= 0) {
      ended_ = true;
      return false;
    }
    ended_ = fills_ && filled_ + kLongestRecord <= kListingBuffer;
    return true;
  }

  int fd_;
  FolderId id_;
  std::shared_ptr<const MountPoints> mounts_;
  bool fills_;  // a read that leaves room for another record is the last
  std::unique_ptr<char[]> buffer_;
  std::size_t at_ = 0, filled_ = 0;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<Folder> FolderFromDescriptor(int fd, const std::string& path) {
  const std::optional<FolderId> id = FolderIdOf(fd);
  if (!id) {
    close(fd);
    return nullptr;
  }
  return std::make_unique<LinuxFolder>(fd, *id, MountPoints::Below(fd, path), FillsListings(fd));
}

}  // namespace vesk::platform::posix
