#include <QContextMenuEvent>
#include <QGridLayout>
#include <QMenu>
#include <QWebEngineContextMenuRequest>
#include <QWebEngineFindTextResult>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <utility>

#include "ResultView.h"

namespace {

// Follows no link and loads nothing a page asks for: only the files the
// program shows.
class TLockedPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

  // Saving the page would make a downloads folder; the others navigate or
  // open windows of their own.
  void triggerAction(WebAction action, bool checked = false) override {
    if (action == Copy || action == SelectAll || action == Unselect) QWebEnginePage::triggerAction(action, checked);
  }

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    return isMainFrame && type == NavigationTypeTyped && url.isLocalFile();
  }
};

class TLockedView : public QWebEngineView {
 public:
  using QWebEngineView::QWebEngineView;
  std::function<void(QContextMenuEvent*)> menu;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (menu) menu(event);
  }
};

// The rows of the hit at a point of the page: the row with the hit's number
// and the one after it. Runs apart from the page, whose own scripts are off.
const char* const kHitAt = R"((function (x, y) {
  var e = document.elementFromPoint(x, y);
  var row = e && e.closest('tr');
  if (row && !row.querySelector('td.no')) row = row.previousElementSibling;
  var next = row && row.nextElementSibling;
  if (!next || row.cells.length != 2 || next.cells.length != 1 || !row.cells[0].classList.contains('no')) return [];
  return [row.cells[1].textContent, next.cells[0].textContent];
})(%1, %2))";

QWebEngineView* Web(QWidget* view) { return static_cast<QWebEngineView*>(view); }

}  // namespace

TResultView::TResultView(QWidget* parent) : QWidget(parent) {
  auto* web = new TLockedView(this);
  web->setPage(new TLockedPage(web));
  QWebEngineSettings* settings = web->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  // The browser keeps showing the last page until the next one paints, for
  // seconds while it parses a long one: the empty page alone is no promise.
  cover_ = new QWidget(this);
  cover_->setAutoFillBackground(true);
  QPalette white = cover_->palette();
  white.setColor(QPalette::Window, Qt::white);
  cover_->setPalette(white);
  cover_->hide();
  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(web, 0, 0);
  layout->addWidget(cover_, 0, 0);
  setFocusProxy(web);
  view_ = web;
  connect(web->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || info.url() != loading_) return;
    loading_.clear();
    if (std::exchange(again_, false)) {
      ShowAgain();
      return;
    }
    if (info.url().hasQuery()) cover_->hide();  // only ShowFile's pages carry a number
    emit loaded();
  });
  web->menu = [this, web](QContextMenuEvent* event) {
    const QWebEngineContextMenuRequest* request = web->lastContextMenuRequest();
    const QPointF at = QPointF(request ? request->position() : event->pos()) / web->zoomFactor();
    QMenu* menu = Menu(
        request && !request->selectedText().isEmpty(), [web] { web->page()->triggerAction(QWebEnginePage::Copy); },
        [web, at](std::function<void(const QStringList&)> give) {
          web->page()->runJavaScript(QString::fromLatin1(kHitAt).arg(at.x()).arg(at.y()),
                                     QWebEngineScript::ApplicationWorld,
                                     [give = std::move(give)](const QVariant& rows) { give(rows.toStringList()); });
        },
        [web] { web->page()->triggerAction(QWebEnginePage::SelectAll); });
    menu->popup(event->globalPos());
  };
}

void TResultView::ShowFile(const QString& path) {
  // The same address again would be a reload, which keeps the reader's place.
  QUrl url = QUrl::fromLocalFile(path);
  url.setQuery(QStringLiteral("run=%1").arg(++shown_));
  loading_ = url;
  again_ = false;
  Web(view_)->setUrl(url);
}

void TResultView::ShowAgain() {
  // Asking while a page loads cancels that load and leaves the view on the
  // page before for a while: wait for it instead.
  if (!loading_.isEmpty()) {
    again_ = true;
    return;
  }
  loading_ = Web(view_)->url();
  Web(view_)->setUrl(loading_);
}

void TResultView::ShowBlank(const QString& path) {
  cover_->raise();
  cover_->show();
  loading_ = QUrl::fromLocalFile(path);
  again_ = false;
  Web(view_)->setUrl(loading_);
}

QUrl TResultView::Url() const { return Web(view_)->url().adjusted(QUrl::RemoveQuery); }

QPointF TResultView::ScrollPosition() const { return Web(view_)->page()->scrollPosition(); }

void TResultView::ReadText(std::function<void(const QString&)> done) const {
  Web(view_)->page()->toPlainText([done = std::move(done)](const QString& text) { done(text); });
}

void TResultView::Find(const QString& text, bool backward, std::function<void(int, int)> done) {
  if (text.isEmpty()) {
    Web(view_)->page()->findText(QString());
    done(0, 0);
    return;
  }
  Web(view_)->page()->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags(),
                               [done = std::move(done)](const QWebEngineFindTextResult& result) {
                                 done(result.activeMatch(), result.numberOfMatches());
                               });
}

bool TResultView::RunsScripts() const {
  return Web(view_)->settings()->testAttribute(QWebEngineSettings::JavascriptEnabled);
}

bool TResultView::ReadsOtherFiles() const {
  return Web(view_)->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls);
}

bool TResultView::ReachesRemote() const {
  return Web(view_)->settings()->testAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls);
}
