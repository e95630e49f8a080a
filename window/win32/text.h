#pragma once

// The front end uses the platform layer's conversions between the program's text and UTF-16:
// ShownWide for what a control only shows, Wide and Utf8 for what goes back to the system.

#include "platform/utf16.h"

namespace vesk::win32 {

using platform::ShownWide;
using platform::Utf8;
using platform::Wide;

}  // namespace vesk::win32
