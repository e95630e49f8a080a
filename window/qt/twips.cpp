#include "window/qt/twips.h"

#include <QWidget>
#include <cmath>

namespace vesk::qt {

int TwipsToPixels(float twips, int dpi) {
  return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

float PixelsToTwips(int pixels, int dpi) {
  return static_cast<float>(static_cast<double>(pixels) * 1440.0 / dpi);
}

void MoveInTwips(QWidget& widget, float left, std::optional<float> top, std::optional<float> width,
                 std::optional<float> height) {
  const int dpiX = widget.logicalDpiX();
  const int dpiY = widget.logicalDpiY();
  const QRect old = widget.geometry();
  widget.setGeometry(TwipsToPixels(left, dpiX), top ? TwipsToPixels(*top, dpiY) : old.y(),
                     width ? TwipsToPixels(*width, dpiX) : old.width(),
                     height ? TwipsToPixels(*height, dpiY) : old.height());
}

float WidthInTwips(const QWidget& widget) { return PixelsToTwips(widget.width(), widget.logicalDpiX()); }

float HeightInTwips(const QWidget& widget) {
  return PixelsToTwips(widget.height(), widget.logicalDpiY());
}

}  // namespace vesk::qt
