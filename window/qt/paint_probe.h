#pragma once

// Timing for the window benchmark (bench/window_bench.py). With VESK_PAINT_LOG naming a file,
// the program logs, with the monotonic clock in microseconds, when a press or the key A reached
// the cookie list and when a paint of the list, the text view or the Values tree has been handed
// to the display, with what each held then. Without the variable nothing is installed.

#include <QObject>
#include <cstdio>

class QAbstractScrollArea;

namespace vesk::qt {

class MainWindow;

class PaintProbe final : public QObject {
 public:
  // Installs a probe on the window when VESK_PAINT_LOG is set; it lives as long as the window.
  static void InstallFromEnvironment(MainWindow& window);
  ~PaintProbe() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  PaintProbe(MainWindow& window, std::FILE* log);
  void Log(const char* what, long long count);
  void LogGeometry();

  MainWindow& window_;
  std::FILE* log_;
  bool geometryLogged_ = false;
};

}  // namespace vesk::qt
