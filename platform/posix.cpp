#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <stdio.h>  // renameat2's flags
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <thread>

#include "base/build_config.h"
#include "platform/platform.h"
#include "platform/posix_folder.h"

namespace vesk::platform {

namespace posix {

std::optional<FolderId> FolderIdOf(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

namespace {

void MarkLinkToFolder(int folder, FolderEntry& entry) {
  struct stat target {};
  if (fstatat(folder, entry.name.c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode)) {
    entry.isDirectory = true;
    entry.isLink = true;
  }
}

}  // namespace

void SetKind(int folder, unsigned char type, FolderEntry& entry) {
  entry.isDirectory = false;
  entry.isLink = false;
  switch (type) {
    case DT_DIR:
      entry.isDirectory = true;
      return;
    case DT_LNK:
      MarkLinkToFolder(folder, entry);
      return;
    case DT_UNKNOWN: {  // some file systems report no type
      struct stat st {};
      if (fstatat(folder, entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
      if (S_ISDIR(st.st_mode)) {
        entry.isDirectory = true;
      } else if (S_ISLNK(st.st_mode)) {
        MarkLinkToFolder(folder, entry);
      }
      return;
    }
    default:
      return;
  }
}

}  // namespace posix

namespace {

std::string& StartName() {
  static std::string name = "vesk";
  return name;
}

// A descriptor closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

FileDetails::Type TypeOf(mode_t mode) {
  if (S_ISREG(mode)) return FileDetails::Type::kFile;
  if (S_ISDIR(mode)) return FileDetails::Type::kFolder;
  if (S_ISLNK(mode)) return FileDetails::Type::kLink;
  return FileDetails::Type::kOther;
}

Result WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t wrote = write(fd, data, size);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return {errno};
    }
    data += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return {};
}

class PosixNewFile final : public NewFile {
 public:
  explicit PosixNewFile(int fd) : fd_(fd) {}
  ~PosixNewFile() override {
    if (fd_ >= 0) close(fd_);
  }
  PosixNewFile(const PosixNewFile&) = delete;
  PosixNewFile& operator=(const PosixNewFile&) = delete;

  Result Write(const std::string& bytes) override {
    if (fd_ < 0) return {EBADF};
    return WriteAll(fd_, bytes.data(), bytes.size());
  }

  Result Finish() override {
    if (fd_ < 0) return {EBADF};
    // A full disk may show only here, on file systems that allocate late.
    const int synced = fsync(fd_) == 0 ? 0 : errno;
    const int closed = close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    return {synced != 0 ? synced : closed};
  }

 private:
  int fd_;
};

class PosixTargetFolder final : public TargetFolder {
 public:
  explicit PosixTargetFolder(int fd) : fd_(fd) {}
  ~PosixTargetFolder() override { close(fd_); }
  PosixTargetFolder(const PosixTargetFolder&) = delete;
  PosixTargetFolder& operator=(const PosixTargetFolder&) = delete;

  Result OpenOrCreateChild(const std::string& name, std::unique_ptr<TargetFolder>& child) override {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const int fd = openat(fd_, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (fd >= 0) {
        child = std::make_unique<PosixTargetFolder>(fd);
        return {};
      }
      const int error = errno;
      if (error != ENOENT) return {Refusal(name, error)};
      // Someone else may create it meanwhile: then it is opened as it is.
      if (mkdirat(fd_, name.c_str(), 0777) != 0 && errno != EEXIST) return {errno};
    }
    return {ENOENT};
  }

  std::optional<FileDetails::Type> Look(const std::string& name, Result& error) override {
    error = {};
    struct stat st {};
    if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return TypeOf(st.st_mode);
    if (errno != ENOENT) error = {errno};
    return std::nullopt;
  }

  Result CreateFile(const std::string& name, std::unique_ptr<NewFile>& file) override {
    const int fd = openat(fd_, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) return {errno == EEXIST ? kErrorExists : errno};
    file = std::make_unique<PosixNewFile>(fd);
    return {};
  }

  Result ReadFile(const std::string& name, std::size_t maxBytes, std::string& bytes) override {
    bytes.clear();
    Descriptor fd(openat(fd_, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.Get() < 0) return {errno == ELOOP ? kErrorLinkInTheWay : errno};
    struct stat st {};
    if (fstat(fd.Get(), &st) != 0) return {errno};
    if (!S_ISREG(st.st_mode)) return {kErrorNotAFile};
    bytes.resize(std::min(maxBytes, static_cast<std::size_t>(st.st_size) + 1));
    std::size_t have = 0;
    while (have < bytes.size()) {
      const ssize_t got = read(fd.Get(), bytes.data() + have, bytes.size() - have);
      if (got < 0) {
        if (errno == EINTR) continue;
        return {errno};
      }
      if (got == 0) break;
      have += static_cast<std::size_t>(got);
    }
    bytes.resize(have);
    return {};
  }

  Result MoveNoReplace(const std::string& from, const std::string& to) override {
    int error = 0;
#if defined(SYS_renameat2) && defined(RENAME_NOREPLACE)
    if (syscall(SYS_renameat2, fd_, from.c_str(), fd_, to.c_str(), RENAME_NOREPLACE) == 0) return Durable();
    error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP) return {error == EEXIST ? kErrorExists : error};
#endif
    // Without renameat2: a hard link fails on an existing name as well, then the old name goes.
    if (linkat(fd_, from.c_str(), fd_, to.c_str(), 0) != 0) {
      error = errno;
      return {error == EEXIST ? kErrorExists : error};
    }
    if (unlinkat(fd_, from.c_str(), 0) != 0) return {errno};
    return Durable();
  }

  Result Remove(const std::string& name) override {
    if (unlinkat(fd_, name.c_str(), 0) != 0) return {errno};
    return {};
  }

 private:
  // What refused opening the folder `name`: a link, or something else in its place.
  int Refusal(const std::string& name, int error) const {
    if (error == ELOOP || error == EMLINK) return kErrorLinkInTheWay;
    if (error == ENOTDIR) {
      struct stat st {};
      if (fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)) return kErrorLinkInTheWay;
      return kErrorNotAFolder;
    }
    return error;
  }

  // The new name is on disk once the folder is flushed.
  Result Durable() {
    if (fsync(fd_) != 0 && errno != EINVAL) return {errno};
    return {};
  }

  int fd_;
};

class PosixSystem final : public HeadReadingSystem<PosixSystem> {
 public:
  PosixSystem() {
    // A scan holds one descriptor per level of the tree; allow deep trees as far as the
    // system lets us.
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
      limit.rlim_cur = limit.rlim_max;
      setrlimit(RLIMIT_NOFILE, &limit);
    }
  }

