// The stand-in for builds where the embedded browser cannot run: a text
// browser that shows the page's text and runs nothing.
#include <QContextMenuEvent>
#include <QFile>
#include <QMenu>
#include <QScrollBar>
#include <QTextBrowser>
#include <QTextTable>
#include <QVBoxLayout>
#include <utility>

#include "ResultView.h"

namespace {

class TPlainBrowser : public QTextBrowser {
 public:
  using QTextBrowser::QTextBrowser;
  QUrl shown;
  std::function<void(QContextMenuEvent*)> menu;

 protected:
  // Pages may name images or other files; the stand-in loads none of them.
  QVariant loadResource(int, const QUrl&) override { return {}; }
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (menu) menu(event);
  }
};

TPlainBrowser* Browser(QWidget* view) { return static_cast<TPlainBrowser*>(view); }

QString CellText(const QTextTableCell& cell) {
  QTextCursor c = cell.firstCursorPosition();
  c.setPosition(cell.lastCursorPosition().position(), QTextCursor::KeepAnchor);
  return c.selectedText();
}

// The rows of the hit at a point of the viewport: the row with the hit's
// number, which spans two, and the one after it.
QStringList HitAt(const QTextBrowser* browser, QPoint at) {
  const QTextCursor c = browser->cursorForPosition(at);
  const QTextTable* table = c.currentTable();
  if (!table || table->columns() != 2) return {};
  const QTextTableCell number = table->cellAt(table->cellAt(c).row(), 0);
  if (number.rowSpan() != 2) return {};
  return {CellText(table->cellAt(number.row(), 1)), CellText(table->cellAt(number.row() + 1, 1))};
}

}  // namespace

TResultView::TResultView(QWidget* parent) : QWidget(parent) {
  auto* browser = new TPlainBrowser(this);
  browser->setOpenLinks(false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(browser);
  setFocusProxy(browser);
  view_ = browser;
  browser->menu = [this, browser](QContextMenuEvent* event) {
    const QPoint at = event->pos();
    QMenu* menu = Menu(
        browser->textCursor().hasSelection(), [browser] { browser->copy(); },
        [browser, at](std::function<void(const QStringList&)> give) { give(HitAt(browser, at)); },
        [browser] { browser->selectAll(); });
    menu->popup(event->globalPos());
  };
}

void TResultView::ShowFile(const QString& path) {
  TPlainBrowser* browser = Browser(view_);
  browser->shown = QUrl::fromLocalFile(path);
  QFile file(path);
  browser->setHtml(file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString());
  browser->verticalScrollBar()->setValue(0);
  emit loaded();
}

void TResultView::ShowAgain() {
  QScrollBar* bar = Browser(view_)->verticalScrollBar();
  const int at = bar->value();
  ShowFile(Browser(view_)->shown.toLocalFile());
  bar->setValue(at);
}

void TResultView::ShowBlank(const QString& path) { ShowFile(path); }

QUrl TResultView::Url() const { return Browser(view_)->shown; }

QPointF TResultView::ScrollPosition() const {
  const TPlainBrowser* browser = Browser(view_);
  return QPointF(browser->horizontalScrollBar()->value(), browser->verticalScrollBar()->value());
}

void TResultView::ReadText(std::function<void(const QString&)> done) const { done(Browser(view_)->toPlainText()); }

void TResultView::Find(const QString& text, bool backward, std::function<void(int, int)> done) {
  TPlainBrowser* browser = Browser(view_);
  QTextCursor from = browser->textCursor();
  if (text.isEmpty()) {
    from.clearSelection();
    browser->setTextCursor(from);
    done(0, 0);
    return;
  }
  // A changed text is looked for from the current match on, so typing on
  // keeps the place.
  if (from.selectedText().compare(text, Qt::CaseInsensitive) != 0) from.setPosition(from.selectionStart());
  const QTextDocument* doc = browser->document();
  const QTextDocument::FindFlags flags = backward ? QTextDocument::FindBackward : QTextDocument::FindFlags();
  QTextCursor hit = doc->find(text, from, flags);
  if (hit.isNull()) hit = doc->find(text, backward ? doc->characterCount() - 1 : 0, flags);  // wraps round
  int current = 0, count = 0;
  for (QTextCursor c = doc->find(text, 0); !c.isNull(); c = doc->find(text, c)) {
    ++count;
    if (c.selectionStart() == hit.selectionStart()) current = count;
  }
  if (!hit.isNull()) browser->setTextCursor(hit);
  done(hit.isNull() ? 0 : current, count);
}

bool TResultView::RunsScripts() const { return false; }
bool TResultView::ReadsOtherFiles() const { return false; }
bool TResultView::ReachesRemote() const { return false; }
