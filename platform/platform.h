#pragma once

// The operating system as the rest of the program sees it. Paths are byte strings: on POSIX
// exactly the bytes the file system holds, on Windows UTF-8 (converted to UTF-16 only at the API).
// No native type appears here; posix.cpp or win32.cpp is chosen by the build.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vesk::platform {

#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// Outcome of an operation: 0 for success, otherwise the operating system's error code.
struct Result {
  int error = 0;
  bool ok() const { return error == 0; }
};

struct FolderEntry {
  std::string name;  // without any folder
  bool isDirectory = false;
  // A link or junction that leads to a folder: it carries the directory flag, but a scan must
  // not enter it, so that it never loops and never leaves the tree.
  bool isLink = false;
  // The entry's file serial number (inode) as the listing gives it; 0 where it gives none.
  std::uint64_t node = 0;
};

// Identity of an open folder (device and inode on POSIX), used to notice a folder that is
// reached again below itself, as a bind mount can make.
struct FolderId {
  std::uint64_t device = 0;
  std::uint64_t node = 0;
  bool operator==(const FolderId&) const = default;
};

// One open folder enumeration; closed when destroyed.
class Folder {
 public:
  virtual ~Folder() = default;
  // The next entry ("." and ".." included where the system reports them); false when the
  // listing has run out.
  virtual bool Next(FolderEntry& entry) = 0;
  // Identity of this folder, where the system has one.
  virtual std::optional<FolderId> Id() const = 0;
  // Opens the subfolder `entry` of this folder (as Next gave it), whose full path is `fullPath`;
  // nullptr when it cannot be enumerated. Safe to call from several threads at once once the
  // listing has been read.
  virtual std::unique_ptr<Folder> OpenChild(const FolderEntry& entry, const std::string& fullPath,
                                            const std::string& pattern) = 0;
};

// Length and last modification of a regular file.
struct FileStatus {
  std::int64_t length = 0;
  std::int64_t modified = 0;  // seconds since 1970-01-01 00:00:00 UTC; negative before it
};

// What one guarded removal did to the file it was given.
enum class Removal {
  kDeleted,         // the file, or the link itself, was removed
  kGone,            // it was not there any more: counts as deleted
  kReadOnly,        // kept: it is read-only
  kNotRegularFile,  // refused: a folder, FIFO, socket or device
  kPathChanged,     // refused: its folders no longer lead there from the root without a link
  kSystemError,     // the system refused; `error` tells why
};

struct RemoveResult {
  Removal outcome = Removal::kSystemError;
  int error = 0;  // the operating system's code for kSystemError, otherwise 0
  // True when the file is not there afterwards.
  bool FileIsGone() const { return outcome == Removal::kDeleted || outcome == Removal::kGone; }
};

// Everything the system tells about one entry, for a timeline. Times are seconds since
// 1970-01-01 UTC; nullopt where the system keeps none.
struct FileDetails {
  enum class Type { kFile, kFolder, kLink, kOther };
  Type type = Type::kOther;
  std::uint64_t node = 0;  // inode, or the NTFS file index
  std::uint32_t mode = 0;  // permission bits (07777); on Windows derived from the read-only flag
  std::uint32_t uid = 0, gid = 0;
  std::int64_t size = 0;
  std::optional<std::int64_t> accessed, modified, changed, created;
};

// Platform-neutral failures of the target-side operations below; positive codes are the
// operating system's own.
inline constexpr int kErrorExists = -1;        // the name is taken
inline constexpr int kErrorLinkInTheWay = -2;  // a link (or junction) stands where a folder or file was to be
inline constexpr int kErrorNotAFolder = -3;    // something other than a folder stands where a folder was to be
inline constexpr int kErrorNotAFile = -4;      // something other than a regular file stands at the name

// A new file being written; removed by nobody: the caller removes it by name when it gives up.
class NewFile {
 public:
  virtual ~NewFile() = default;
  // Appends all of `bytes`.
  virtual Result Write(const std::string& bytes) = 0;
  // Flushes the file to the disk and closes it; nothing may be written afterwards.
  virtual Result Finish() = 0;
};

// A folder opened for writing into, reached from its base one name at a time without following
// any link; closed when destroyed. While it is open its path cannot be swapped for a link under
// the operations below, which all work relative to it.
class TargetFolder {
 public:
  virtual ~TargetFolder() = default;
  // The subfolder `name`, created when it is missing. A link or anything but a folder at the name
  // is refused (kErrorLinkInTheWay, kErrorNotAFolder).
  virtual Result OpenOrCreateChild(const std::string& name, std::unique_ptr<TargetFolder>& child) = 0;
  // What stands at `name`, without following a link: nullopt when nothing does (or `error` says
  // why it could not be looked at).
  virtual std::optional<FileDetails::Type> Look(const std::string& name, Result& error) = 0;
  // Creates the new file `name`, which must not exist yet (kErrorExists).
  virtual Result CreateFile(const std::string& name, std::unique_ptr<NewFile>& file) = 0;
  // Reads at most `maxBytes` of the regular file `name` (a link is refused).
  virtual Result ReadFile(const std::string& name, std::size_t maxBytes, std::string& bytes) = 0;
  // Renames `from` to `to` within this folder, never replacing anything at `to` (kErrorExists),
  // and makes the rename durable.
  virtual Result MoveNoReplace(const std::string& from, const std::string& to) = 0;
  // Removes the file (or link) `name`.
  virtual Result Remove(const std::string& name) = 0;
};

