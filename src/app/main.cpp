// korvel — the desktop concordancer.
#include <unistd.h>

#include <QApplication>

#include <memory>

#include "Desktop.h"
#include "Errors.h"
#include "KorvelVersion.h"
#include "Translations.h"
#include "Unit1.h"

int main(int argc, char** argv) {
  // Chromium refuses to run as root with its sandbox on (CI, containers).
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QApplication::setApplicationName("korvel");
  QApplication::setApplicationDisplayName(kAppTitle);
  QApplication::setApplicationVersion(KORVEL_VERSION);
  // Ties the window to the installed desktop entry and its icon.
  QGuiApplication::setDesktopFileName("io.github.korvel.Korvel");
  InstallTranslationsFromEnvironment();
  std::unique_ptr<TfrmMain> frmMain;
  try {
    frmMain = std::make_unique<TfrmMain>();
  } catch (const std::exception& e) {
    // What the window needs to start (the inflection lexicon) is missing.
    TDesktop().ShowError(nullptr, WithStop(TranslatedMessage(e)));
    return 1;
  }
  frmMain->showMaximized();
  return app.exec();
}
