#include <QVBoxLayout>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <utility>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "ResultView.h"

namespace {

// Follows no link and loads nothing a page asks for: only the files the
// program shows.
class TLockedPage : public QWebEnginePage {
 public:
  using QWebEnginePage::QWebEnginePage;

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override {
    return isMainFrame && type == NavigationTypeTyped && url.isLocalFile();
  }
};

QWebEngineView* Web(QWidget* view) { return static_cast<QWebEngineView*>(view); }

}  // namespace

TResultView::TResultView(QWidget* parent) : QWidget(parent) {
  auto* web = new QWebEngineView(this);
  web->setPage(new TLockedPage(web));
  QWebEngineSettings* settings = web->settings();
  settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
  settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
  settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(web);
  setFocusProxy(web);
  view_ = web;
  connect(web->page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& info) {
    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus || info.url() != loading_) return;
    loading_.clear();
    if (std::exchange(again_, false)) ShowFile(info.url().toLocalFile());
  });
}

void TResultView::ShowFile(const QString& path) {
  const QUrl url = QUrl::fromLocalFile(path);
  // Asking for the same file while it loads cancels that load and leaves
  // the view on the page before for a while: wait for it instead.
  if (url == loading_) {
    again_ = true;
    return;
  }
  loading_ = url;
  again_ = false;
  Web(view_)->setUrl(url);
}

QUrl TResultView::Url() const { return Web(view_)->url(); }

void TResultView::ReadText(std::function<void(const QString&)> done) const {
  Web(view_)->page()->toPlainText([done = std::move(done)](const QString& text) { done(text); });
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