struct Version {
  int major = 0;
  int minor = 0;
  int revision = 0;
};

// Buffers of many megabytes that are filled once and then read, such as a cookie's text and the
// bytes it is made from. From 2 MiB on they are LargeBlocks (huge pages where the system offers
// them), and the last two given back are kept for the next ones that fit: fresh pages are dear
// (a page fault each, under Wine many times dearer), and each click on a big cookie needs the
// same two. Smaller buffers come from malloc.
char* TakeLargeBuffer(std::size_t bytes);
void GiveBackLargeBuffer(char* buffer);

template <class T>
struct LargeAllocator {
  using value_type = T;
  LargeAllocator() = default;
  template <class U>
  LargeAllocator(const LargeAllocator<U>&) {}  // NOLINT: converting, as allocators are
  T* allocate(std::size_t n) { return reinterpret_cast<T*>(TakeLargeBuffer(n * sizeof(T))); }
  void deallocate(T* p, std::size_t) { GiveBackLargeBuffer(reinterpret_cast<char*>(p)); }
  template <class U>
  bool operator==(const LargeAllocator<U>&) const {
    return true;
  }
};

using LargeString = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

// Every operating-system operation the program uses. Tests replace single operations by
// deriving from the native implementation.
class System {
 public:
  virtual ~System() = default;

  // The value of an environment variable; an unset variable reads as empty.
  virtual std::string GetEnv(const std::string& name) = 0;

  // Opens the enumeration of `folder` (which ends with the separator) with a name pattern
  // ("*.*" matches every name); nullptr when the folder cannot be enumerated.
  virtual std::unique_ptr<Folder> OpenFolder(const std::string& folder,
                                             const std::string& pattern) = 0;

  // Reads at most `maxBytes` from the start of a regular file into `bytes`. Never blocks on a
  // FIFO, socket or device: anything but a regular file fails.
  virtual Result ReadFileHead(const std::string& path, std::size_t maxBytes,
                              std::string& bytes) = 0;

  // ReadFileHead into a LargeString, for heads of many megabytes; by default through
  // ReadFileHead and a copy.
  virtual Result ReadLargeFileHead(const std::string& path, std::size_t maxBytes, LargeString& bytes) {
    std::string read;
    const Result result = ReadFileHead(path, maxBytes, read);
    bytes.assign(read.data(), read.size());
    return result;
  }

  // The length in bytes of a regular file; nullopt when it has gone or is no regular file.
  virtual std::optional<std::int64_t> FileLength(const std::string& path) = 0;

  // Length and modification time of a regular file; nullopt when it has gone or is no regular
  // file.
  virtual std::optional<FileStatus> GetFileStatus(const std::string& path) = 0;

  // Whether `folder` can be listed: success, or the system's reason. IsNotFound tells a folder
  // that is not there from one that cannot be read.
  virtual Result CheckFolder(const std::string& folder) = 0;

  // The one delete rule. Deletes exactly the named file: no wildcards, never a folder; a link is
  // removed, not its target; a read-only file is refused. Guarded against folders swapped for
  // links after the scan: `path` must lie below `root` (a scan root), and it is reached from the
  // root one folder at a time without following any link, then removed relative to its holding
  // folder. The root itself is opened as the scan opened it. kGone only when the holding folder
  // was opened and the name is not in it; a root or folder on the way that cannot be opened
  // (missing included) is a kSystemError with its reason.
  virtual RemoveResult RemoveFileBelow(const std::string& root, const std::string& path) = 0;

  // Everything the system tells about the entry at `path` without following a final link; nullopt
  // when it has gone.
  virtual std::optional<FileDetails> GetFileDetails(const std::string& path) = 0;

  // The folder `folder` opened for writing into, created first when it is missing (its parent
  // must exist). Like the root of a delete it is opened as named, links included; nothing below
  // it will be.
  virtual Result OpenTargetBase(const std::string& folder, std::unique_ptr<TargetFolder>& base) = 0;

  // The name the program was started under, without folder and extension.
  virtual std::string ExecutableName() = 0;

  virtual Version ProgramVersion() = 0;
};

