#pragma once

// Standard base64 (RFC 4648, section 4) with padding, for exact bytes inside JSON.

#include <string>
#include <string_view>

namespace vesk::base {

void AppendBase64(std::string& out, std::string_view bytes);
std::string Base64(std::string_view bytes);

}  // namespace vesk::base
