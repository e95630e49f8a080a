#include "window/win32/last_words.h"

#include <windows.h>

#include <string>

#include "base/failure.h"

namespace vesk::win32 {

void EndAfterException() noexcept {
  const std::string what = base::CurrentExceptionText();
  // Converted by hand: the text is ASCII, and allocating is what may have failed.
  wchar_t text[96] = L"Vesk: ";
  std::size_t at = 6;
  for (const char c : what) {
    if (at + 1 >= sizeof text / sizeof text[0]) break;
    text[at++] = static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  text[at] = L'\0';
  MessageBoxW(nullptr, text, L"Vesk", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(1);
}

}  // namespace vesk::win32
