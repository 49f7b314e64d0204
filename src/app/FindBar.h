// TFindBar — finding text in the result page: what to find, which match is
// current of how many, next and previous. Enter finds the next match,
// Shift+Enter the one before; the window closes the bar on Esc.
#ifndef KORVEL_FINDBAR_H
#define KORVEL_FINDBAR_H

#include <QWidget>

#include "ResultView.h"

class QLabel;
class QLineEdit;
class QToolButton;

class TFindBar : public QWidget {
  Q_OBJECT
 public:
  explicit TFindBar(TResultView* view, QWidget* parent = nullptr);

  QLineEdit* edtFind;
  QLabel* lbMatches;  // "3 of 17"
  QToolButton* btnPrevious;
  QToolButton* btnNext;
  QToolButton* btnClose;

  // Shows the bar with its text selected, found again on the page.
  void Open();
  // Hides the bar, clears the page's marks and gives the page the keyboard.
  void Close();
  void FindNext() { Find(false); }
  void FindPrevious() { Find(true); }

 signals:
  void openChanged(bool open);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Find(bool backward);

  TResultView* view_;
  int asked_ = 0;  // finds asked for; an answer to an older one is stale
};

#endif
