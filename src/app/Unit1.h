// TfrmMain — the one main window: Settings (corpus folder and file list),
// Query (search, result view, save) and About.
//
// The window owns the engine and the list of selected files. Loading,
// searching, page writing and export run on the search runner's worker
// thread, one at a time; while a run is under way every control that would
// start another engine operation is disabled, Cancel (or Esc) stops it, and
// closing the window cancels the run and waits for it. Everything else
// happens on the GUI thread.
#ifndef KORVEL_UNIT1_H
#define KORVEL_UNIT1_H

#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QString>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "Desktop.h"
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
  QCheckBox* cbxExclude;
  QCheckBox* cbxFilterLemma;
  QLineEdit* edtFilter;
  QFrame* plResult;
  TResultView* wbResult;
  QLabel* lbLog;
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

  bool Running() const { return runner_->Running(); }
  int LoadCount() const { return loadCount_; }
  QString ResultPagePath() const;

  // Settings page
  void btnChoseTextClick();
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
  void Timer1Timer();
  // About page
  void lbInfoMouseEnter();
  void lbInfoMouseLeave();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildSettingsPage();
  void BuildQueryPage();
  void BuildAboutPage();
  void FormCreate();
  void FormClose();

  int CountTickedFiles() const;
  void SetAllTicked(bool ticked);
  void CollectSelectedFiles();
  void Refresh(int ticked);
  void AddEntry(const std::string& path);
  void ShowEntryFolder(QListWidgetItem* item);
  void ResetResultView();
  // "   " and what the engine noted in the last rendering, or "".
  QString NoteText() const;
  void ShowError(const QString& message);
  void ReportError(std::exception_ptr error);

  // The bar from zero, Cancel and the ticker, for a run about to start.
  void BeginRun();
  void EndRun();
  void UpdateRunLocks();
  void RunProgress(int done, int stepEnd, bool known);
  void RunLoaded();
  void SearchDone(const korvel::TRunReport& report);
  void ExportDone();
  void RunFailed(std::exception_ptr error);

  std::unique_ptr<TDesktop> desktop_;
  TSearchRunner* runner_;
  QShortcut* escape_;
  bool exporting_ = false;  // the run is a Save
  QString runPage_;         // where the run writes the result page
  int barEnd_ = 0;          // where the bar's current step ends
  bool barKnown_ = false;   // the step has a total; else the ticker moves the bar
  int loadCount_ = 0;
  bool listed_ = false;   // a folder with pairs has been listed
  bool closed_ = false;   // FormClose has run
  bool updatingList_ = false;
  QString lastSaveName_;
};

#endif
