#pragma once

// Reading a cookie file for the text view.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vesk::cookies {

// A deeper scan may list any huge file that happens to end in .sol: show only its start.
inline constexpr std::size_t kMaxShownBytes = std::size_t{16} << 20;

// The text shown for a cookie's bytes; see details.cpp for the rules.
std::string CookieText(std::string_view bytes);
// The same text in UTF-16, as the window's toolkit holds it: made straight from the bytes, with
// no UTF-8 form and no conversion between, since a big cookie's text is tens of megabytes.
platform::Utf16String CookieTextUtf16(std::string_view bytes);

// The file's text as CookieTextUtf16 gives it, read from at most its first kMaxShownBytes;
// nullopt when it cannot be read (gone, no regular file, no access).
std::optional<platform::Utf16String> ReadCookieTextUtf16(platform::System& system, const std::string& path);

}  // namespace vesk::cookies
