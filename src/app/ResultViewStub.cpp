// The stand-in for builds where the embedded browser cannot run: a text
// browser that shows the page's text and runs nothing.
#include <QFile>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "ResultView.h"

namespace {

class TPlainBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QUrl shown;

 protected:
  // Pages may name images or other files; the stand-in loads none of them.
  QVariant loadResource(int, const QUrl&) override { return {}; }
};

TPlainBrowser* Browser(QWidget* view) { return static_cast<TPlainBrowser*>(view); }

}  // namespace

TResultView::TResultView(QWidget* parent) : QWidget(parent) {
  auto* browser = new TPlainBrowser(this);
  browser->setOpenLinks(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser);
  setFocusProxy(browser);
  view_ = browser;
}

void TResultView::ShowFile(const QString& path) {
  TPlainBrowser* browser = Browser(view_);
  browser->shown = QUrl::fromLocalFile(path);
  QFile file(path);
  browser->setHtml(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
}

QUrl TResultView::Url() const { return Browser(view_)->shown; }

void TResultView::ReadText(std::function<void(const QString&)> done) const { done(Browser(view_)->toPlainText()); }

bool TResultView::RunsScripts() const { return false; }
bool TResultView::ReadsOtherFiles() const { return false; }
bool TResultView::ReachesRemote() const { return false; }
