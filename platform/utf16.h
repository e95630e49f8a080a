#pragma once

// UTF-8, the program's text, to and from UTF-16, the text of the Windows API. Windows builds
// only; defined in win32.cpp.

#include <string>
#include <string_view>

namespace vesk::platform {

std::wstring Wide(std::string_view text);
std::string Utf8(std::wstring_view text);

}  // namespace vesk::platform
