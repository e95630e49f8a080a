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

#include <algorithm>
#include <vector>

#include "build_config.h"
#include "platform/platform.h"
#include "platform/utf16.h"

namespace vesk::platform {

std::wstring Wide(std::string_view text) {
  if (text.empty()) return {};
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

  std::unique_ptr<Folder> OpenChild(const std::string& /*name*/, const std::string& fullPath,
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

}  // namespace vesk::platform
