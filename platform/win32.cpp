// The operating system on Windows, through the wide (UTF-16) API. Paths stay WTF-8 inside the
// program (UTF-8 unless a name holds an unpaired surrogate) and are converted only at the call, so
// names outside the ANSI code page keep their characters and every name NTFS allows comes back.

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "base/build_config.h"
#include "base/wtf8.h"
#include "platform/platform.h"
#include "platform/utf16.h"

namespace vesk::platform {

// Through WTF-8, so that a name holding an unpaired surrogate comes back exactly.
std::wstring Wide(std::string_view text) {
  const std::u16string units = base::Utf16FromWtf8(text);
  return std::wstring(units.begin(), units.end());
}

std::string Utf8(std::wstring_view text) {
  return base::Wtf8FromUtf16(std::u16string(text.begin(), text.end()));
}

std::wstring ShownWide(std::string_view text) {
  const std::u16string units = base::Utf16FromWtf8(text, base::Surrogates::kReplace);
  return std::wstring(units.begin(), units.end());
}

namespace {

// The path as the wide API takes it. Absolute paths get the literal \\?\ form, which has no
// MAX_PATH limit and keeps a name's trailing dot or blank.
std::wstring ApiPath(std::string_view path) {
  std::wstring wide = Wide(path);
  if (wide.rfind(L"\\\\?\\", 0) == 0) return wide;  // already in the literal form
  const bool unc = wide.size() > 2 && wide[0] == L'\\' && wide[1] == L'\\' && wide[2] != L'.';
  const bool drive = wide.size() > 2 && wide[1] == L':' && (wide[2] == L'\\' || wide[2] == L'/') &&
                     ((wide[0] >= L'A' && wide[0] <= L'Z') || (wide[0] >= L'a' && wide[0] <= L'z'));
  // Relative and device paths are left to the system's own rules.
  if (!unc && !drive) return wide;

  // The literal form skips the system's clean-up, which would otherwise cut a trailing dot or
  // blank off a name and stop at MAX_PATH; so do the harmless part of it here: one separator,
  // no "." and ".." steps.
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  const std::size_t rootLength = unc ? 2 : 3;
  std::vector<std::wstring> parts;
  std::size_t start = rootLength;
  while (start <= wide.size()) {
    std::size_t end = wide.find(L'\\', start);
    if (end == std::wstring::npos) end = wide.size();
    std::wstring part = wide.substr(start, end - start);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  std::wstring result = unc ? L"\\\\?\\UNC" : L"\\\\?\\" + wide.substr(0, 2);
  for (const auto& part : parts) result.append(L"\\").append(part);
  if (parts.empty() || (!wide.empty() && wide.back() == L'\\')) result += L'\\';
  return result;
}

class Win32Folder final : public Folder {
 public:
  Win32Folder(HANDLE find, const WIN32_FIND_DATAW& first) : find_(find), data_(first) {}
  ~Win32Folder() override { FindClose(find_); }
  Win32Folder(const Win32Folder&) = delete;
  Win32Folder& operator=(const Win32Folder&) = delete;

  bool Next(FolderEntry& entry) override {
    if (!pending_) {
      if (!FindNextFileW(find_, &data_)) return false;  // end, or a read error: the listing is over
    }
    pending_ = false;
    entry.name = Utf8(data_.cFileName);
    const DWORD attributes = data_.dwFileAttributes;
    entry.isDirectory = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A junction or a symbolic link to a folder: recorded, never entered.
    entry.isLink = entry.isDirectory && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return true;
  }

  // Opening every folder once more only to learn its file index would slow the scan down, and
  // links are never entered, so no folder can be met again below itself.
  std::optional<FolderId> Id() const override { return std::nullopt; }

  std::unique_ptr<Folder> OpenChild(const FolderEntry& /*entry*/, const std::string& fullPath,
                                    const std::string& pattern) override {
    return Open(fullPath + kSeparator, pattern);
  }

  static std::unique_ptr<Folder> Open(const std::string& folder, const std::string& pattern) {
    if (folder.empty()) return nullptr;
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileExW(ApiPath(folder + pattern).c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32Folder>(find, data);
  }

 private:
  HANDLE find_;
  WIN32_FIND_DATAW data_;
  bool pending_ = true;  // data_ holds the first entry, not yet handed out
};

// A handle closed when it goes out of scope.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Close(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  void Reset(HANDLE handle) {
    Close();
    handle_ = handle;
  }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  void Close() {
    if (Valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }
  HANDLE handle_ = nullptr;
};

constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034L);
constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the single name `name` inside the open folder `parent`, as openat does: nothing above
// `parent` is looked up again, and a reparse point at `name` is opened itself, never followed.
NTSTATUS OpenRelative(HANDLE parent, const std::string& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, Handle& out) {
  std::wstring wide = Wide(name);
  if (wide.size() * sizeof(wchar_t) > 0xFFFE) return kNameNotFound;
  UNICODE_STRING unicode{};
  unicode.Buffer = wide.data();
  unicode.Length = static_cast<USHORT>(wide.size() * sizeof(wchar_t));
  unicode.MaximumLength = unicode.Length;
  OBJECT_ATTRIBUTES attributes{};
  InitializeObjectAttributes(&attributes, &unicode, OBJ_CASE_INSENSITIVE, parent, nullptr);
  IO_STATUS_BLOCK io{};
  HANDLE handle = nullptr;
  const NTSTATUS status =
      NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, share, disposition,
                   options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT,
                   nullptr, 0);
  if (status >= 0) out.Reset(handle);
  return status;
}

NTSTATUS OpenRelative(HANDLE parent, const std::string& name, ACCESS_MASK access, ULONG options, Handle& out) {
  return OpenRelative(parent, name, access, kShareAll, FILE_OPEN, options, out);
}

// The path of an open file or folder from its volume's root, as the system holds it, or "" when it
// tells none. Asked of the file system itself: GetFinalPathNameByHandle fails under Wine on paths
// longer than MAX_PATH.
std::wstring HeldPath(HANDLE handle) {
  std::vector<DWORD> buffer(1024);
  while (true) {
    const auto size = static_cast<DWORD>(buffer.size() * sizeof(DWORD));
    if (GetFileInformationByHandleEx(handle, FileNameInfo, buffer.data(), size)) {
      const auto* info = reinterpret_cast<const FILE_NAME_INFO*>(buffer.data());
      const std::size_t length = std::min<std::size_t>(info->FileNameLength, size - sizeof(DWORD)) / sizeof(wchar_t);
      return std::wstring(info->FileName, length);
    }
    if (GetLastError() != ERROR_MORE_DATA || buffer.size() >= (std::size_t{1} << 16)) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// True when `child`, opened by `name` relative to the folder whose final path is `parent`, is
// really that folder's entry and not where a link led. Windows opens the link itself (and the
// reparse flag tells), but emulations such as Wine follow a Unix link whatever is asked: there
// the names differ.
bool IsEntryOf(const std::wstring& parent, const std::string& name, HANDLE child) {
  if (parent.empty()) return false;
  std::wstring expected = parent;
  if (expected.back() != L'\\') expected += L'\\';
  const std::size_t nameStart = expected.size();
  expected += Wide(name);
  const std::wstring actual = HeldPath(child);
  if (SameName(expected, actual)) return true;
  // Wine reports a name that ends in dots or blanks without them. What that leaves out can only
  // name another entry of the same folder, never one outside the tree.
  std::size_t end = expected.size();
  while (end > nameStart + 1 && (expected[end - 1] == L'.' || expected[end - 1] == L' ')) --end;
  return end < expected.size() && SameName(std::wstring_view(expected).substr(0, end), actual);
}

int LastError() {
  const DWORD error = GetLastError();
  return error == 0 ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(error);
}

template <class Bytes>
Result ReadRegularFile(HANDLE file, std::size_t maxBytes, Bytes& bytes) {
  // Disk files only: no pipe, console or device, which could block or have side effects.
  if (GetFileType(file) != FILE_TYPE_DISK) return {static_cast<int>(ERROR_INVALID_FUNCTION)};
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file, &info)) return {LastError()};
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {static_cast<int>(ERROR_ACCESS_DENIED)};

  const auto expected = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // One byte to spare, so that the read which finds the end needs no larger buffer.
  bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, expected > 0 ? expected + 1 : 4096)));
  std::size_t have = 0;
  while (have < maxBytes) {
    if (have == bytes.size()) bytes.resize(std::min(maxBytes, bytes.size() * 2));
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - have, 1u << 24));
    DWORD got = 0;
    if (!ReadFile(file, bytes.data() + have, want, &got, nullptr)) return {LastError()};
    if (got == 0) break;
    have += got;
  }
  bytes.resize(have);
  return {};
}


constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103L);
// Shared for reading and writing, never for deleting: while a folder of the target is open it
// cannot be renamed or removed, so the path to it cannot be swapped for a link meanwhile.
constexpr ULONG kShareNoDelete = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

int ErrorOf(NTSTATUS status) {
  if (status == kNameCollision) return kErrorExists;
  if (status == kNotADirectory) return kErrorNotAFolder;
  return static_cast<int>(RtlNtStatusToDosError(status));
}

std::optional<std::int64_t> UnixTime(const FILETIME& time) {
  const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  if (ticks == 0) return std::nullopt;
  // FILETIME counts 100 ns steps since 1601-01-01 UTC.
  return ticks / 10'000'000 - 11'644'473'600;
}

FileDetails::Type TypeOf(DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return FileDetails::Type::kLink;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileDetails::Type::kFolder;
  return FileDetails::Type::kFile;
}

class Win32NewFile final : public NewFile {
 public:
  explicit Win32NewFile(HANDLE file) : file_(file) {}

  Result Write(const std::string& bytes) override {
    if (!file_.Valid()) return {static_cast<int>(ERROR_INVALID_HANDLE)};
    std::size_t done = 0;
    while (done < bytes.size()) {
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 24));
      DWORD wrote = 0;
      if (!WriteFile(file_.Get(), bytes.data() + done, want, &wrote, nullptr)) return {LastError()};
      if (wrote == 0) return {static_cast<int>(ERROR_WRITE_FAULT)};
      done += wrote;
    }
    return {};
  }

  Result Finish() override {
    if (!file_.Valid()) return {static_cast<int>(ERROR_INVALID_HANDLE)};
    const int flushed = FlushFileBuffers(file_.Get()) ? 0 : LastError();
    file_.Reset(nullptr);
    return {flushed};
  }

 private:
  Handle file_;
};

