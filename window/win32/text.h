#pragma once

// The front end uses the platform layer's conversions between UTF-8 and UTF-16.

#include "platform/utf16.h"

namespace vesk::win32 {

using platform::Utf8;
using platform::Wide;

}  // namespace vesk::win32
