// The operating system on Windows, through the wide (UTF-16) API. Paths stay UTF-8 inside the
// program and are converted only at the call, so names outside the ANSI code page keep their
// characters.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "build_config.h"
#include "platform/platform.h"
#include "platform/utf16.h"

namespace vesk::platform {

namespace {

// Valid UTF-8 in one pass of our own: the system's conversion is several times slower on long
// non-ASCII text (a cookie's 16 MiB of control marks took 140 ms under Wine). Empty when the
// text holds an invalid sequence, which is left to the system's rules.
std::optional<std::wstring> WideFromValidUtf8(std::string_view text) {
  // One UTF-16 unit per byte that is no continuation byte (10xxxxxx), two for a four-byte
  // sequence (11110xxx); eight bytes at a time.
  constexpr std::uint64_t kHigh = 0x8080808080808080ULL;
  const auto* in = reinterpret_cast<const unsigned char*>(text.data());
  const auto* const end = in + text.size();
  std::size_t units = text.size();
  const unsigned char* at = in;
  for (; end - at >= 8; at += 8) {
    std::uint64_t w;
    std::memcpy(&w, at, 8);
    if ((w & kHigh) == 0) continue;
    units -= static_cast<std::size_t>(__builtin_popcountll(w & ~(w << 1) & kHigh));
    units += static_cast<std::size_t>(__builtin_popcountll(w & (w << 1) & (w << 2) & (w << 3) & kHigh));
  }
  for (; at < end; ++at) {
    units -= (*at & 0xC0) == 0x80 ? 1 : 0;
    units += *at >= 0xF0 ? 1 : 0;
  }
  std::wstring wide(units, L'\0');
  wchar_t* out = wide.data();
  wchar_t* const outEnd = out + units;
  while (in < end) {
    if (end - in >= 8 && outEnd - out >= 8) {
      std::uint64_t w;
      std::memcpy(&w, in, 8);
      if ((w & kHigh) == 0) {  // a run of ASCII
        for (int i = 0; i < 8; ++i) out[i] = static_cast<wchar_t>(in[i]);
        in += 8;
        out += 8;
        continue;
      }
    }
    const unsigned char b0 = *in;
    if (b0 < 0x80) {
      *out++ = static_cast<wchar_t>(b0);
      ++in;
      continue;
    }
    if (b0 >= 0xC2 && b0 <= 0xDF && end - in >= 2 && (in[1] & 0xC0) == 0x80 && out < outEnd) {
      *out++ = static_cast<wchar_t>(((b0 & 0x1F) << 6) | (in[1] & 0x3F));
      in += 2;
      continue;
    }
    int length;
    char32_t c;
    char32_t min;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
      length = 2, c = b0 & 0x1F, min = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
      length = 3, c = b0 & 0x0F, min = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
      length = 4, c = b0 & 0x07, min = 0x10000;
    } else {
      return std::nullopt;
    }
    if (end - in < length) return std::nullopt;
    for (int i = 1; i < length; ++i) {
      if ((in[i] & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (in[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    if (c >= 0x10000) {
      if (outEnd - out < 2) return std::nullopt;
      *out++ = static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      *out++ = static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      if (out == outEnd) return std::nullopt;
      *out++ = static_cast<wchar_t>(c);
    }
    in += length;
  }
  if (out != outEnd) return std::nullopt;
  return wide;
}

}  // namespace

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
  if (auto wide = WideFromValidUtf8(text)) return std::move(*wide);
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length, nullptr,
                      nullptr);
  return utf8;
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
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003AL);
constexpr NTSTATUS kFileIsADirectory = static_cast<NTSTATUS>(0xC00000BAL);
constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens the single name `name` inside the open folder `parent`, as openat does: nothing above
// `parent` is looked up again, and a reparse point at `name` is opened itself, never followed.
NTSTATUS OpenRelative(HANDLE parent, const std::string& name, ACCESS_MASK access, ULONG options, Handle& out) {
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
      NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr, 0, kShareAll, FILE_OPEN,
                   options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT,
                   nullptr, 0);
  if (status >= 0) out.Reset(handle);
  return status;
}

// The name the system holds for an open file or folder, or "" when it tells none.
std::wstring FinalPath(HANDLE handle) {
  std::wstring path(512, L'\0');
  while (true) {
    const DWORD length = GetFinalPathNameByHandleW(handle, path.data(), static_cast<DWORD>(path.size()),
                                                   FILE_NAME_NORMALIZED | VOLUME_NAME_NT);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length + 1);
  }
}

// True when `child`, opened by `name` relative to the folder whose final path is `parent`, is
// really that folder's entry and not where a link led. Windows opens the link itself (and the
// reparse flag tells), but emulations such as Wine follow a Unix link whatever is asked: there
// the names differ.
bool IsEntryOf(const std::wstring& parent, const std::string& name, HANDLE child) {
  if (parent.empty()) return false;
  std::wstring expected = parent;
  if (expected.back() != L'\\') expected += L'\\';
  expected += Wide(name);
  const std::wstring actual = FinalPath(child);
  return CompareStringOrdinal(expected.data(), static_cast<int>(expected.size()), actual.data(),
                              static_cast<int>(actual.size()), TRUE) == CSTR_EQUAL;
}

RemoveResult FromStatus(NTSTATUS status) {
  if (status == kNameNotFound || status == kPathNotFound) return {Removal::kGone};
  return {Removal::kSystemError, static_cast<int>(RtlNtStatusToDosError(status))};
}

int LastError() {
  const DWORD error = GetLastError();
  return error == 0 ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(error);
}

class Win32System final : public System {
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

