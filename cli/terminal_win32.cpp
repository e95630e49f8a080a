#include <windows.h>

#include <algorithm>

#include "cli/terminal.h"
#include "platform/utf16.h"

namespace vesk::cli {
namespace {

void Write(DWORD which, std::string_view bytes) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  DWORD mode = 0;
  if (GetConsoleMode(handle, &mode)) {
    // A console: the characters themselves, whatever its code page; an unpaired surrogate of a
    // name is only shown, as U+FFFD.
    std::wstring wide = platform::ShownWide(bytes);
    std::wstring_view rest = wide;
    while (!rest.empty()) {
      DWORD written = 0;
      DWORD want = static_cast<DWORD>(std::min<std::size_t>(rest.size(), 16384));
      // Never split a surrogate pair between two writes.
      if (want < rest.size() && rest[want - 1] >= 0xD800 && rest[want - 1] <= 0xDBFF) --want;
      if (!WriteConsoleW(handle, rest.data(), want, &written, nullptr) || written == 0) return;
      rest.remove_prefix(written);
    }
    return;
  }
  // A file or pipe: the UTF-8 bytes unchanged.
  while (!bytes.empty()) {
    DWORD written = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
    if (!WriteFile(handle, bytes.data(), want, &written, nullptr) || written == 0) return;
    bytes.remove_prefix(written);
  }
}

}  // namespace

void WriteStandard(bool toError, std::string_view bytes) { Write(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE, bytes); }

bool StandardIsTerminal(bool toError) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(toError ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), &mode) != 0;
}

std::string Terminal::ErrorText(int error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      static_cast<DWORD>(error), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L'.' || text.back() == L' ')) {
    text.pop_back();
  }
  if (text.empty()) return "error " + std::to_string(error);
  return platform::Utf8(text);
}

}  // namespace vesk::cli
