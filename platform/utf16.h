#pragma once

// The program's text to and from UTF-16, the text of the Windows API. Windows builds only;
// defined in win32.cpp.
//
// Inside the program text is WTF-8 (base/wtf8.h): UTF-8, extended to the unpaired surrogates that
// a Windows name may hold, so that such a name survives from the scan to the delete call.

#include <string>
#include <string_view>

namespace vesk::platform {

// Exactly, both ways: for everything handed to or taken from the system.
std::wstring Wide(std::string_view text);
std::string Utf8(std::wstring_view text);

// For what is only shown (a list row, a caption, the console): each unpaired surrogate becomes
// U+FFFD.
std::wstring ShownWide(std::string_view text);

}  // namespace vesk::platform
