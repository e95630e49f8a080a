#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "build_config.h"
#include "platform/platform.h"

namespace vesk::platform {
namespace {

std::string& StartName() {
  static std::string name = "vesk";
  return name;
}

class PosixFolder final : public Folder {
 public:
  // Takes ownership of `fd`, an open descriptor of a folder.
  static std::unique_ptr<Folder> FromDescriptor(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISDIR(st.st_mode)) {
      close(fd);
      return nullptr;
    }
    DIR* dir = fdopendir(fd);
    if (dir == nullptr) {
      close(fd);
      return nullptr;
    }
    return std::unique_ptr<Folder>(new PosixFolder(
        dir, FolderId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)}));
  }

  ~PosixFolder() override { closedir(dir_); }

  bool Next(FolderEntry& entry) override {
    errno = 0;
    const dirent* d = readdir(dir_);
    if (d == nullptr) return false;  // end, or a read error: either way the listing is over
    entry.name.assign(d->d_name);
    entry.isDirectory = false;
    entry.isLink = false;
    switch (d->d_type) {
      case DT_DIR:
        entry.isDirectory = true;
        break;
      case DT_LNK:
        MarkLinkToFolder(entry);
        break;
      case DT_UNKNOWN:
        Classify(entry);  // some file systems report no type
        break;
      default:
        break;
    }
    return true;
  }

  std::optional<FolderId> Id() const override { return id_; }

  std::unique_ptr<Folder> OpenChild(const std::string& name, const std::string& /*fullPath*/,
                                    const std::string& /*pattern*/) override {
    // Relative to this folder: no path length limit, and a link swapped in meanwhile is refused.
    const int fd = openat(dirfd(dir_), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return FromDescriptor(fd);
  }

 private:
  PosixFolder(DIR* dir, FolderId id) : dir_(dir), id_(id) {}

  void MarkLinkToFolder(FolderEntry& entry) {
    struct stat target {};
    if (fstatat(dirfd(dir_), entry.name.c_str(), &target, 0) == 0 && S_ISDIR(target.st_mode)) {
      entry.isDirectory = true;
      entry.isLink = true;
    }
  }

  void Classify(FolderEntry& entry) {
    struct stat st {};
    if (fstatat(dirfd(dir_), entry.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return;
    if (S_ISDIR(st.st_mode)) {
      entry.isDirectory = true;
    } else if (S_ISLNK(st.st_mode)) {
      MarkLinkToFolder(entry);
    }
  }

  DIR* dir_;
  FolderId id_;
};

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
    // Every name matches "*.*" here, so the pattern needs no translation.
    if (folder.empty()) return nullptr;
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return PosixFolder::FromDescriptor(fd);
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

  std::string ExecutableName() override { return BaseNameWithoutExtension(StartName()); }

  Version ProgramVersion() override {
    return {build::kVersionMajor, build::kVersionMinor, build::kVersionRevision};
  }

 private:
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

}  // namespace vesk::platform
