#include "tests/win32/temp_folder.h"

#include "platform/utf16.h"

#include <winioctl.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace vesk::test {

std::wstring ToWide(std::string_view text) { return platform::Wide(text); }

std::string ToUtf8(std::wstring_view text) { return platform::Utf8(text); }

std::wstring Literal(const std::string& path) { return L"\\\\?\\" + ToWide(path); }

namespace {

using ToUnixFunction = char*(CDECL*)(const wchar_t*);

// Wine's own export that turns a Windows path into its Unix path; null when not under Wine.
ToUnixFunction WineToUnix() {
  static const auto toUnix = reinterpret_cast<ToUnixFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  return toUnix;
}

std::wstring UnixPath(const std::string& path) {
  char* unixPath = WineToUnix()(ToWide(path).c_str());
  if (unixPath == nullptr) throw std::runtime_error("no Unix path for " + path);
  std::wstring result = ToWide(unixPath);
  HeapFree(GetProcessHeap(), 0, unixPath);
  return result;
}

// Starts a Unix program under Wine. Wine gives no handle to wait on, so callers watch for the
// program's effect instead.
void StartUnix(std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    throw std::runtime_error("cannot start a Unix program");
  }
  if (process.hThread != nullptr) CloseHandle(process.hThread);
  if (process.hProcess != nullptr) CloseHandle(process.hProcess);
}

template <class Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) Sleep(10);
  return done();
}

bool MakeJunction(const std::string& link, const std::string& target) {
  if (!CreateDirectoryW(Literal(link).c_str(), nullptr)) return false;
  const HANDLE handle = CreateFileW(Literal(link).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  BOOL ok = FALSE;
  if (handle != INVALID_HANDLE_VALUE) {
    const std::wstring substitute = L"\\??\\" + ToWide(target);
    const std::wstring print = ToWide(target);
    // REPARSE_DATA_BUFFER with its MountPointReparseBuffer, laid out by hand: MinGW's user-mode
    // headers lack it.
    std::vector<WORD> names(substitute.begin(), substitute.end());
    names.push_back(0);
    names.insert(names.end(), print.begin(), print.end());
    names.push_back(0);
    const WORD pathBytes = static_cast<WORD>(names.size() * sizeof(WORD));
    std::vector<unsigned char> buffer(8 + 8 + pathBytes);
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    const WORD header[6] = {static_cast<WORD>(8 + pathBytes), 0, 0, static_cast<WORD>(substitute.size() * 2),
                            static_cast<WORD>((substitute.size() + 1) * 2), static_cast<WORD>(print.size() * 2)};
    std::memcpy(buffer.data(), &tag, 4);
    std::memcpy(buffer.data() + 4, header, sizeof header);
    std::memcpy(buffer.data() + 16, names.data(), pathBytes);
    DWORD returned = 0;
    ok = DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                         0, &returned, nullptr);
    CloseHandle(handle);
  }
  if (!ok) RemoveDirectoryW(Literal(link).c_str());
  return ok != FALSE;
}

bool IsFolderLink(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Literal(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

void RemoveTree(const std::wstring& literal) {
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileW((literal + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = literal + L"\\" + name;
      const DWORD attributes = data.dwFileAttributes;
      if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        // A junction goes without its target. Under Wine a "reparse point" is a Unix link, which
        // its calls would follow to the target: the Unix side removes it below.
        if (WineToUnix() == nullptr) RemoveDirectoryW(child.c_str());
        continue;
      }
      SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
      if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        RemoveTree(child);
        RemoveDirectoryW(child.c_str());
      } else {
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(literal.c_str());
}

}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target) {
  if (MakeJunction(link, target)) return true;
  // Wine 8 implements neither FSCTL_SET_REPARSE_POINT nor CreateSymbolicLinkW (a stub that
  // reports success and makes nothing), but it reports a Unix symbolic link to a folder as a
  // directory reparse point, which is all a scan sees of a junction.
  if (WineToUnix() == nullptr) return false;
  StartUnix(L"/bin/ln -s \"" + UnixPath(target) + L"\" \"" + UnixPath(link) + L"\"");
  return WaitFor([&] { return IsFolderLink(link); });
}

TempFolder::TempFolder() {
  wchar_t base[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH + 1, base);
  if (length == 0) throw std::runtime_error("no temporary folder");
  std::wstring folder(base, length);
  if (folder.back() == L'\\') folder.pop_back();
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::wstring candidate = folder + L"\\vesk-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                   std::to_wstring(++counter);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = ToUtf8(candidate);
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary folder");
}

TempFolder::~TempFolder() {
  RemoveTree(Literal(path_));
  if (Exists(path_) && WineToUnix() != nullptr) {
    StartUnix(L"/bin/rm -rf \"" + UnixPath(path_) + L"\"");
    WaitFor([&] { return !Exists(path_); });
  }
}

void TempFolder::MakeFolder(const std::string& relative) const {
  std::size_t at = 0;
  while (at != std::string::npos) {
    at = relative.find('\\', at + 1);
    CreateDirectoryW(Literal(*this / relative.substr(0, at)).c_str(), nullptr);
  }
}

void TempFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
  const auto slash = relative.rfind('\\');
  if (slash != std::string::npos) MakeFolder(relative.substr(0, slash));
  const HANDLE file = CreateFileW(Literal(*this / relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + relative);
  DWORD written = 0;
  const BOOL ok = ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + relative);
}

bool Exists(const std::string& path) { return GetFileAttributesW(Literal(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace vesk::test
