// TResultView — the Query page's view of the result page file.
//
// The program embeds a browser locked down to the page it wrote: no script,
// no other local file, nothing remote, no link followed. Builds where the
// browser cannot run (sanitizers) use a plain text browser instead, with
// the same interface. GUI thread only.
#ifndef KORVEL_RESULTVIEW_H
#define KORVEL_RESULTVIEW_H

#include <QPointF>
#include <QStringList>
#include <QUrl>
#include <QWidget>
#include <functional>

class QMenu;

class TResultView : public QWidget {
  Q_OBJECT
 public:
  explicit TResultView(QWidget* parent = nullptr);

  // A new page: it opens at its top, wherever the reader was on the last.
  void ShowFile(const QString& path);
  // The page shown, or on its way, read again where the reader is, once
  // what is on its way has arrived.
  void ShowAgain();
  // Shows the empty page at `path`, and nothing of any page before, until
  // the next ShowFile's page has arrived.
  void ShowBlank(const QString& path);
  // The file shown or on its way.
  QUrl Url() const;
  QPointF ScrollPosition() const;
  // The page's text as a reader sees it, once the page has loaded.
  void ReadText(std::function<void(const QString&)> done) const;
  // Selects the next match of `text` (the one before with `backward`), any
  // case, and reports it as the current match's number from 1 and the count
  // (0 and 0: none). An empty text clears the marks.
  void Find(const QString& text, bool backward, std::function<void(int current, int count)> done);
  // What the page may do: run scripts, read other local files, reach the net.
  bool RunsScripts() const;
  bool ReadsOtherFiles() const;
  bool ReachesRemote() const;

 signals:
  // A page asked for has arrived.
  void loaded();
  // "Copy pair with reference" on a hit: its two rows' texts in page order,
  // each with its source "(file, line N)" at the end.
  void pairChosen(const QString& first, const QString& second);

 private:
  // Copy, Copy pair with reference, Select all; `pair` reads the hit under
  // the pointer and hands its rows on, or nothing when there is none.
  QMenu* Menu(bool selection, std::function<void()> copy,
              std::function<void(std::function<void(const QStringList&)>)> pair, std::function<void()> selectAll);

  QWidget* view_;
  QWidget* cover_ = nullptr;  // over the view while it must show nothing
  QUrl loading_;              // on its way; empty once it has arrived
  bool again_ = false;        // the file on its way changed after it was asked for
  int shown_ = 0;             // pages shown: each has its own address
};

#endif
