// TResultView — the Query page's view of the result page file.
//
// The program embeds a browser locked down to the page it wrote: no script,
// no other local file, nothing remote, no link followed. Builds where the
// browser cannot run (sanitizers) use a plain text browser instead, with
// the same interface. GUI thread only.
#ifndef KORVEL_RESULTVIEW_H
#define KORVEL_RESULTVIEW_H

#include <QUrl>
#include <QWidget>
#include <functional>

class TResultView : public QWidget {
  Q_OBJECT
 public:
  explicit TResultView(QWidget* parent = nullptr);

  // Shows the file; the file shown or on its way is read again, once
  // what is on its way has arrived.
  void ShowFile(const QString& path);
  QUrl Url() const;
  // The page's text as a reader sees it, once the page has loaded.
  void ReadText(std::function<void(const QString&)> done) const;
  // What the page may do: run scripts, read other local files, reach the net.
  bool RunsScripts() const;
  bool ReadsOtherFiles() const;
  bool ReachesRemote() const;

 private:
  QWidget* view_;
  QUrl loading_;       // on its way; empty once it has arrived
  bool again_ = false;  // the file on its way changed after it was asked for
};

#endif