  Result ReadFileHead(const std::string& path, std::size_t maxBytes, std::string& bytes) override {
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

  Result RemoveFile(const std::string& path) override {
    const std::wstring apiPath = ApiPath(path);
    const DWORD attributes = GetFileAttributesW(apiPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return Gone(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {static_cast<int>(ERROR_ACCESS_DENIED)};
    // DeleteFileW refuses a read-only file too; asking first keeps that true on file systems
    // and emulations that map the flag loosely.
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return {static_cast<int>(ERROR_ACCESS_DENIED)};
    if (DeleteFileW(apiPath.c_str())) return {};
    return Gone(GetLastError());
  }

  RemoveResult RemoveFileBelow(const std::string& root, const std::string& path) override {
    const std::optional<PathBelow> below = SplitBelow(root, path);
    if (!below) return {Removal::kPathChanged};
    // The root as the scan opened it; every folder below it relative to its parent's handle.
    Handle folder(CreateFileW(ApiPath(root).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder.Valid()) {
      const DWORD error = GetLastError();
      if (error == ERROR_DIRECTORY) return {Removal::kPathChanged};
      const Result gone = Gone(error);
      return gone.ok() ? RemoveResult{Removal::kGone} : RemoveResult{Removal::kSystemError, gone.error};
    }
    std::wstring folderPath = FinalPath(folder.Get());
    for (const std::string& name : below->folders) {
      Handle child;
      // Not asking for a folder: a file put in its place opens too, and the attributes tell.
      const NTSTATUS status = OpenRelative(folder.Get(), name, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, 0, child);
      if (status < 0) return FromStatus(status);
      BY_HANDLE_FILE_INFORMATION info{};
      if (!GetFileInformationByHandle(child.Get(), &info)) return {Removal::kSystemError, LastError()};
      // A junction or folder link opened as itself, or no folder at all: the path no longer
      // leads there without a link.
      if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
          (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 || !IsEntryOf(folderPath, name, child.Get())) {
        return {Removal::kPathChanged};
      }
      folderPath = FinalPath(child.Get());
      folder.Reset(child.Release());
    }
    return RemoveIn(folder.Get(), folderPath, below->file);
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
    if (status < 0) return FromStatus(status);
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

  static Result Gone(DWORD error) {
    // Already gone counts as deleted.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {};
    return {error == 0 ? static_cast<int>(ERROR_GEN_FAILURE) : static_cast<int>(error)};
  }

  static Result ReadRegularFile(HANDLE file, std::size_t maxBytes, std::string& bytes) {
    // Disk files only: no pipe, console or device, which could block or have side effects.
    if (GetFileType(file) != FILE_TYPE_DISK) return {static_cast<int>(ERROR_INVALID_FUNCTION)};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return {LastError()};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {static_cast<int>(ERROR_ACCESS_DENIED)};

    const auto expected = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(maxBytes, expected > 0 ? expected : 4096)));
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

// The process's I/O counters count reads served from the cache too.
void AdviseLargeBuffer(void* /*data*/, std::size_t /*size*/) {}

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
