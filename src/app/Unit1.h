// TfrmMain — the one main window: Settings (corpus folder and file list),
// Query (search, result view, translation table, save) and About.
//
// The window owns the engine and the list of selected files. Loading,
// searching, page writing and export run on the search runner's worker
// thread, one at a time; while a run is under way every control that would
// start another engine operation is disabled, Cancel (or Esc) stops it, and
// closing the window cancels the run and waits for it. Everything else
// happens on the GUI thread, but for counting the listed files' lines.
//
// While the Translations panel is shown, a search goes on after its page
// has been shown: the result's translation table is made and the page is
// written again with the table's rows marked. That last part gives way to
// a new search, and Cancel or hiding the panel drops it.
#ifndef KORVEL_UNIT1_H
#define KORVEL_UNIT1_H

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QString>
#include <QTreeWidget>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "Desktop.h"
#include "FindBar.h"
#include "ResultBar.h"
#include "ResultView.h"
#include "SearchRunner.h"
#include "unKorvel.h"

class QCheckBox;
class QFrame;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QShortcut;
class QSplitter;
class QTabWidget;
class QTimer;

inline const QString kAppTitle = QStringLiteral("TAVO Korvel 1.2.1");

// A label that reports a click (the folder label) or the pointer entering
// and leaving it (the About page's contact line).
class TActiveLabel : public QLabel {
  Q_OBJECT
 public:
  using QLabel::QLabel;
 signals:
  void clicked();
  void entered();
  void left();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
};

// The Translations panel's list: Enter on a row chooses it, as a click does.
class TTranslationList : public QTreeWidget {
  Q_OBJECT
 public:
  using QTreeWidget::QTreeWidget;
 signals:
  void chosen(QTreeWidgetItem* item);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};

class TLineCounts;

class TfrmMain : public QMainWindow {
  Q_OBJECT
 public:
  // `desktop` answers dialogs and talks to the file manager; null for the
  // real desktop.
  explicit TfrmMain(std::unique_ptr<TDesktop> desktop = nullptr, QWidget* parent = nullptr);
  ~TfrmMain() override;

  QTabWidget* pcMain;
  QWidget* tsSettings;
  QWidget* tsQuery;
  QWidget* tsAbout;

  QPushButton* btnChoseText;
  QPushButton* btnChoseFiles;  // "Choose Files…": the same as dropping files
  TActiveLabel* lblDir;
  QListWidget* clbFileList;
  QWidget* plSettings;
  QLineEdit* edtFileFilter;
  QPushButton* btnFilter;
  QLabel* lblFileInfo;
  QPushButton* btnSelAll;
  QPushButton* btnClearSel;

  QProgressBar* pb;
  QLabel* lbDic;
  QLineEdit* edtSearch;
  QPushButton* btnSearch;
  QPushButton* btnCancel;  // beside the progress bar, during a run
  QCheckBox* cbxLemma;
  QCheckBox* cbxWholeWords;  // Chinese query and filter: whole words only
  QCheckBox* cbxVariants;    // Chinese characters: simplified and traditional alike
  QCheckBox* cbxExclude;
  QCheckBox* cbxFilterLemma;
  QLineEdit* edtFilter;
  QFrame* plResult;
  TResultView* wbResult;
  TFindBar* fbResult;  // under the view, on Ctrl+F
  QSplitter* spResult;               // the result view and the Translations panel
  TResultBar* barResult;             // the view, order and page of the hits
  TTranslationList* lvTranslations;  // the Translations panel
  QLabel* lbLog;
  QCheckBox* cbxCache;  // "Keep a cache of opened corpora", ticked at every start
  QPushButton* btnClearCache;
  QPushButton* btnTranslations;  // shows and hides the panel
  QPushButton* btnSave;
  QTimer* Timer1;

  QLabel* Image1;
  QLabel* Label2;
  QLabel* Label1;
  QPlainTextEdit* mmAbout;
  TActiveLabel* lbInfo;

  std::unique_ptr<korvel::TKorvel> Engine;
  std::vector<std::string> SelectedFiles;  // full paths of the ticked entries
  int TickedCount = 0;                      // ticked entries when even, else 0
  bool FilesChanged = false;                // the engine lacks the current ticked set
  korvel::TTranslationTable Translations;   // what the panel shows; no hits when it shows nothing

  // A cache being written after a search is no run: anything may stop it.
  bool Running() const { return runner_->Running() && !caching_; }
  int LoadCount() const { return loadCount_; }
  QString ResultPagePath() const;

