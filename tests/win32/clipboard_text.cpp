// The clipboard's text as UTF-8 on standard output, exactly as it is held (line ends included),
// so that the end-to-end test reads what the window copied. "clear" empties the clipboard first.
// Exit status 1 when it holds no text (yet), 2 when it cannot be opened.

#include <windows.h>

#include <string>

namespace {

bool Open() {
  for (int attempt = 0; attempt < 50; ++attempt) {  // the window may hold it for a moment
    if (OpenClipboard(nullptr)) return true;
    Sleep(20);
  }
  return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (!Open()) return 2;
  if (argc == 2 && std::wstring(argv[1]) == L"clear") {
    EmptyClipboard();
    CloseClipboard();
    return 0;
  }
  std::string text;
  bool found = false;
  if (const HANDLE memory = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(memory))) {
      const int length = lstrlenW(wide);
      const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
      text.resize(static_cast<std::size_t>(bytes));
      WideCharToMultiByte(CP_UTF8, 0, wide, length, text.data(), bytes, nullptr, nullptr);
      found = true;
      GlobalUnlock(memory);
    }
  }
  CloseClipboard();
  if (!found) return 1;
  DWORD written = 0;
  for (std::size_t at = 0; at < text.size(); at += written) {
    if (!WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data() + at, static_cast<DWORD>(text.size() - at), &written,
                   nullptr) || written == 0)
      return 2;
  }
  return 0;
}
