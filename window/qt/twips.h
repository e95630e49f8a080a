#pragma once

// Layout works in twips (1/1440 inch); widgets in device-independent pixels. The conversion goes
// through the screen's logical DPI, so 15 twips make one pixel at 96 dpi.

#include <optional>

class QWidget;

namespace vesk::qt {

int TwipsToPixels(float twips, int dpi);
float PixelsToTwips(int pixels, int dpi);

// Moves `widget` in one setGeometry; a value not given keeps the widget's current one.
void MoveInTwips(QWidget& widget, float left, std::optional<float> top, std::optional<float> width,
                 std::optional<float> height);
float WidthInTwips(const QWidget& widget);
float HeightInTwips(const QWidget& widget);

}  // namespace vesk::qt
