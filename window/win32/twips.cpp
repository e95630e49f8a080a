#include "window/win32/twips.h"

#include <cmath>

namespace vesk::win32 {

int WindowDpi(HWND hwnd) {
  // GetDpiForWindow exists from Windows 10 1607 on; look it up so older systems still start.
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr && hwnd != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi != 0) return static_cast<int>(dpi);
  }
  const HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

float PixelsToTwips(int pixels, int dpi) { return static_cast<float>(static_cast<double>(pixels) * 1440.0 / dpi); }

namespace {

RECT RectInParent(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

}  // namespace

void MoveInTwips(HWND hwnd, float left, std::optional<float> top, std::optional<float> width,
                 std::optional<float> height) {
  const int dpi = WindowDpi(hwnd);
  const RECT old = RectInParent(hwnd);
  const int x = TwipsToPixels(left, dpi);
  const int y = top ? TwipsToPixels(*top, dpi) : static_cast<int>(old.top);
  const int cx = width ? TwipsToPixels(*width, dpi) : static_cast<int>(old.right - old.left);
  const int cy = height ? TwipsToPixels(*height, dpi) : static_cast<int>(old.bottom - old.top);
  SetWindowPos(hwnd, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

float WidthInTwips(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return PixelsToTwips(rect.right - rect.left, WindowDpi(hwnd));
}

float HeightInTwips(HWND hwnd) {
  RECT rect{};
  GetWindowRect(hwnd, &rect);
  return PixelsToTwips(rect.bottom - rect.top, WindowDpi(hwnd));
}

}  // namespace vesk::win32
