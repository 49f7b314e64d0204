#include "FindBar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

TFindBar::TFindBar(TResultView* view, QWidget* parent) : QWidget(parent), view_(view) {
  auto* caption = new QLabel(tr("Find:"));
  edtFind = new QLineEdit;
  edtFind->setAccessibleName(tr("Find in results"));
  edtFind->setFixedWidth(240);
  edtFind->setClearButtonEnabled(true);
  caption->setBuddy(edtFind);
  edtFind->installEventFilter(this);
  btnPrevious = new QToolButton;
  btnPrevious->setArrowType(Qt::UpArrow);
  btnPrevious->setAccessibleName(tr("Previous match"));
  btnPrevious->setToolTip(tr("Previous match (Shift+Enter)"));
  btnNext = new QToolButton;
  btnNext->setArrowType(Qt::DownArrow);
  btnNext->setAccessibleName(tr("Next match"));
  btnNext->setToolTip(tr("Next match (Enter)"));
  lbMatches = new QLabel;
  lbMatches->setAccessibleDescription(tr("Matches"));
  lbMatches->setMinimumWidth(90);
  btnClose = new QToolButton;
  btnClose->setText(QString::fromUtf8("✕"));
  btnClose->setAutoRaise(true);
  btnClose->setAccessibleName(tr("Close find"));
  btnClose->setToolTip(tr("Close (Esc)"));

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 2, 0, 2);
  row->addWidget(caption);
  row->addWidget(edtFind);
  row->addWidget(btnPrevious);
  row->addWidget(btnNext);
  row->addSpacing(6);
  row->addWidget(lbMatches);
  row->addStretch(1);
  row->addWidget(btnClose);

  connect(edtFind, &QLineEdit::textChanged, this, [this] { Find(false); });
  connect(btnNext, &QToolButton::clicked, this, &TFindBar::FindNext);
  connect(btnPrevious, &QToolButton::clicked, this, &TFindBar::FindPrevious);
  connect(btnClose, &QToolButton::clicked, this, &TFindBar::Close);
  // A new page has matches of its own.
  connect(view_, &TResultView::loaded, this, [this] {
    if (!isHidden()) Find(false);
  });
}

void TFindBar::Open() {
  const bool opening = isHidden();
  show();
  edtFind->setFocus(Qt::ShortcutFocusReason);
  edtFind->selectAll();
  if (!opening) return;
  Find(false);
  emit openChanged(true);
}

void TFindBar::Close() {
  if (isHidden()) return;
  ++asked_;
  hide();
  view_->Find(QString(), false, [](int, int) {});
  lbMatches->clear();
  view_->setFocus(Qt::OtherFocusReason);
  emit openChanged(false);
}

bool TFindBar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edtFind && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Find(key->modifiers() & Qt::ShiftModifier);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void TFindBar::Find(bool backward) {
  const int asked = ++asked_;
  const QString text = edtFind->text();
  view_->Find(text, backward, [bar = QPointer<TFindBar>(this), asked, empty = text.isEmpty()](int current, int count) {
    if (!bar || asked != bar->asked_) return;
    if (empty)
      bar->lbMatches->clear();
    else if (count == 0)
      bar->lbMatches->setText(tr("No matches"));
    else
      bar->lbMatches->setText(tr("%1 of %2").arg(current).arg(count));
  });
}