class Win32TargetFolder final : public TargetFolder {
 public:
  Win32TargetFolder(HANDLE folder, std::wstring path) : folder_(folder), path_(std::move(path)) {}

  Result OpenOrCreateChild(const std::string& name, std::unique_ptr<TargetFolder>& child) override {
    Handle handle;
    const NTSTATUS status =
        OpenRelative(folder_.Get(), name, kFolderAccess, kShareNoDelete, FILE_OPEN_IF, FILE_DIRECTORY_FILE, handle);
    if (status < 0) return {ErrorOf(status)};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) return {LastError()};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !IsEntryOf(path_, name, handle.Get())) {
      return {kErrorLinkInTheWay};
    }
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {kErrorNotAFolder};
    std::wstring path = HeldPath(handle.Get());
    child = std::make_unique<Win32TargetFolder>(handle.Release(), std::move(path));
    return {};
  }

  std::optional<FileDetails::Type> Look(const std::string& name, Result& error) override {
    error = {};
    Handle handle;
    const NTSTATUS status = OpenRelative(folder_.Get(), name, FILE_READ_ATTRIBUTES, 0, handle);
    if (status == kNameNotFound) return std::nullopt;
    if (status < 0) {
      error = {ErrorOf(status)};
      return std::nullopt;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) {
      error = {LastError()};
      return std::nullopt;
    }
    if (!IsEntryOf(path_, name, handle.Get())) return FileDetails::Type::kLink;
    return TypeOf(info.dwFileAttributes);
  }

  Result CreateFile(const std::string& name, std::unique_ptr<NewFile>& file) override {
    Handle handle;
    const NTSTATUS status = OpenRelative(folder_.Get(), name, GENERIC_WRITE, FILE_SHARE_READ, FILE_CREATE,
                                         FILE_NON_DIRECTORY_FILE, handle);
    if (status < 0) return {ErrorOf(status)};
    file = std::make_unique<Win32NewFile>(handle.Release());
    return {};
  }

  Result ReadFile(const std::string& name, std::size_t maxBytes, std::string& bytes) override {
    bytes.clear();
    Handle handle;
    const NTSTATUS status =
        OpenRelative(folder_.Get(), name, FILE_READ_DATA | FILE_READ_ATTRIBUTES, FILE_NON_DIRECTORY_FILE, handle);
    if (status < 0) return {ErrorOf(status)};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) return {LastError()};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || !IsEntryOf(path_, name, handle.Get())) {
      return {kErrorLinkInTheWay};
    }
    return ReadRegularFile(handle.Get(), maxBytes, bytes);
  }

  Result MoveNoReplace(const std::string& from, const std::string& to) override {
    Handle handle;
    const NTSTATUS status = OpenRelative(folder_.Get(), from, DELETE | FILE_READ_ATTRIBUTES, 0, handle);
    if (status < 0) return {ErrorOf(status)};
    const std::wstring wide = Wide(to);
    // The new name relative to this folder, as the rename's own root: no path is looked up again.
    // NtSetInformationFile takes it as it is; the Win32 call would make a path of it first.
    std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFORMATION) + wide.size() * sizeof(wchar_t));
    auto* rename = reinterpret_cast<FILE_RENAME_INFORMATION*>(buffer.data());
    rename->ReplaceIfExists = FALSE;
    rename->RootDirectory = folder_.Get();
    rename->FileNameLength = static_cast<ULONG>(wide.size() * sizeof(wchar_t));
    std::memcpy(rename->FileName, wide.data(), wide.size() * sizeof(wchar_t));
    IO_STATUS_BLOCK io{};
    const NTSTATUS renamed = NtSetInformationFile(handle.Get(), &io, rename, static_cast<ULONG>(buffer.size()),
                                                  FileRenameInformation);
    if (renamed >= 0) return {};
    return {ErrorOf(renamed)};
  }

  Result Remove(const std::string& name) override {
    Handle handle;
    const NTSTATUS status = OpenRelative(folder_.Get(), name, DELETE | FILE_READ_ATTRIBUTES, FILE_NON_DIRECTORY_FILE, handle);
    if (status < 0) return {ErrorOf(status)};
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(handle.Get(), FileDispositionInfo, &disposition, sizeof disposition)) return {};
    return {LastError()};
  }

 private:
  Handle folder_;
  std::wstring path_;  // the name the system holds for the folder, to tell a followed link
};

