// korvel — the desktop concordancer.
#include <unistd.h>

#include <QApplication>

#include "Unit1.h"

int main(int argc, char** argv) {
  // Chromium refuses to run as root with its sandbox on (CI, containers).
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("korvel");
  QApplication::setApplicationDisplayName(kAppTitle);
  TfrmMain frmMain;
  frmMain.showMaximized();
  return app.exec();
}
