// TResultBar — how the Query page shows the hits of the last search: the
// view (two-row pairs or key words in context), the order, and which
// 10,000 hits the page holds, with a counter. Changing any of them asks for
// the page again, not for a new search. GUI thread only.
#ifndef KORVEL_RESULTBAR_H
#define KORVEL_RESULTBAR_H

#include <QWidget>
#include <cstddef>

#include "RunSearch.h"

class QComboBox;
class QLabel;
class QPushButton;

class TResultBar : public QWidget {
  Q_OBJECT
 public:
  explicit TResultBar(QWidget* parent = nullptr);

  QComboBox* cbxView;
  QComboBox* cbxSort;
  QPushButton* btnPrevious;
  QPushButton* btnNext;
  QLabel* lblHits;

  bool Kwic() const;
  korvel::TSortKeys SortKeys() const;
  std::size_t Page() const { return page_; }
  // Whether a translation table is shown, which the Translation order
  // needs; true when hiding it took the order back to file and line.
  bool SetTranslations(bool shown);
  // A new search's hits, shown from the first page; 0 hides the counter.
  void ShowHits(int hits);
  // Back to what the page on view shows, when a rendering failed or was
  // cancelled.
  void ShowAs(const korvel::TSortKeys& keys, std::size_t page, bool kwic);

 signals:
  // The view, the order or the page changed: render the hits again.
  void changed();

 private:
  void Update();
  std::size_t Pages() const;

  int hits_ = 0;
  std::size_t page_ = 0;
};

#endif
