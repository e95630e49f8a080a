// Not a test: how long filling the cookie list and Ctrl+A take, for 30,000 and 100,000 items (or
// the counts given), each until the window has handled everything the step posted.
// Run on a real X server: xvfb-run -a build/default/bench/vesk_qt_list_bench [COUNT...]

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "window/qt/main_window.h"
#include "window/qt/shell.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir appdata;  // an empty store: the list holds only what is added below
  qputenv("APPDATA", appdata.path().toUtf8());
  vesk::qt::XdgShell shell;
  vesk::qt::MainWindow window(vesk::platform::Native(), shell);
  window.Load();
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;

  std::vector<int> counts;
  for (int i = 1; i < argc; ++i) counts.push_back(std::atoi(argv[i]));
  if (counts.empty()) counts = {30000, 100000};
  auto& list = window.Form().Ctl().List1;
  for (const int count : counts) {
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
      paths.push_back("/home/user/.macromedia/Flash_Player/#SharedObjects/K3XQ2Z7M/site" + std::to_string(i) +
                      ".example/cookie.sol");
    }
    list.Clear();
    QCoreApplication::processEvents();
    QElapsedTimer timer;
    timer.start();
    list.AddItems(paths);
    QCoreApplication::processEvents();
    const qint64 fill = timer.restart();
    QTest::keyClick(&window.List1Widget(), Qt::Key_A, Qt::ControlModifier);
    QCoreApplication::processEvents();
    const qint64 selectAll = timer.elapsed();
    std::printf("items %d, selected %d: fill %lld ms, Ctrl+A (select, count, title) %lld ms; %s\n", list.ListCount(),
                list.SelCount(), static_cast<long long>(fill), static_cast<long long>(selectAll),
                window.windowTitle().toUtf8().constData());
  }
  return 0;
}