class Win32System final : public HeadReadingSystem<Win32System> {
 public:
  std::string GetEnv(const std::string& name) override {
    const std::wstring wideName = Wide(name);
    std::wstring value(256, L'\0');
    while (true) {
      SetLastError(0);
      const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), static_cast<DWORD>(value.size()));
      if (length == 0) return {};  // unset, or set to nothing
      if (length < value.size()) {
        value.resize(length);
        return Utf8(value);
      }
      value.resize(length);  // too small: length is the size needed, terminator included
    }
  }

  std::unique_ptr<Folder> OpenFolder(const std::string& folder, const std::string& pattern) override {
    return Win32Folder::Open(folder, pattern);
  }

  template <class Bytes>
  Result ReadHead(const std::string& path, std::size_t maxBytes, Bytes& bytes) {
    bytes.clear();
    // Sharing everything: a browser that holds the cookie open must not stop us reading it.
    const HANDLE file = CreateFileW(ApiPath(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {LastError()};
    Result result = ReadRegularFile(file, maxBytes, bytes);
    CloseHandle(file);
    if (!result.ok()) bytes.clear();
    return result;
  }

  std::optional<std::int64_t> FileLength(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ApiPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
  }

  std::optional<FileStatus> GetFileStatus(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(ApiPath(path).c_str(), GetFileExInfoStandard, &data)) return std::nullopt;
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
    const auto length = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    // FILETIME counts 100 ns steps since 1601-01-01 UTC.
    const auto ticks = static_cast<std::int64_t>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                                 data.ftLastWriteTime.dwLowDateTime);
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;
    return FileStatus{static_cast<std::int64_t>(length), ticks / kTicksPerSecond - kSecondsFrom1601To1970};
  }

  Result CheckFolder(const std::string& folder) override {
    if (folder.empty()) return {static_cast<int>(ERROR_PATH_NOT_FOUND)};
    Handle handle(CreateFileW(ApiPath(folder).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.Valid()) return {LastError()};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) return {LastError()};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {static_cast<int>(ERROR_DIRECTORY)};
    return {};
  }

  RemoveResult RemoveFileBelow(const std::string& root, const std::string& path) override {
    const std::optional<PathBelow> below = SplitBelow(root, path);
    if (!below) return {Removal::kPathChanged};
    // The root as the scan opened it; every folder below it relative to its parent's handle.
    Handle folder(CreateFileW(ApiPath(root).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid()) {
      const int error = LastError();
      if (error == ERROR_DIRECTORY) return {Removal::kPathChanged};
      return {Removal::kSystemError, error};
    }
    std::wstring folderPath = HeldPath(folder.Get());
    for (const std::string& name : below->folders) {
      Handle child;
      // Not asking for a folder: a file put in its place opens too, and the attributes tell.
      const NTSTATUS status = OpenRelative(folder.Get(), name, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, 0, child);
      // A missing folder on the way is a failure, not "gone": the file's own folder was never
      // looked into.
      if (status < 0) return {Removal::kSystemError, static_cast<int>(RtlNtStatusToDosError(status))};
      BY_HANDLE_FILE_INFORMATION info{};
      if (!GetFileInformationByHandle(child.Get(), &info)) return {Removal::kSystemError, LastError()};
      // A junction or folder link opened as itself, or no folder at all: the path no longer
      // leads there without a link.
      if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !IsEntryOf(folderPath, name, child.Get())) {
        return {Removal::kPathChanged};
      }
      folderPath = HeldPath(child.Get());
      folder.Reset(child.Release());
    }
    return RemoveIn(folder.Get(), folderPath, below->file);
  }

  std::optional<FileDetails> GetFileDetails(const std::string& path) override {
    Handle file(CreateFileW(ApiPath(path).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.Valid()) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
    FileDetails details;
    details.type = TypeOf(info.dwFileAttributes);
    details.node = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // Windows keeps no permission bits; the read-only flag is what it has.
    details.mode = (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? 0444 : 0666;
    details.size = static_cast<std::int64_t>((static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    details.accessed = UnixTime(info.ftLastAccessTime);
    details.modified = UnixTime(info.ftLastWriteTime);
    details.created = UnixTime(info.ftCreationTime);
    return details;
  }

  Result OpenTargetBase(const std::string& folder, std::unique_ptr<TargetFolder>& base) override {
    if (folder.empty()) return {static_cast<int>(ERROR_PATH_NOT_FOUND)};
    const std::wstring apiPath = ApiPath(folder);
    if (!CreateDirectoryW(apiPath.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return {LastError()};
    Handle handle(CreateFileW(apiPath.c_str(), kFolderAccess, kShareNoDelete, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.Valid()) {
      const DWORD error = GetLastError();
      return {error == ERROR_DIRECTORY ? kErrorNotAFolder : static_cast<int>(error)};
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(handle.Get(), &info)) return {LastError()};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return {kErrorNotAFolder};
    std::wstring path = HeldPath(handle.Get());
    base = std::make_unique<Win32TargetFolder>(handle.Release(), std::move(path));
    return {};
  }

  std::string ExecutableName() override { return BaseNameWithoutExtension(Utf8(ModulePath())); }

  Version ProgramVersion() override {
    const Version built{build::kVersionMajor, build::kVersionMinor, build::kVersionRevision};
    const std::wstring module = ModulePath();
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(module.c_str(), &ignored);
    if (size == 0) return built;
    std::vector<unsigned char> record(size);
    if (!GetFileVersionInfoW(module.c_str(), 0, size, record.data())) return built;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO)) {
      return built;
    }
    return {HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS)};
  }

 private:
  static RemoveResult RemoveIn(HANDLE folder, const std::wstring& folderPath, const std::string& name) {
    Handle file;
    const NTSTATUS status = OpenRelative(folder, name, DELETE | FILE_READ_ATTRIBUTES, FILE_NON_DIRECTORY_FILE, file);
    if (status == kFileIsADirectory) return {Removal::kNotRegularFile};
    // The holding folder is open: a name that is not in it is gone.
    if (status == kNameNotFound) return {Removal::kGone};
    if (status < 0) return {Removal::kSystemError, static_cast<int>(RtlNtStatusToDosError(status))};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.Get(), &info)) return {Removal::kSystemError, LastError()};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {Removal::kNotRegularFile};
    if (GetFileType(file.Get()) != FILE_TYPE_DISK) return {Removal::kNotRegularFile};
    // Where a link was followed instead of opened, deleting through the handle would take its
    // target: refuse.
    if (!IsEntryOf(folderPath, name, file.Get())) return {Removal::kPathChanged};
    // A link to a file is removed itself whatever its flags; a file only when it is writable, as
    // DeleteFileW would have it.
    const bool link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (!link && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) return {Removal::kReadOnly};
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    if (SetFileInformationByHandle(file.Get(), FileDispositionInfo, &disposition, sizeof disposition)) {
      return {Removal::kDeleted};
    }
    return {Removal::kSystemError, LastError()};
  }

  static std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
      const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
      if (length == 0) return {};
      if (length < path.size()) {
        path.resize(length);
        return path;
      }
      path.resize(path.size() * 2);  // cut short: try again with more room
    }
  }
};

}  // namespace

System& Native() {
  static Win32System system;
  return system;
}

// Windows tells the executable's path itself, whatever the program was started as.
void SetStartName(const std::string& /*argv0*/) {}

bool IsNotFound(int error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_DIRECTORY;
}

// The process's I/O counters count reads served from the cache too.
LargeBlock AllocateLargeBlock(std::size_t size) {
  void* block = std::malloc(size > 0 ? size : 1);
  if (block == nullptr) throw std::bad_alloc();
  return LargeBlock(static_cast<char*>(block));
}

unsigned UsableProcessors() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0) {
    return static_cast<unsigned>(__builtin_popcountll(static_cast<unsigned long long>(process)));
  }
  return 1;
}

std::optional<std::uint64_t> BlocksRead() { return std::nullopt; }

}  // namespace vesk::platform
