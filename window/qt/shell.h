#pragma once

// The desktop's open action on Linux.

#include "window/controls.h"

namespace vesk::qt {

// Hands the address to xdg-open, detached: the program neither waits nor leaves a zombie.
class XdgShell final : public window::Shell {
 public:
  void Open(const std::string& address) override;
};

}  // namespace vesk::qt
