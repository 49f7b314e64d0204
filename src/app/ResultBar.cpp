#include "ResultBar.h"

#include <QComboBox>
#include <algorithm>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QStandardItemModel>

#include "ResultPage.h"

using namespace korvel;

namespace {

constexpr TSortKey kKeys[] = {TSortKey::File,   TSortKey::Hit,    TSortKey::Left1,  TSortKey::Left2,
                              TSortKey::Left3,  TSortKey::Right1, TSortKey::Right2, TSortKey::Right3,
                              TSortKey::Translation};
constexpr int kTranslationItem = 8;

QString Grouped(qint64 n) { return QLocale(QLocale::English).toString(n); }

}  // namespace

TResultBar::TResultBar(QWidget* parent) : QWidget(parent) {
  cbxView = new QComboBox;
  cbxView->addItems({tr("Pairs"), tr("KWIC")});
  cbxView->setAccessibleName(tr("View"));
  cbxView->setToolTip(tr("Each hit as its two lines, or as one line of key word in context"));
  cbxSort = new QComboBox;
  cbxSort->addItems({tr("File and line"), tr("Hit"), tr("1st word left"), tr("2nd word left"), tr("3rd word left"),
                     tr("1st word right"), tr("2nd word right"), tr("3rd word right"), tr("Translation")});
  cbxSort->setItemData(kTranslationItem, tr("By the first row of the translation table that the aligned line holds"),
                       Qt::ToolTipRole);
  SetTranslations(false);
  cbxSort->setAccessibleName(tr("Sort"));
  cbxSort->setToolTip(tr("The order of the hits; ties keep the order of the files"));
  btnPrevious = new QPushButton(tr("Previous 10,000"));
  btnNext = new QPushButton(tr("Next 10,000"));
  lblHits = new QLabel;
  lblHits->setAccessibleName(tr("Hits shown"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* view = new QLabel(tr("View"));
  view->setBuddy(cbxView);
  auto* sort = new QLabel(tr("Sort"));
  sort->setBuddy(cbxSort);
  layout->addWidget(view);
  layout->addWidget(cbxView);
  layout->addSpacing(8);
  layout->addWidget(sort);
  layout->addWidget(cbxSort);
  layout->addStretch(1);
  layout->addWidget(lblHits);
  layout->addWidget(btnPrevious);
  layout->addWidget(btnNext);
  connect(cbxView, &QComboBox::activated, this, [this] { emit changed(); });
  connect(cbxSort, &QComboBox::activated, this, [this] {
    page_ = 0;  // a new order starts at its first hit
    Update();
    emit changed();
  });
  connect(btnPrevious, &QPushButton::clicked, this, [this] {
    if (page_ == 0) return;
    --page_;
    Update();
    emit changed();
  });
  connect(btnNext, &QPushButton::clicked, this, [this] {
    if (page_ + 1 >= Pages()) return;
    ++page_;
    Update();
    emit changed();
  });
  Update();
}

bool TResultBar::Kwic() const { return cbxView->currentIndex() == 1; }

TSortKeys TResultBar::SortKeys() const {
  const int k = cbxSort->currentIndex();
  if (k <= 0) return {};
  return {kKeys[k]};
}

bool TResultBar::SetTranslations(bool shown) {
  auto* model = qobject_cast<QStandardItemModel*>(cbxSort->model());
  if (QStandardItem* item = model ? model->item(kTranslationItem) : nullptr) item->setEnabled(shown);
  if (shown || cbxSort->currentIndex() != kTranslationItem) return false;
  cbxSort->setCurrentIndex(0);
  page_ = 0;
  Update();
  return true;
}

void TResultBar::ShowHits(int hits) {
  hits_ = hits;
  page_ = 0;
  Update();
}

void TResultBar::ShowAs(const TSortKeys& keys, std::size_t page, bool kwic) {
  const TSortKey first = keys.empty() ? TSortKey::File : keys.front();
  const auto* key = std::find(std::begin(kKeys), std::end(kKeys), first);
  cbxSort->setCurrentIndex(key == std::end(kKeys) ? 0 : static_cast<int>(key - std::begin(kKeys)));
  cbxView->setCurrentIndex(kwic ? 1 : 0);
  page_ = page;
  Update();
}

std::size_t TResultBar::Pages() const {
  return (static_cast<std::size_t>(hits_) + kPageHitLimit - 1) / kPageHitLimit;
}

void TResultBar::Update() {
  const bool paged = Pages() > 1;
  btnPrevious->setVisible(paged);
  btnNext->setVisible(paged);
  btnPrevious->setEnabled(page_ > 0);
  btnNext->setEnabled(page_ + 1 < Pages());
  if (hits_ <= 0) {
    lblHits->clear();
    return;
  }
  const qint64 first = static_cast<qint64>(page_ * kPageHitLimit) + 1;
  const qint64 last = std::min<qint64>(hits_, static_cast<qint64>((page_ + 1) * kPageHitLimit));
  lblHits->setText(tr("hits %1–%2 of %3").arg(Grouped(first), Grouped(last), Grouped(hits_)));
}
