// The file list's line counts: counted on a thread of their own, so that the
// list shows at once and each count fills in as it arrives, and drawn at the
// right of an entry, apart from the text the file filter matches.
#ifndef KORVEL_LINECOUNTS_H
#define KORVEL_LINECOUNTS_H

#include <QObject>
#include <QString>
#include <QStyledItemDelegate>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

// An entry's line count (qlonglong; -1 when the file cannot be read; none
// while it is being counted) and whether its pair's counts differ (bool).
constexpr int kLineCountRole = Qt::UserRole + 1;
constexpr int kPairDiffersRole = Qt::UserRole + 2;
// "TMX" or "TSV" for an entry that holds whole pairs; its count is of pairs.
constexpr int kSourceRole = Qt::UserRole + 3;

// "120 lines"; "1 line".
QString LineCountText(qint64 lines);
// "TMX, 1,204 pairs".
QString SourcePairsText(const QString& kind, qint64 pairs);
// `"x.ZH.txt" has 81 lines, "x.EN.txt" has 120.` for a pair whose counts differ.
QString PairDiffersText(const std::string& zhPath, qint64 zhLines, const std::string& enPath, qint64 enLines);

class TLineCounts : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  ~TLineCounts() override;

  // Counts the files one after another (the pairs of a TMX or TSV); what an earlier list had still to
  // report is dropped.
  void Start(std::vector<std::string> paths);
  // Returns once the thread has stopped, which is within one read.
  void Stop();

 signals:
  // `index` into the list Start was given; `error` says why a file gave -1.
  void counted(int index, qint64 lines, const QString& error);

 private:
  std::thread thread_;
  std::atomic<bool> stop_{false};
  quint64 generation_ = 0;  // of the list being counted; GUI thread only
};

// Paints the count right-aligned in the visible part of the entry's row:
// grey, or red with a warning sign when the pair's counts differ. The
// entry's text is cut short before it, as the view's elide mode says.
class TLineCountDelegate : public QStyledItemDelegate {
  Q_OBJECT
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  static QString CountText(const QModelIndex& index);
};

#endif
