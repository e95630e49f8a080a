#pragma once

// Opening addresses through the desktop shell.

#include <string>

#include "window/controls.h"

namespace vesk::window {

// Hands `address` to the shell's default open action and forgets it.
void OpenWWW(Shell& shell, const std::string& address);

// "http://" followed by `site` made into a host: every byte other than letters, digits, "-",
// "." , "_" and "~" is percent-encoded, so the shell only ever receives a well-formed web
// address and never a bare name it could take for a program or a file.
std::string SiteAddress(const std::string& site);

}  // namespace vesk::window
