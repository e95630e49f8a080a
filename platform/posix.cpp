#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mman.h>
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

#include "build_config.h"
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

class PosixSystem final : public System {
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

  Result ReadFileHead(const std::string& path, std::size_t maxBytes, std::string& bytes) override {
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
    bytes.resize(std::min(maxBytes, expected > 0 ? expected : std::size_t{4096}));
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

  Result RemoveFile(const std::string& path) override {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) return {errno == ENOENT ? 0 : errno};
    if (S_ISLNK(st.st_mode)) return Unlink(path);
    if (!S_ISREG(st.st_mode)) return {S_ISDIR(st.st_mode) ? EISDIR : EINVAL};
    // A file without any write bit is read-only, as on Windows, whoever runs the program:
    // users protect a cookie that way.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return {EACCES};
    return Unlink(path);
  }

  RemoveResult RemoveFileBelow(const std::string& root, const std::string& path) override {
    const std::optional<PathBelow> below = SplitBelow(root, path);
    if (!below) return {Removal::kPathChanged};
    // The root as the scan opened it; every folder below it by name, refusing links.
    int folder = open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return Missing(errno);
    for (const std::string& name : below->folders) {
      const int child = openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      const int error = errno;
      close(folder);
      if (child < 0) return Missing(error);
      folder = child;
    }
    const RemoveResult result = RemoveIn(folder, below->file);
    close(folder);
    return result;
  }

  std::string ExecutableName() override { return BaseNameWithoutExtension(StartName()); }

  Version ProgramVersion() override {
    return {build::kVersionMajor, build::kVersionMinor, build::kVersionRevision};
  }

 private:
  // A folder on the way that cannot be opened: gone means the file is gone with it; a link
  // (ELOOP, or EMLINK on the BSDs) or something that is no longer a folder means the path changed.
  static RemoveResult Missing(int error) {
    if (error == ENOENT) return {Removal::kGone};
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

  static Result Unlink(const std::string& path) {
    if (unlink(path.c_str()) == 0 || errno == ENOENT) return {};
    return {errno};
  }
};

}  // namespace

System& Native() {
  static PosixSystem system;
  return system;
}

void SetStartName(const std::string& argv0) { StartName() = argv0; }

constexpr std::size_t kHugePage = 2 * 1024 * 1024;

void AdviseLargeBuffer(void* data, std::size_t size) {
#ifdef MADV_HUGEPAGE
  const auto start = reinterpret_cast<std::uintptr_t>(data);
  const std::uintptr_t from = (start + kHugePage - 1) / kHugePage * kHugePage;
  const std::uintptr_t to = (start + size) / kHugePage * kHugePage;
  // Only advice: the memory works without it.
  if (to > from) madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#else
  (void)data;
  (void)size;
#endif
}

LargeBlock AllocateLargeBlock(std::size_t size) {
#ifdef MADV_HUGEPAGE
  if (size % kHugePage == 0) {
    void* block = std::aligned_alloc(kHugePage, size);
    if (block == nullptr) throw std::bad_alloc();
    AdviseLargeBuffer(block, size);
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
