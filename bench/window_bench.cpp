// korvel-window-bench DIR QUERY...: the window's answer time as a user sees
// it, from the click on Search to the result page shown. The first query
// loads DIR (from the corpus cache when there is one), the next ones search
// what is loaded. Run it under a display (xvfb-run) from the program folder.
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <memory>

#include "Desktop.h"
#include "ResultView.h"
#include "Unit1.h"

namespace {

struct TFolderDesktop : TDesktop {
  QString folder;
  QString ChooseFolder(QWidget*, const QString&) override { return folder; }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: korvel-window-bench DIR QUERY...\n");
    return 2;
  }
  // As the program does: Chromium refuses to run as root with its sandbox on.
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  auto desktop = std::make_unique<TFolderDesktop>();
  desktop->folder = QString::fromLocal8Bit(argv[1]);
  TfrmMain w(std::move(desktop));
  w.show();
  if (!QTest::qWaitForWindowExposed(&w)) return 1;
  w.btnChoseText->click();
  QTest::qWait(500);  // the blank page and the file list settle first
  for (int q = 2; q < argc; ++q) {
    bool shown = false;
    const auto c = QObject::connect(w.wbResult, &TResultView::loaded, [&] {
      shown = shown || w.wbResult->Url() == QUrl::fromLocalFile(w.ResultPagePath());
    });
    w.edtSearch->setText(QString::fromUtf8(argv[q]));
    QElapsedTimer clock;
    clock.start();
    const QString before = w.lbLog->text();
    w.btnSearch->click();
    // The status line takes the run's figures as its page is handed to the
    // view, which shows a blank page meanwhile: the page's own load after
    // that is the answer.
    auto wait = [&clock](auto done) {
      while (!done() && clock.elapsed() < 120000) QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    };
    wait([&] { return w.lbLog->text() != before && w.lbLog->text().contains(QLatin1String("item(s)")); });
    shown = false;
    wait([&] { return shown; });
    const qint64 ms = clock.elapsed();
    QObject::disconnect(c);
    while (w.Running()) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    std::printf("%-20s %6lld ms to the page   %s\n", argv[q], static_cast<long long>(ms),
                qPrintable(w.lbLog->text()));
    std::fflush(stdout);
  }
  return 0;
}
