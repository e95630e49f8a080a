// The Linux program: the Qt window over Form1.

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"
#include "window/qt/main_window.h"
#include "window/qt/paint_probe.h"
#include "window/qt/shell.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

int main(int argc, char** argv) {
  // Without a display Qt would abort with a long plugin message; say it in one line instead.
  if (!Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && std::getenv("QT_QPA_PLATFORM") == nullptr) {
    std::fputs("vesk: no display found; set DISPLAY or run under xvfb-run\n", stderr);
    return 1;
  }
  vesk::platform::SetStartName(argc > 0 ? argv[0] : "vesk");
  QApplication app(argc, argv);

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
}
