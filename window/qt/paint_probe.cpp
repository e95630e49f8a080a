#include "window/qt/paint_probe.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>
#include <chrono>
#include <cstdlib>

#include "window/qt/cookie_view.h"
#include "window/qt/main_window.h"

namespace vesk::qt {
namespace {

long long NowMicroseconds() {
  // steady_clock is CLOCK_MONOTONIC, the clock Python's time.monotonic() reads.
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

void PaintProbe::InstallFromEnvironment(MainWindow& window) {
  const char* path = std::getenv("VESK_PAINT_LOG");
  if (path == nullptr || *path == '\0') return;
  std::FILE* log = std::fopen(path, "a");
  if (log == nullptr) return;
  auto* probe = new PaintProbe(window, log);
  probe->setParent(&window);
  window.List1Widget().viewport()->installEventFilter(probe);
  window.List1Widget().installEventFilter(probe);
  window.Text1Widget().viewport()->installEventFilter(probe);
  window.ValuesWidget().viewport()->installEventFilter(probe);
}

PaintProbe::PaintProbe(MainWindow& window, std::FILE* log) : window_(window), log_(log) {}

PaintProbe::~PaintProbe() { std::fclose(log_); }

bool PaintProbe::eventFilter(QObject* watched, QEvent* event) {
  EventList& list = window_.List1Widget();
  CookieView& text = window_.Text1Widget();
  if (event->type() == QEvent::MouseButtonPress && watched == list.viewport()) {
    Log("press", list.count());
  } else if (event->type() == QEvent::KeyPress && watched == &list &&
             static_cast<QKeyEvent*>(event)->key() == Qt::Key_A) {
    Log("key", list.count());
  } else if (event->type() == QEvent::Paint && watched == window_.ValuesWidget().viewport()) {
    // The Values tree: its first level's rows, and what the values shown hold in memory.
    const window::ValuesModel* values = window_.Form().ShownValues();
    const long long rows = values ? static_cast<long long>(values->RowCount(window::ValuesModel::kRoot)) : 0;
    const long long bytes = values ? static_cast<long long>(values->MemoryBytes()) : 0;
    QTimer::singleShot(0, this, [this, rows, bytes] {
      std::fprintf(log_, "values %lld %lld %lld\n", NowMicroseconds(), rows, bytes);
      std::fflush(log_);
    });
  } else if (event->type() == QEvent::Paint) {
    // Paint events arrive inside one repaint pass that ends by handing the pixels to the
    // display; a queued call runs after that pass, so its time is when the paint was shown.
    const bool isText = watched == text.viewport();
    const long long count = isText ? window_.Text1Control().ShownLength() : list.count();
    QTimer::singleShot(0, this, [this, isText, count] {
      LogGeometry();
      Log(isText ? "text1" : "list1", count);
    });
  }
  return false;
}

void PaintProbe::Log(const char* what, long long count) {
  std::fprintf(log_, "%s %lld %lld\n", what, NowMicroseconds(), count);
  std::fflush(log_);
}

void PaintProbe::LogGeometry() {
  if (geometryLogged_) return;
  geometryLogged_ = true;
  // Where a driver has to click: the first row of the cookie list (its centre and the row
  // height), the check box, and the middle of the tabs' area (inside the Values tree once its
  // tab is shown).
  EventList& list = window_.List1Widget();
  const QRect row = list.visualRect(list.model()->index(0, 0));
  const QPoint rowAt = list.viewport()->mapTo(&window_, row.center());
  const QRect box = window_.Check1Widget().geometry();
  const QPoint tabsAt = window_.TabsWidget().geometry().center();
  std::fprintf(log_, "geometry row0 %d %d %d check1 %d %d tabs %d %d\n", rowAt.x(), rowAt.y(), row.height(),
               box.x() + 6, box.y() + box.height() / 2, tabsAt.x(), tabsAt.y());
  std::fflush(log_);
}

}  // namespace vesk::qt
