#pragma once

// The layout works in twips (1/1440 inch), windows in pixels. The conversion goes through the
// window's own DPI, so 15 twips make one pixel at 96 dpi and the layout follows the monitor.

#include <windows.h>

#include <optional>

namespace vesk::win32 {

// The DPI the window is drawn at: per monitor where the system knows it, else the screen's.
int WindowDpi(HWND hwnd);

int TwipsToPixels(float twips, int dpi);
float PixelsToTwips(int pixels, int dpi);

// Moves a child window in one SetWindowPos; a value not given keeps the current one.
void MoveInTwips(HWND hwnd, float left, std::optional<float> top, std::optional<float> width,
                 std::optional<float> height);
float WidthInTwips(HWND hwnd);
float HeightInTwips(HWND hwnd);

}  // namespace vesk::win32
