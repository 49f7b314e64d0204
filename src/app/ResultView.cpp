// What both result views share: the context menu.
#include <QAction>
#include <QMenu>
#include <utility>

#include "ResultView.h"

QMenu* TResultView::Menu(bool selection, std::function<void()> copy,
                         std::function<void(std::function<void(const QStringList&)>)> pair,
                         std::function<void()> selectAll) {
  // Only what makes sense on a result page: nothing that navigates, saves
  // the page or shows its source.
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  QAction* copyAction = menu->addAction(tr("Copy"), this, std::move(copy));
  copyAction->setEnabled(selection);
  menu->addAction(tr("Copy pair with reference"), this, [this, pair = std::move(pair)] {
    pair([this](const QStringList& rows) {
      if (rows.size() == 2) emit pairChosen(rows[0], rows[1]);
    });
  });
  menu->addSeparator();
  menu->addAction(tr("Select all"), this, std::move(selectAll));
  return menu;
}
