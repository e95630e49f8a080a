#include "window/www.h"

namespace vesk::window {

void OpenWWW(Shell& shell, const std::string& address) { shell.Open(address); }

std::string SiteAddress(const std::string& site) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string address = "http://";
  for (const char ch : site) {
    const auto b = static_cast<unsigned char>(ch);
    const bool plain = (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') ||
                       b == '-' || b == '.' || b == '_' || b == '~';
    if (plain) {
      address += ch;
    } else {
      address += '%';
      address += kHex[b >> 4];
      address += kHex[b & 0x0F];
    }
  }
  return address;
}

}  // namespace vesk::window
