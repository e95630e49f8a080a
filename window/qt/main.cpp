// The Linux program: the Qt window over Form1.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "base/failure.h"
#include "platform/platform.h"
#include "window/qt/main_window.h"
#include "window/qt/paint_probe.h"
#include "window/qt/shell.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// One line on standard error and status 1 when an exception escapes (out of memory, or a fault
// of ours), never an abort. Call it only inside a catch block.
[[noreturn]] void EndAfterException() noexcept {
  const std::string what = vesk::base::CurrentExceptionText();
  std::fputs("vesk: ", stderr);
  std::fputs(what.c_str(), stderr);
  std::fputs("\n", stderr);
  std::fflush(stderr);
  std::_Exit(1);
}

// Qt cannot let an exception pass through its event loop: one from a handler ends here.
class GuardedApplication final : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (...) {
      EndAfterException();
    }
  }
};

}  // namespace

int main(int argc, char** argv) try {
  // Without a display Qt would abort with a long plugin message; say it in one line instead.
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    std::fputs("vesk: no display found; set DISPLAY or run under xvfb-run\n", stderr);
    return 1;
  }
  vesk::platform::SetStartName(argc > 0 ? argv[0] : "vesk");
  GuardedApplication app(argc, argv);

  // The standard buttons of message boxes speak the desktop's language, as on Windows.
  QTranslator toolkitTexts;
  if (toolkitTexts.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&toolkitTexts);
  }

  vesk::qt::XdgShell shell;
  vesk::qt::MainWindow window(vesk::platform::Native(), shell);
  window.Load();
  vesk::qt::PaintProbe::InstallFromEnvironment(window);
  window.show();
  return QApplication::exec();
} catch (...) {
  EndAfterException();
}
