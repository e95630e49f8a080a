#include <windows.h>

#include "cli/question.h"
#include "platform/utf16.h"

namespace vesk::cli {

bool TerminalQuestion::Interactive() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

std::string TerminalQuestion::Ask(const std::string& prompt) {
  terminal_.Flush();  // the selection first
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0, written = 0;
  const std::wstring widePrompt = platform::Wide(prompt);
  if (GetConsoleMode(error, &mode)) {
    WriteConsoleW(error, widePrompt.data(), static_cast<DWORD>(widePrompt.size()), &written, nullptr);
  } else {
    WriteFile(error, prompt.data(), static_cast<DWORD>(prompt.size()), &written, nullptr);
  }
  // The console's line editing delivers one whole line, ended by CR LF.
  std::wstring answer;
  wchar_t buffer[256];
  DWORD got = 0;
  while (ReadConsoleW(GetStdHandle(STD_INPUT_HANDLE), buffer, 256, &got, nullptr) && got > 0) {
    answer.append(buffer, got);
    if (answer.back() == L'\n') break;
  }
  while (!answer.empty() && (answer.back() == L'\n' || answer.back() == L'\r')) answer.pop_back();
  return platform::Utf8(answer);
}

}  // namespace vesk::cli
