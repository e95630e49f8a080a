// Not a test: where the time goes between a decoded cookie and the painted Values tree, step by
// step, for each file given: reading, indexing, the tree's model, the first level expanded, and
// the first layout and paint. Run on a real X server:
//   xvfb-run -a build/default/bench/vesk_qt_values_bench FILE...

#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QtTest>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "window/qt/values_view.h"

namespace {

// The process's resident memory in bytes.
double Resident() {
  long pages = 0, resident = 0;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(statm);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  vesk::window::ValuesTexts texts{"cookie", "bytes", "problem", "at byte", "not a .sol file", "cannot be read",
                                  "reference", "key", "value"};
  vesk::qt::ValuesTree tree(nullptr);
  tree.resize(480, 300);
  tree.show();
  if (!QTest::qWaitForWindowExposed(&tree)) return 1;
  for (int i = 1; i < argc; ++i) {
    QElapsedTimer timer;
    timer.start();
    std::ifstream in(argv[i], std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const qint64 read = timer.restart();
    vesk::lso::Tape tape = vesk::lso::Read(std::move(bytes).str(), vesk::platform::LargeBlocks());
    const qint64 index = timer.restart();
    vesk::window::ValuesModel model(std::move(tape), texts);
    const double before = Resident();
    tree.Show(&model);
    const qint64 show = timer.restart();
    tree.viewport()->repaint();
    const qint64 paint = timer.restart();
    const double view = Resident() - before;
    std::printf("%s: read %lld ms, index %lld ms, model and first level expanded %lld ms, layout and paint %lld ms; "
                "%zu rows at the top; the values hold %.1f MiB, the view took %.1f MiB more\n",
                argv[i], static_cast<long long>(read), static_cast<long long>(index), static_cast<long long>(show),
                static_cast<long long>(paint), model.RowCount(vesk::window::ValuesModel::kRoot),
                static_cast<double>(model.MemoryBytes()) / (1 << 20), view / (1 << 20));
    tree.Show(nullptr);
  }
  return 0;
}