  std::string GetEnv(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    return value == nullptr ? std::string() : std::string(value);
  }

  std::unique_ptr<Folder> OpenFolder(const std::string& folder, const std::string& /*pattern*/) override {
    // Every name matches "*.*" here, so the pattern needs no translation. Links on the way to
    // the root are followed, as for any path the user names.
    if (folder.empty()) return nullptr;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return posix::FolderFromDescriptor(fd, folder);
  }

  template <class Bytes>
  Result ReadHead(const std::string& path, std::size_t maxBytes, Bytes& bytes) {
    bytes.clear();
    // Look before opening: opening a device or FIFO can block or have side effects.
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {errno};
    if (!S_ISREG(st.st_mode)) return {S_ISDIR(st.st_mode) ? EISDIR : EINVAL};
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return {errno};
    // The name may have been replaced meanwhile.
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      close(fd);
      return {EINVAL};
    }
    const auto expected = static_cast<std::size_t>(st.st_size);
    // One byte to spare, so that the read which finds the end needs no larger buffer.
    bytes.resize(std::min(maxBytes, expected > 0 ? expected + 1 : std::size_t{4096}));
    std::size_t have = 0;
    int error = 0;
    while (have < maxBytes) {
      if (have == bytes.size()) bytes.resize(std::min(maxBytes, bytes.size() * 2));
      const ssize_t got = read(fd, bytes.data() + have, bytes.size() - have);
      if (got < 0) {
        if (errno == EINTR) continue;
        error = errno;
        break;
      }
      if (got == 0) break;
      have += static_cast<std::size_t>(got);
    }
    close(fd);
    bytes.resize(have);
    return {error};
  }

  std::optional<std::int64_t> FileLength(const std::string& path) override {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
  }

  std::optional<FileStatus> GetFileStatus(const std::string& path) override {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return FileStatus{static_cast<std::int64_t>(st.st_size), static_cast<std::int64_t>(st.st_mtime)};
  }

  Result CheckFolder(const std::string& folder) override {
    if (folder.empty()) return {ENOENT};
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {errno};
    close(fd);
    return {};
  }

  RemoveResult RemoveFileBelow(const std::string& root, const std::string& path) override {
    const std::optional<PathBelow> below = SplitBelow(root, path);
    if (!below) return {Removal::kPathChanged};
    // The root as the scan opened it; every folder below it by name, refusing links.
    int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return {Removal::kSystemError, errno};
    for (const std::string& name : below->folders) {
      const int child = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      const int error = errno;
      close(folder);
      if (child < 0) return OnTheWay(error);
      folder = child;
    }
    const RemoveResult result = RemoveIn(folder, below->file);
    close(folder);
    return result;
  }

