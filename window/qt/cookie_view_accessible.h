#pragma once

namespace vesk::qt {

// Lets screen readers read Text1: the view draws its own lines, so Qt knows no text in it unless
// told. Called by every CookieView; installs the factory once.
void InstallCookieViewAccessibility();

}  // namespace vesk::qt
