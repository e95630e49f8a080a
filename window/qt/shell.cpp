#include "window/qt/shell.h"

#include <QProcess>
#include <QString>

namespace vesk::qt {

void XdgShell::Open(const std::string& address) {
  // The address goes as one argument, never through a shell or a URL guesser; startDetached
  // reparents the child, so nothing is left to reap.
  QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromUtf8(address)});
}

}  // namespace vesk::qt