  std::optional<FileDetails> GetFileDetails(const std::string& path) override {
    FileDetails details;
#if defined(STATX_BTIME)
    struct statx sx {};
    if (statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
      details.type = TypeOf(sx.stx_mode);
      details.node = sx.stx_ino;
      details.mode = sx.stx_mode & 07777;
      details.uid = sx.stx_uid;
      details.gid = sx.stx_gid;
      details.size = static_cast<std::int64_t>(sx.stx_size);
      if (sx.stx_mask & STATX_ATIME) details.accessed = sx.stx_atime.tv_sec;
      if (sx.stx_mask & STATX_MTIME) details.modified = sx.stx_mtime.tv_sec;
      if (sx.stx_mask & STATX_CTIME) details.changed = sx.stx_ctime.tv_sec;
      if (sx.stx_mask & STATX_BTIME) details.created = sx.stx_btime.tv_sec;
      return details;
    }
    if (errno != ENOSYS) return std::nullopt;
#endif
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return std::nullopt;
    details.type = TypeOf(st.st_mode);
    details.node = static_cast<std::uint64_t>(st.st_ino);
    details.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
    details.uid = static_cast<std::uint32_t>(st.st_uid);
    details.gid = static_cast<std::uint32_t>(st.st_gid);
    details.size = static_cast<std::int64_t>(st.st_size);
    details.accessed = static_cast<std::int64_t>(st.st_atime);
    details.modified = static_cast<std::int64_t>(st.st_mtime);
    details.changed = static_cast<std::int64_t>(st.st_ctime);
    return details;
  }

  Result OpenTargetBase(const std::string& folder, std::unique_ptr<TargetFolder>& base) override {
    if (folder.empty()) return {ENOENT};
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return {errno};
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return {errno == ENOTDIR ? kErrorNotAFolder : errno};
    base = std::make_unique<PosixTargetFolder>(fd);
    return {};
  }

  std::string ExecutableName() override { return BaseNameWithoutExtension(StartName()); }

  Version ProgramVersion() override {
    return {build::kVersionMajor, build::kVersionMinor, build::kVersionRevision};
  }

 private:
  // A folder on the way that cannot be opened: a link (ELOOP, or EMLINK on the BSDs) or something
  // that is no longer a folder means the path changed. A missing one is a failure, not "gone":
  // the file's own folder was never looked into.
  static RemoveResult OnTheWay(int error) {
    if (error == ELOOP || error == EMLINK || error == ENOTDIR) return {Removal::kPathChanged};
    return {Removal::kSystemError, error};
  }

  static RemoveResult RemoveIn(int folder, const std::string& name) {
    struct stat st {};
    if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno == ENOENT) return {Removal::kGone};
      return {Removal::kSystemError, errno};
    }
    if (!S_ISLNK(st.st_mode)) {
      if (!S_ISREG(st.st_mode)) return {Removal::kNotRegularFile};
      // A file without any write bit is read-only, as on Windows, whoever runs the program:
      // users protect a cookie that way.
      if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return {Removal::kReadOnly};
    }
    // Without AT_REMOVEDIR a folder put in its place meanwhile is refused by the system.
    if (unlinkat(folder, name.c_str(), 0) == 0) return {Removal::kDeleted};
    const int error = errno;
    if (error == ENOENT) return {Removal::kGone};
    if (error == EISDIR || error == EPERM) {
      // Linux reports EISDIR for a folder, POSIX allows EPERM: look again to tell which.
      if (fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
        return {Removal::kNotRegularFile};
      }
    }
    return {Removal::kSystemError, error};
  }
};

}  // namespace

System& Native() {
  static PosixSystem system;
  return system;
}

void SetStartName(const std::string& argv0) { StartName() = argv0; }

bool IsNotFound(int error) { return error == ENOENT || error == ENOTDIR; }

LargeBlock AllocateLargeBlock(std::size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr std::size_t kHugePage = 2 * 1024 * 1024;
  if (size % kHugePage == 0) {
    void* block = std::aligned_alloc(kHugePage, size);
    if (block == nullptr) throw std::bad_alloc();
    madvise(block, size, MADV_HUGEPAGE);  // only advice: the block works without it
    return LargeBlock(static_cast<char*>(block));
  }
#endif
  void* block = std::malloc(size > 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return LargeBlock(static_cast<char*>(block));
}

unsigned UsableProcessors() {
#ifdef __linux__
  // Those of this process's affinity (taskset), not all the machine has.
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
#endif
  return std::max(1u, std::thread::hardware_concurrency());
}

std::optional<std::uint64_t> BlocksRead() {
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(usage.ru_inblock);
}

}  // namespace vesk::platform