  // Settings page
  void btnChoseTextClick();
  void btnChoseFilesClick();
  // What a drop or "Choose Files…" lists: a folder's pairs, or of the files
  // given, the pairs among them and each TMX or TSV.
  void ListFolder(const QString& folder);
  void ListFiles(const QStringList& paths);
  void lblDirClick();
  void clbFileListClick(QListWidgetItem* item);
  void clbFileListClickCheck(QListWidgetItem* item);
  void edtFileFilterChange();
  void edtFileFilterKeyPress();
  void btnFilterClick();
  void btnSelAllClick();
  void btnClearSelClick();
  // Query page
  void edtSearchChange();
  void edtSearchKeyPress();
  void edtFilterChange();
  void cbxExcludeClick();
  void btnSearchClick();
  void btnSaveClick();
  void btnCancelClick();
  void btnTranslationsClick();
  void lvTranslationsChoose(QTreeWidgetItem* item);
  // "Copy pair with reference": the hit's English line, its Chinese line
  // and the English line's source, from its two rows in page order.
  void wbResultCopyPair(const QString& first, const QString& second);
  void Timer1Timer();
  // About page
  void lbInfoMouseEnter();
  void lbInfoMouseLeave();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildSettingsPage();
  void BuildQueryPage();
  void BuildAboutPage();
  void BuildShortcuts();
  void FormCreate();
  void FormClose();

  int CountTickedFiles() const;
  void SetAllTicked(bool ticked);
  void CollectSelectedFiles();
  void Refresh(int ticked);
  void AddEntry(const std::string& path, int partner);
  // The list replaced by `listed`, shown under `folder`; `none` says why
  // the list is empty when it is.
  void ShowListing(const QString& folder, const std::vector<std::string>& listed, const QString& none);
  // Counts, Query page and panel from the list as it is (after a cancelled choice too).
  void RecountList();
  void ShowEntryFolder(QListWidgetItem* item);
  void LineCounted(int row, qint64 lines, const QString& error);
  void ResetResultView();
  // "   " and what a rendering noted, or "".
  static QString NoteText(const korvel::TMessage& note);
  void ShowError(const QString& message);
  void ReportError(std::exception_ptr error);

  // The bar from zero, Cancel and the ticker, for a run about to start.
  void BeginRun();
  void EndRun();
  void UpdateRunLocks();
  // Esc closes the find bar when it is open, else cancels the run.
  void EscapePressed();
  void RunProgress(int done, int stepEnd, bool known);
  void RunLoaded();
  void SearchDone(const korvel::TRunReport& report);
  // The bar asked for the hits another way: the page again, no search.
  void ResultBarChanged();
  void RenderDone(const korvel::TRunReport& report);
  // The table of the search the view shows, unless there is one or a run is under way.
  void StartSpot();
  void SpotDone(const korvel::TTranslationTable& table);
  void ShowTranslations(const korvel::TTranslationTable& table);
  void ClearTranslations();
  // Nothing runs, or only the spotting of a search already shown.
  bool CanSearch() const { return !Running() || pageShown_; }
  void ExportDone();
  void RunFailed(std::exception_ptr error);

  std::unique_ptr<TDesktop> desktop_;
  TSearchRunner* runner_;
  QShortcut* escape_;
  bool exporting_ = false;  // the run is a Save
  bool caching_ = false;    // the worker writes the corpus cache
  // Writes the cache of the corpus last loaded once nothing else runs.
  void StartCaching();
  void StopCaching();
  void CacheToggled(bool on);
  void btnClearCacheClick();
  bool skipBadSources_ = false;  // the next load leaves out sources it cannot read
  bool pageShown_ = false;   // the run has shown its search; making the table is left
  bool tableWanted_ = false;  // the run's table goes to the panel when it arrives
  // A search as typed: the one under way, and the one whose page the view
  // shows (no query when none), which the panel's rows search again.
  struct TTypedSearch {
    QString Query;
    bool Lemma = false;
    bool ChineseWords = false;
    bool Variants = false;
  };
  TTypedSearch runSearch_, shownSearch_;
  QString status_;  // the shown search's status line
  bool shownChineseFirst_ = false;  // the page shows each hit's Chinese line first
  QString runPage_;         // where the run writes the result page
  int barEnd_ = 0;          // where the bar's current step ends
  bool barKnown_ = false;   // the step has a total; else the ticker moves the bar
  int loadCount_ = 0;
  bool listed_ = false;   // a folder with pairs has been listed
  bool closed_ = false;   // FormClose has run
  bool updatingList_ = false;
  QString lastSaveName_;
  int lastSaveType_ = 0;  // of the types Save offers
  QString corpusFolder_;  // the last folder chosen that lists pairs; where Save opens
  TLineCounts* lineCounts_;
};

#endif