// A system whose two reads of a file's head, into a string and into a LargeString, are one
// template of its own: `Result ReadHead(const std::string&, std::size_t, Bytes&)`.
template <class Derived>
class HeadReadingSystem : public System {
 public:
  Result ReadFileHead(const std::string& path, std::size_t maxBytes, std::string& bytes) override {
    return static_cast<Derived&>(*this).ReadHead(path, maxBytes, bytes);
  }
  Result ReadLargeFileHead(const std::string& path, std::size_t maxBytes, LargeString& bytes) override {
    return static_cast<Derived&>(*this).ReadHead(path, maxBytes, bytes);
  }
};

// The real operating system. `argv0` is what the program was started as (POSIX needs it for the
// executable's name; Windows asks the system).
System& Native();
void SetStartName(const std::string& argv0);

// A block of memory that is filled front to back and kept a while, as the scan's list: where the
// system offers it and the size is a multiple of 2 MiB, in huge pages, which spares a page fault
// for each 4 KiB. Throws std::bad_alloc when there is no memory.
struct FreeLargeBlock {
  void operator()(char* block) const;
};
using LargeBlock = std::unique_ptr<char[], FreeLargeBlock>;
LargeBlock AllocateLargeBlock(std::size_t size);

// Memory for arrays that grow to many megabytes and are written front to back, as a cookie's
// index of values: from 2 MiB on LargeBlocks rounded up to whole huge pages, smaller from malloc.
// Nothing is kept: what is given back goes back to the system.
std::pmr::memory_resource* LargeBlocks();

// A page of fresh memory costs a fault the first time it is written: a fraction of a microsecond
// on most machines, but over 10 us in some virtual machines, and where huge pages are out of reach
// (Windows programs, Wine) that is a third of the time a big cookie's index takes to build. A
// PageWarmer writes those pages first, on a thread of its own, a little ahead of a writer that
// fills arrays front to back and tells it how far it is. It never touches what the writer may be
// writing: the writer promises to write no further than kReach past what it told last before it
// tells again, and a batch of pages within that reach is finished before Filled returns.
class PageWarmer {
 public:
  PageWarmer();
  ~PageWarmer();  // stops, and ends the thread
  PageWarmer(const PageWarmer&) = delete;
  PageWarmer& operator=(const PageWarmer&) = delete;

  static constexpr std::size_t kReach = std::size_t{128} << 10;

  // The array at `block`, `capacity` bytes, is written up to `written`, and until the next call
  // will not be written past `written` + kReach: pages further on get warmed. Arrays under 2 MiB
  // are left alone. A null block: Stop().
  void Filled(const void* block, std::size_t written, std::size_t capacity);
  // Forgets the arrays; once it returns no page of them is touched any more.
  void Stop();
  // Starts the thread now rather than with the first large array: a thread takes some
  // milliseconds to start (under Wine up to 7), which the first array should not wait for.
  void Start();
  // Filled, for a plain function pointer (lso::FillNotice).
  static void Notice(void* warmer, const void* block, std::size_t written, std::size_t capacity) {
    static_cast<PageWarmer*>(warmer)->Filled(block, written, capacity);
  }

  struct State;

 private:
  std::unique_ptr<State> state_;
};


// Text as UTF-16 code units of the type this system's window toolkit takes without a copy:
// wchar_t for the Windows API, char16_t (Qt's QChar) elsewhere. A cookie's text can be tens of
// megabytes: its storage is a LargeAllocator's.
#ifdef _WIN32
using Utf16String = std::basic_string<wchar_t, std::char_traits<wchar_t>, LargeAllocator<wchar_t>>;
#else
using Utf16String = std::basic_string<char16_t, std::char_traits<char16_t>, LargeAllocator<char16_t>>;
#endif

// The processors this process may run on (at least 1).
unsigned UsableProcessors();

// 512-byte blocks the process has read from storage so far, not from the cache, where the
// system counts them: tells a cold cache from a warm one.
std::optional<std::uint64_t> BlocksRead();

// True when `error` (a Result's code) says that nothing, or no folder, is at the path.
bool IsNotFound(int error);

// True for the separator; on Windows for "/" as well, which paths typed there may use.
bool IsSeparator(char c);

// The parts of `path` between separators. Empty parts count ("/a//b" gives "", "a", "", "b"); an
// empty path gives none.
std::vector<std::string_view> SplitPath(std::string_view path);

// `path` with the separator appended unless it already ends with one; "" gives the separator.
std::string ProperPath(std::string path);

// Base name of a path without its extension (the part from the last dot of the base name, unless
// that dot begins the name).
std::string BaseNameWithoutExtension(const std::string& path);

// The folder names from `root` down to the file and the file's name, for RemoveFileBelow: nullopt
// when `path` does not begin with `root` (with its separator) or a part below it is empty, "." or
// "..", which no scan produces and which could lead out of the tree.
struct PathBelow {
  std::vector<std::string> folders;
  std::string file;
};
std::optional<PathBelow> SplitBelow(const std::string& root, const std::string& path);

}  // namespace vesk::platform
