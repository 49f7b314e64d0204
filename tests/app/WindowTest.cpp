// The main window driven as a user would, with dialogs and the file manager
// replaced by a fake desktop. Runs under a virtual display.
#include <unistd.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <functional>
#include <memory>
#include <utility>

#include "FileIO.h"
#include "LineCounts.h"
#include "ProgramFolder.h"
#include "Unit1.h"

namespace {

struct FakeDesktop : TDesktop {
  QString folder, saveName, preselected;
  QStringList suggestions, shown, opened, errors, details;
  QString ChooseFolder(QWidget*, const QString& pre) override {
    preselected = pre;
    return folder;
  }
  QString saveType;  // the type the user picks; none: the one offered
  QStringList types, offered;
  TSaveChoice SaveFileName(QWidget*, const QString& suggested, const QStringList& all, const QString& type) override {
    suggestions << suggested;
    types = all;
    offered << type;
    return {saveName, saveType.isEmpty() ? type : saveType};
  }
  QStringList files;  // what "Choose Files…" answers
  QStringList ChooseFiles(QWidget*, const QString&) override { return files; }
  bool searchWithout = false;
  QStringList withoutAsked;
  bool SearchWithout(QWidget*, const QString& message) override {
    withoutAsked << message;
    return searchWithout;
  }
  void ShowFileInExplorer(const QString& path) override { shown << path; }
  void OpenFolder(const QString& path) override { opened << path; }
  void ShowError(QWidget*, const QString& message, const QString& detail) override {
    errors << message;
    details << detail;
  }
  bool replace = false;
  QStringList asked;
  bool ConfirmOverwrite(QWidget*, const QString& path) override {
    asked << path;
    return replace;
  }
};

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  QVERIFY(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// The answer may come after the wait gave up: it must not land in a stack
// frame that is gone (it once overwrote a QTRY loop's counter).
QString PageText(TResultView* view) {
  auto answer = std::make_shared<std::pair<bool, QString>>();
  view->ReadText([answer](const QString& t) { *answer = {true, t}; });
  for (int waited = 0; !answer->first && waited < 10000; waited += 20) QTest::qWait(20);
  return answer->second;
}

// Waits until the page shows `needle`. A QTRY condition would not do: it is
// evaluated again after it held, and a page that is being loaded reads blank.
bool WaitForPageText(TResultView* view, const QString& needle) {
  QElapsedTimer waited;
  waited.start();
  while (!PageText(view).contains(needle)) {
    if (waited.elapsed() > 30000) return false;
    QTest::qWait(50);
  }
  return true;
}

// The widget that takes the view's keys and clicks.
QWidget* Inner(TResultView* view) {
  QWidget* inner = view;
  while (inner->focusProxy()) inner = inner->focusProxy();
  return inner;
}

// The view shows nothing inside its frame: one colour throughout.
bool Plain(TResultView* view) {
  const QImage shot = view->grab(view->rect().adjusted(4, 4, -4, -4)).toImage().convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x)
      if (shot.pixel(x, y) != shot.pixel(0, 0)) return false;
  return true;
}

QStringList Entries(const TfrmMain& w) {
  QStringList out;
  for (int i = 0; i < w.clbFileList->count(); ++i) out << w.clbFileList->item(i)->text().section('/', -1);
  return out;
}

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TfrmMain> w_;
  FakeDesktop* desktop_ = nullptr;
  std::unique_ptr<QTemporaryDir> tmp_;

  // A fresh window over `folder` (listed when given).
  void Open(const QString& folder = {}) {
    auto desktop = std::make_unique<FakeDesktop>();
    desktop_ = desktop.get();
    w_ = std::make_unique<TfrmMain>(std::move(desktop));
    w_->Engine->SetTemplatePath(KORVEL_SOURCE_DIR "/sys/result.tpl");
    w_->Engine->LoadDictionaries(KORVEL_SOURCE_DIR "/tests/fixtures/dic");
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    if (!folder.isEmpty()) {
      desktop_->folder = folder;
      w_->btnChoseText->click();
    }
  }
  void Untick(int row) { w_->clbFileList->item(row)->setCheckState(Qt::Unchecked); }
  void Tick(int row) { w_->clbFileList->item(row)->setCheckState(Qt::Checked); }
  void Search(const QString& query, bool lemma = false) {
    w_->edtSearch->setText(query);
    w_->cbxLemma->setChecked(lemma);
    w_->btnSearch->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 60000);
  }
  QString Fixtures() const { return KORVEL_SOURCE_DIR "/tests/fixtures/corpus"; }
  // Large enough that ten rows leave some hits to "(none of these)".
  QString Samples() const { return KORVEL_SOURCE_DIR "/samples"; }
  void Settle() { QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 60000); }
  void OpenQuery(const QString& folder) {
    Open(folder);
    w_->pcMain->setCurrentWidget(w_->tsQuery);
  }
  // Keys reach shortcuts only in the active window.
  void Activate() {
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
  }
  // Eight pairs of files whose English lines the expression below walks
  // in quadratic time: its search runs far longer than any cancel may take.
  static constexpr const char* kSlowQuery = "^(.*)(.*)(?:zz|qq)$";
  void WriteSlowCorpus() {
    const QByteArray line = " of play where the children played on and gave up at last in the old house\n";
    for (int f = 0; f < 8; ++f) {
      QByteArray en, zh;
      for (int i = 0; i < 25000; ++i) {
        en += (i % 1000 ? "line " : "work ") + QByteArray::number(i) + line;
        zh += QByteArray("第") + QByteArray::number(i) + "行\n";
      }
      WriteFile(tmp_->path() + QString("/part%1.EN.txt").arg(f), en);
      WriteFile(tmp_->path() + QString("/part%1.ZH.txt").arg(f), zh);
    }
  }
  // `act` runs once, as the next search's page arrives and its table is still being made.
  void OnPage(std::function<void()> act) {
    connect(w_->findChild<TSearchRunner*>(), &TSearchRunner::searched, w_.get(),
            [act = std::move(act), done = false]() mutable {
              if (!std::exchange(done, true)) act();
            });
  }

 private slots:
  void init() {
    tmp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tmp_->isValid());
  }
  void cleanup() {
    w_.reset();
    desktop_ = nullptr;
  }

  void StartsOnSettingsWithQueryPageLocked() {
    Open();
    QCOMPARE(w_->windowTitle(), QString("TAVO Korvel 1.2.1"));
    QCOMPARE(w_->pcMain->currentWidget(), w_->tsSettings);
    QVERIFY(!w_->tsQuery->isEnabled());
    QVERIFY(!w_->lblDir->isEnabled());
    QVERIFY(w_->lblDir->text().isEmpty() && w_->lblFileInfo->text().isEmpty());
    QVERIFY(!w_->plSettings->isEnabled() && !w_->btnSelAll->isEnabled() && !w_->btnClearSel->isEnabled());
    QVERIFY(w_->pb->isHidden() && w_->cbxLemma->isHidden() && w_->cbxFilterLemma->isHidden());
    QVERIFY(!w_->btnSearch->isEnabled() && !w_->btnSave->isEnabled() && !w_->Timer1->isActive());
    QVERIFY(w_->FilesChanged);
    QCOMPARE(w_->minimumSize(), QSize(772, 674));
    QCOMPARE(w_->Timer1->interval(), 100);
    QVERIFY(!w_->wbResult->RunsScripts() && !w_->wbResult->ReadsOtherFiles() && !w_->wbResult->ReachesRemote());
    const QList<QPair<QWidget*, QString>> named = {
        {w_->btnChoseText, "Choose Folder"}, {w_->clbFileList, "Corpus files"}, {w_->edtFileFilter, "File filter"},
        {w_->btnFilter, "Filter"}, {w_->btnSelAll, "Select All"}, {w_->btnClearSel, "Clear Selection"},
        {w_->edtSearch, "Query"}, {w_->btnSearch, "Search"}, {w_->cbxLemma, "Lemmatize query"},
        {w_->cbxExclude, "Exclude"}, {w_->cbxFilterLemma, "Lemmatize filter"},
        {w_->edtFilter, "Aligned-line filter"}, {w_->wbResult, "Results"}, {w_->btnSave, "Save"},
        {w_->pb, "Progress"}};
    for (const auto& [widget, name] : named) QCOMPARE(widget->accessibleName(), name);
    QCOMPARE(w_->lbLog->accessibleDescription(), QString("Status"));
    QCOMPARE(w_->lbDic->accessibleDescription(), QString("Dictionary equivalents"));
    QCOMPARE(w_->edtFilter->placeholderText(), QString("Filter on the aligned line"));
  }

  // Lemmatisation is never silently off: the window does not come up.
  void AMissingLexiconStopsTheStart() {
    const QString missing = tmp_->path() + "/english.lex";
    qputenv("KORVEL_LEXICON", missing.toUtf8());
    struct Restore {
      ~Restore() { qunsetenv("KORVEL_LEXICON"); }
    } restore;
    QString message;
    try {
      TfrmMain w(std::make_unique<FakeDesktop>());
    } catch (const korvel::EKorvel& e) {
      message = QString::fromUtf8(e.what());
    }
    QCOMPARE(message, "Cannot open file \"" + missing + "\". No such file or directory");
  }

  // Written on the worker once the answer is shown; a reopened corpus then
  // comes from it, which the status line's tooltip says and its text does not.
  void TheCorpusCacheIsWrittenAfterTheAnswerAndUsedOnReopening() {
    const QDir caches(qEnvironmentVariable("XDG_CACHE_HOME") + "/korvel/corpora");
    QDir(caches).removeRecursively();
    auto written = [&] { return caches.entryList({"*.kvc"}, QDir::Files).size(); };
    auto idle = [this] { return !w_->findChild<TSearchRunner*>()->Running(); };
    OpenQuery(Fixtures());
    QVERIFY(w_->cbxCache->isChecked());
    Search("give up");
    const QString status = w_->lbLog->text().section("second(s), ", 1);
    QVERIFY(w_->lbLog->toolTip().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(written(), 2);

    OpenQuery(Fixtures());
    Search("give up");
    QCOMPARE(w_->lbLog->text().section("second(s), ", 1), status);
    QVERIFY(w_->lbLog->toolTip().contains("cache"));

    // Unticked: the next load neither uses nor writes a cache.
    w_->cbxCache->setChecked(false);
    w_->btnClearCache->click();
    QCOMPARE(written(), 0);
    w_->FilesChanged = true;
    Search("give up");
    QVERIFY(w_->lbLog->toolTip().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(idle(), 60000);
    QCOMPARE(written(), 0);
  }

  void ChoosingAFolderListsEachEnglishFileBeforeItsTwin() {
    const QString d = tmp_->path();
    for (const char* name : {"b.EN.txt", "c.ZH.txt", "a.ZH.txt", "a.EN.txt", "a.en.txt", "d.EN.TXT", "d.ZH.TXT"})
      WriteFile(d + "/" + name, "x\n");
    Open(d);
    QCOMPARE(desktop_->preselected, QString::fromStdString(korvel::DataDir()));
    QCOMPARE(Entries(*w_), QStringList({"a.EN.txt", "a.ZH.txt", "d.EN.TXT", "d.ZH.TXT"}));
    for (int i = 0; i < 4; ++i) QCOMPARE(w_->clbFileList->item(i)->checkState(), Qt::Checked);
    QCOMPARE(w_->lblFileInfo->text(), QString("4 file(s) selected, 4 file(s) in the list."));
    QCOMPARE(w_->lblDir->text(), d);
    QVERIFY(w_->tsQuery->isEnabled() && w_->plSettings->isEnabled() && w_->lblDir->isEnabled());

    w_->lblDir->setText("");  // clicking an entry shows its folder, changes nothing else
    w_->FilesChanged = false;
    QTest::mouseClick(w_->clbFileList->viewport(), Qt::LeftButton, {},
                      w_->clbFileList->visualItemRect(w_->clbFileList->item(1)).center());
    QCOMPARE(w_->lblDir->text(), d);
    QVERIFY(!w_->FilesChanged);
    w_->lblDir->setText(d);
    QTest::mouseClick(w_->lblDir, Qt::LeftButton);
    QCOMPARE(desktop_->opened, QStringList{d});

    // A cancelled dialog keeps the list; an empty folder leaves the list empty.
    desktop_->folder.clear();
    w_->btnChoseText->click();
    QCOMPARE(w_->clbFileList->count(), 4);
    QTemporaryDir empty;
    desktop_->folder = empty.path();
    w_->btnChoseText->click();
    QCOMPARE(w_->clbFileList->count(), 0);
    QCOMPARE(w_->lblDir->text(), empty.path());
  }

  void LineCountsFillInBesideTheEntriesAndMarkAPairThatDiffers() {
    const QString d = tmp_->path();
    WriteFile(d + "/a.EN.txt", "one\ntwo\nthree\n");
    // UTF-16 LE: 上 is the bytes 0A 4E, an LF to anyone counting bytes.
    WriteFile(d + "/a.ZH.txt", QByteArray("\xFF\xFE\x0A\x4E\r\0\n\0\x0B\x4E\r\0\n\0\x00\x4E", 16));
    WriteFile(d + "/b.EN.txt", QByteArray("x\n").repeated(120));
    WriteFile(d + "/b.ZH.txt", QByteArray("\xD6\xD0\r\n").repeated(81));  // 中 in GBK
    Open(d);
    w_->FilesChanged = false;
    QListWidget* list = w_->clbFileList;
    QTRY_VERIFY(list->item(3)->data(kLineCountRole).isValid() && list->item(2)->data(kLineCountRole).isValid() &&
                list->item(1)->data(kLineCountRole).isValid() && list->item(0)->data(kLineCountRole).isValid());
    const QList<qlonglong> lines = {3, 3, 120, 81};
    for (int i = 0; i < 4; ++i) QCOMPARE(list->item(i)->data(kLineCountRole).toLongLong(), lines[i]);
    for (int i : {0, 1}) {
      QVERIFY(!list->item(i)->data(kPairDiffersRole).toBool());
      QCOMPARE(list->item(i)->toolTip(), QString("3 lines"));
    }
    for (int i : {2, 3}) {
      QVERIFY(list->item(i)->data(kPairDiffersRole).toBool());
      QCOMPARE(list->item(i)->toolTip(), QString("\"b.ZH.txt\" has 81 lines, \"b.EN.txt\" has 120."));
    }
    // The counts are no ticks, and neither they nor the mark reach the text the filter matches.
    QVERIFY(!w_->FilesChanged);
    QCOMPARE(w_->lblFileInfo->text(), QString("4 file(s) selected, 4 file(s) in the list."));
    QCOMPARE(Entries(*w_), QStringList({"a.EN.txt", "a.ZH.txt", "b.EN.txt", "b.ZH.txt"}));
    w_->edtFileFilter->setText("lines|120");
    w_->btnFilter->click();
    QCOMPARE(w_->lblFileInfo->text(), QString("0 file(s) selected, 4 file(s) in the list."));
  }

  void ANewFolderDropsTheOldCountsAndAnEmptyOneSaysSo() {
    QTemporaryDir first, empty;
    WriteFile(first.path() + "/a.EN.txt", "1\n2\n3\n4\n5\n");
    WriteFile(first.path() + "/a.ZH.txt", "1\n2\n");
    WriteFile(tmp_->path() + "/a.EN.txt", "1\n2\n");
    WriteFile(tmp_->path() + "/a.ZH.txt", "1\n2\n");
    Open(first.path());
    // Time for the first folder's counts to be queued; they must not mark the next list.
    QThread::msleep(200);
    desktop_->folder = empty.path();
    w_->btnChoseText->click();
    QCOMPARE(w_->clbFileList->count(), 0);
    QCOMPARE(w_->lblFileInfo->text(), QString("No corpus files in this folder"));
    QVERIFY(!w_->tsQuery->isEnabled());
    desktop_->folder = tmp_->path();
    w_->btnChoseText->click();
    QTRY_VERIFY(w_->clbFileList->item(1)->data(kLineCountRole).isValid() &&
                w_->clbFileList->item(0)->data(kLineCountRole).isValid());
    for (int i : {0, 1}) {
      QCOMPARE(w_->clbFileList->item(i)->data(kLineCountRole).toLongLong(), 2);
      QVERIFY(!w_->clbFileList->item(i)->data(kPairDiffersRole).toBool());
    }
  }

  // Chosen files list only the pairs among them and each TMX; a TMX counts
  // as two files for the even-count rule, its count is of pairs, and a
  // dropped folder lists as a chosen one does.
  void ChosenOrDroppedFilesListTheirPairsAndATmxCountsAsTwo() {
    const QString d = tmp_->path();
    WriteFile(d + "/a.EN.txt", "one\ntwo\n");
    WriteFile(d + "/a.ZH.txt", "一\n二\n");
    WriteFile(d + "/b.EN.txt", "lone\n");
    WriteFile(d + "/m.tmx",
              "<tmx version=\"1.4\"><header/><body>"
              "<tu><tuv xml:lang=\"en\"><seg>one more</seg></tuv><tuv xml:lang=\"zh\"><seg>又一</seg></tuv></tu>"
              "<tu><tuv xml:lang=\"en\"><seg>two more</seg></tuv><tuv xml:lang=\"zh-CN\"><seg>又二</seg></tuv></tu>"
              "</body></tmx>\n");
    Open();
    desktop_->files = {d + "/m.tmx", d + "/b.EN.txt", d + "/a.ZH.txt", d + "/a.EN.txt"};
    w_->btnChoseFiles->click();
    QCOMPARE(Entries(*w_), QStringList({"a.EN.txt", "a.ZH.txt", "m.tmx"}));
    QCOMPARE(w_->lblFileInfo->text(), QString("4 file(s) selected, 3 file(s) in the list."));
    QTRY_VERIFY(w_->clbFileList->item(2)->data(kLineCountRole).isValid());
    QCOMPARE(w_->clbFileList->item(2)->toolTip(), QString("TMX, 2 pairs"));
    Untick(1);
    QVERIFY(!w_->tsQuery->isEnabled());
    Untick(0);
    QCOMPARE(w_->lblFileInfo->text(), QString("2 file(s) selected, 3 file(s) in the list."));
    w_->pcMain->setCurrentWidget(w_->tsQuery);
    Search("more");
    QCOMPARE(w_->Engine->HitCount(), 2);
    QVERIFY(WaitForPageText(w_->wbResult, "(m.tmx, unit 2)"));

    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(d)});
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w_.get(), &drop);
    QCOMPARE(Entries(*w_), QStringList({"a.EN.txt", "a.ZH.txt", "m.tmx"}));
    QCOMPARE(w_->lblDir->text(), d);
  }

  // A TMX that cannot be read: the user is asked, and a yes searches the rest,
  // the status naming what was left out.
  void ABadSourceIsLeftOutOnlyWhenTheUserSaysSo() {
    const QString d = tmp_->path();
    WriteFile(d + "/a.EN.txt", "one\n");
    WriteFile(d + "/a.ZH.txt", "一\n");
    WriteFile(d + "/bad.tmx", "<tmx><body><tu><tuv xml:lang=\"en\"><seg>one</seg>");
    OpenQuery(d);
    Search("one");
    QCOMPARE(desktop_->withoutAsked.size(), 1);
    QVERIFY(desktop_->withoutAsked[0].startsWith("Cannot read \"bad.tmx\": line "));
    QVERIFY(desktop_->errors.isEmpty() && w_->Engine->HitCount() == 0);
    desktop_->searchWithout = true;
    Search("one");
    Settle();
    QCOMPARE(desktop_->withoutAsked.size(), 2);
    QCOMPARE(w_->Engine->HitCount(), 1);
    QVERIFY(w_->lbLog->text().contains("Left out: Cannot read \"bad.tmx\""));
  }

  void TickingAnOddCountLocksTheQueryPage() {
    const QString d = tmp_->path();
    for (const char* name : {"a.EN.txt", "a.ZH.txt", "b.EN.txt", "b.ZH.txt"}) WriteFile(d + "/" + name, "x\n");
    Open(d);
    w_->FilesChanged = false;
    Untick(0);
    QCOMPARE(w_->lblFileInfo->text(), QString("0 file(s) selected, 4 file(s) in the list."));
    QVERIFY(!w_->tsQuery->isEnabled());
    QVERIFY(w_->FilesChanged);
    Untick(1);
    QCOMPARE(w_->lblFileInfo->text(), QString("2 file(s) selected, 4 file(s) in the list."));
    QVERIFY(w_->tsQuery->isEnabled());

    w_->btnSelAll->click();
    QCOMPARE(w_->lblFileInfo->text(), QString("4 file(s) selected, 4 file(s) in the list."));
    w_->btnClearSel->click();
    QCOMPARE(w_->lblFileInfo->text(), QString("0 file(s) selected, 4 file(s) in the list."));
    QVERIFY(!w_->tsQuery->isEnabled());
    QCOMPARE(w_->TickedCount, 0);
  }

  void FileFilterTicksByPatternAndKeepsTicksWhenThePatternIsInvalid() {
    const QString d = tmp_->path();
    for (const char* name : {"news.EN.txt", "news.ZH.txt", "talk.EN.txt", "talk.ZH.txt"})
      WriteFile(d + "/" + name, "x\n");
    Open(d);
    QVERIFY(!w_->btnFilter->isEnabled());
    w_->edtFileFilter->setText("  ");
    QVERIFY(!w_->btnFilter->isEnabled());
    w_->edtFileFilter->setText("EN");
    QVERIFY(w_->btnFilter->isEnabled());
    w_->btnFilter->click();
    QCOMPARE(w_->lblFileInfo->text(), QString("2 file(s) selected, 4 file(s) in the list."));
    QCOMPARE(w_->clbFileList->item(2)->checkState(), Qt::Checked);
    QCOMPARE(w_->clbFileList->item(3)->checkState(), Qt::Unchecked);
    QCOMPARE(w_->clbFileList->currentRow(), 2);  // the last ticked entry

    w_->edtFileFilter->setText("news");
    QTest::keyClick(w_->edtFileFilter, Qt::Key_Return);
    QCOMPARE(w_->lblFileInfo->text(), QString("2 file(s) selected, 4 file(s) in the list."));
    QCOMPARE(w_->clbFileList->item(1)->checkState(), Qt::Checked);

    // Regression: an invalid pattern used to untick everything while the
    // counts and the Query page still claimed the old selection.
    w_->FilesChanged = false;
    w_->edtFileFilter->setText("(news");
    w_->btnFilter->click();
    QCOMPARE(desktop_->errors.size(), 1);
    QVERIFY(desktop_->errors[0].endsWith(")"));
    QCOMPARE(w_->clbFileList->item(0)->checkState(), Qt::Checked);
    QCOMPARE(w_->clbFileList->item(1)->checkState(), Qt::Checked);
    QCOMPARE(w_->lblFileInfo->text(), QString("2 file(s) selected, 4 file(s) in the list."));
    QVERIFY(!w_->FilesChanged);
  }

  void LemmatizeBoxesFollowTheTextAndExcludeColoursTheFilter() {
    Open(Fixtures());
    w_->edtSearch->setText("give");
    QVERIFY(!w_->cbxLemma->isHidden() && w_->cbxLemma->isChecked());
    w_->cbxLemma->setChecked(false);
    w_->edtSearch->setText("give ");
    QVERIFY(w_->cbxLemma->isChecked());
    for (const char* q : {"放弃", "colou?r", "   "}) {
      w_->edtSearch->setText(QString::fromUtf8(q));
      QVERIFY(w_->cbxLemma->isHidden() && !w_->cbxLemma->isChecked());
    }
    QVERIFY(!w_->btnSearch->isEnabled());

    w_->edtSearch->setText(" Give Up ");
    QCOMPARE(w_->lbDic->text(), QString::fromUtf8("放弃|戒"));
    w_->edtSearch->setText("zebra");
    QVERIFY(w_->lbDic->text().isEmpty() && w_->lbDic->isHidden());

    w_->edtFilter->setText("hope");
    QVERIFY(!w_->cbxFilterLemma->isHidden() && w_->cbxFilterLemma->isChecked());
    w_->edtFilter->setText("希望");
    QVERIFY(w_->cbxFilterLemma->isHidden());

    auto textColour = [&] { return w_->edtFilter->palette().color(QPalette::Text); };
    QCOMPARE(textColour(), QColor(0, 0, 255));
    w_->cbxExclude->click();
    QCOMPARE(textColour(), QColor(255, 0, 0));
    w_->cbxLemma->click();
    QCOMPARE(textColour(), QColor(255, 0, 0));
    w_->cbxExclude->click();
    QCOMPARE(textColour(), QColor(0, 0, 255));
  }

  void EnterRunsASearchThatShowsTheResultPageAndStatus() {
    Open(Fixtures());
    w_->edtSearch->setText("give up");
    w_->cbxLemma->setChecked(false);
    QTest::keyClick(w_->edtSearch, Qt::Key_Return);
    QVERIFY(w_->Running());
    QVERIFY(w_->Timer1->isActive() && !w_->pb->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 30000);
    const QRegularExpression status(R"(^\d+[.,]\d{3} second\(s\), 2 item\(s\).   EN-ZH   @search=\\b\(give up\)\\b$)");
    QVERIFY2(status.match(w_->lbLog->text()).hasMatch(), qPrintable(w_->lbLog->text()));
    QCOMPARE(w_->wbResult->Url(), QUrl::fromLocalFile(w_->ResultPagePath()));
    QVERIFY(w_->btnSave->isEnabled() && w_->pb->isHidden() && !w_->Timer1->isActive());
    QVERIFY(!w_->FilesChanged);

    Search(QString::fromUtf8("放弃"));
    QVERIFY2(w_->lbLog->text().endsWith(QString::fromUtf8("3 item(s).   ZH-EN   @search=放弃")), qPrintable(w_->lbLog->text()));

    Search("zebra");
    QVERIFY(w_->lbLog->text().contains(" 0 item(s).   EN-ZH"));
    QVERIFY(!w_->btnSave->isEnabled());
    QCOMPARE(w_->LoadCount(), 1);  // the ticked files went to the engine once

    Untick(0);
    Tick(0);
    Search("work");
    QCOMPARE(w_->LoadCount(), 2);
  }

  void AFailedRunStopsTheProgressAndKeepsSaveHonest() {
    Open(Fixtures());
    Search("work");
    QVERIFY(w_->btnSave->isEnabled());
    Search("(work");
    QCOMPARE(desktop_->errors.size(), 1);
    QVERIFY(w_->pb->isHidden() && !w_->Timer1->isActive());
    QVERIFY(w_->btnSave->isEnabled());  // the last good result is still there

    // A reload that fails drops the old hits, so Save must not offer them.
    w_->Engine->SetTemplatePath((tmp_->path() + "/none.tpl").toStdString());
    Untick(0);
    Tick(0);
    Search("work");
    QCOMPARE(desktop_->errors.size(), 2);
    QVERIFY(desktop_->errors[1].startsWith("Cannot open file"));
    QCOMPARE(w_->btnSave->isEnabled(), w_->Engine->HitCount() > 0);
  }

  // The message as it was; the details name the box, the box holds the
  // cursor on the named character (counted past the blanks the search
  // trims) and stays red until edited.
  void ABadExpressionPointsAtItsBoxUntilEdited() {
    Open(Fixtures());
    w_->edtFilter->setText("a)b");
    Search("work");
    w_->edtFilter->clear();
    Search("  wo)rk");
    QCOMPARE(desktop_->errors, QStringList({"unmatched closing parenthesis (pos 1)",
                                            "unmatched closing parenthesis (pos 2)"}));
    QCOMPARE(desktop_->details, QStringList({"In the filter.", "In the query."}));
    QCOMPARE(w_->focusWidget(), w_->edtSearch);
    QCOMPARE(w_->edtSearch->selectedText(), QString(")"));
    QVERIFY(!w_->edtSearch->styleSheet().isEmpty() && !w_->edtFilter->styleSheet().isEmpty());
    QTest::keyClicks(w_->edtSearch, "x");
    QVERIFY(w_->edtSearch->styleSheet().isEmpty() && !w_->edtFilter->styleSheet().isEmpty());
  }

  void SaveOpensInTheCorpusFolderAddsTheTypesExtensionAndOffersTheLast() {
    Open(Fixtures());
    Search("give up");
    const QString base = tmp_->path() + "/";
    const QList<QPair<QString, QString>> names = {
        {"results", "results.txt"}, {"Results.TXT", "Results.TXT"}, {"hits.csv", "hits.csv.txt"}};
    for (const auto& [chosen, written] : names) {
      desktop_->saveName = base + chosen;
      w_->btnSave->click();
      QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 60000);
      QVERIFY2(QFile::exists(base + written), qPrintable(written));
      QCOMPARE(desktop_->shown.last(), base + written);
    }
    const QString corpus = Fixtures() + "/";
    QCOMPARE(desktop_->suggestions, QStringList({corpus, corpus + "results.txt", corpus + "Results.TXT"}));
    QFile saved(base + "results.txt");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().startsWith("1\tnews.EN.txt\tnews.ZH.txt\t1\t"));

    // "results" became "results.txt", which exists now: the dialog never
    // asked about that name, so the window does.
    QVERIFY(QFile::resize(base + "results.txt", 3));
    desktop_->saveName = base + "results";
    w_->btnSave->click();
    QVERIFY(!w_->Running());
    QCOMPARE(desktop_->asked, QStringList{base + "results.txt"});
    QCOMPARE(QFileInfo(base + "results.txt").size(), 3);  // declined: left as it was
    desktop_->replace = true;
    w_->btnSave->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 60000);
    QVERIFY(QFileInfo(base + "results.txt").size() > 3);

    // Another type: its extension is added, its format written, and the
    // next dialog offers it first.
    QCOMPARE(desktop_->types, QStringList({"Tab-separated text (*.txt)", "Excel workbook (*.xlsx)",
                                           "CSV for spreadsheets (*.csv)", "TMX translation memory (*.tmx)"}));
    desktop_->saveName = base + "out";
    desktop_->saveType = desktop_->types[1];
    w_->btnSave->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 60000);
    QCOMPARE(desktop_->shown.last(), base + "out.xlsx");
    QFile book(base + "out.xlsx");
    QVERIFY(book.open(QIODevice::ReadOnly));
    QCOMPARE(book.read(4), QByteArray("PK\x03\x04"));  // a zip archive, as every workbook is

    desktop_->saveName.clear();  // cancelled: nothing written, nothing shown
    desktop_->saveType.clear();
    const int shown = desktop_->shown.size();
    w_->btnSave->click();
    QVERIFY(!w_->Running());
    QCOMPARE(desktop_->shown.size(), shown);
    QCOMPARE(desktop_->offered.first(), desktop_->types[0]);
    QCOMPARE(desktop_->offered.last(), desktop_->types[1]);
    QCOMPARE(desktop_->suggestions.last(), corpus + "out.xlsx");
  }

  void ASecondRequestDuringARunIsRefused() {
    Open(Fixtures());
    w_->edtSearch->setText("work");
    w_->btnSearch->click();
    QVERIFY(w_->Running());
    QVERIFY(!w_->btnSearch->isEnabled() && !w_->btnChoseText->isEnabled() && !w_->clbFileList->isEnabled());
    w_->btnSearchClick();
    QTest::keyClick(w_->edtSearch, Qt::Key_Return);
    w_->btnSaveClick();
    QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 30000);
    QCOMPARE(w_->LoadCount(), 1);
    QVERIFY(desktop_->suggestions.isEmpty());
    QVERIFY(w_->btnSearch->isEnabled() && w_->clbFileList->isEnabled());
  }

  void CancelOrClosingStopsALoadOrASearchAndTheBarNeverMovesBack() {
    WriteSlowCorpus();
    Open(tmp_->path());
    int last = 0, backwards = 0;
    connect(w_->pb, &QProgressBar::valueChanged, w_->pb, [&](int value) {
      if (w_->Running() && value < last) ++backwards;
      last = value;
    });
    auto settledAsCancelled = [&] {
      QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 20000);  // a hang guard: a cancel takes well under a second
      QCOMPARE(w_->lbLog->text(), QString("Cancelled."));
      QCOMPARE(w_->wbResult->Url().fileName(), QString("blank.htm"));
      QVERIFY(w_->pb->isHidden() && w_->btnCancel->isHidden() && !w_->Timer1->isActive());
      QCOMPARE(w_->btnSave->isEnabled(), w_->Engine->HitCount() > 0);
      QVERIFY(desktop_->errors.isEmpty());
    };

    Search("work");
    QCOMPARE(w_->Engine->HitCount(), 200);
    QCOMPARE(w_->pb->value(), w_->pb->maximum());

    // During the search: the last search stays, and Save exports it.
    w_->edtSearch->setText(kSlowQuery);
    w_->btnSearch->click();
    QVERIFY(!w_->btnCancel->isHidden() && w_->btnCancel->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(w_->pb->value() > 0, 30000);  // a hang guard: a busy machine may take seconds
    w_->btnCancel->click();
    settledAsCancelled();
    QCOMPARE(w_->Engine->HitCount(), 200);
    QVERIFY(!w_->FilesChanged);
    desktop_->saveName = tmp_->path() + "/saved.txt";
    w_->btnSave->click();
    QTRY_VERIFY_WITH_TIMEOUT(!w_->Running(), 60000);
    QFile saved(desktop_->saveName);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(saved.readAll().count("\r\n"), 200);

    // During loading, by Esc: no lines are left, and the next search loads.
    Untick(0);
    Tick(0);
    w_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
    w_->edtSearch->setFocus();
    w_->edtSearch->setText("work");
    w_->btnSearch->click();
    QTest::keyClick(w_->edtSearch, Qt::Key_Escape);
    settledAsCancelled();
    QVERIFY(w_->Engine->Data().empty() && w_->FilesChanged);
    QCOMPARE(w_->LoadCount(), 1);
    Search("work");
    QCOMPARE(w_->LoadCount(), 2);
    QVERIFY2(w_->lbLog->text().contains(" 200 item(s).   EN-ZH"), qPrintable(w_->lbLog->text()));
    QCOMPARE(backwards, 0);

    // Closing the window during a run cancels it and waits for it.
    w_->edtSearch->setText(kSlowQuery);
    w_->btnSearch->click();
    QVERIFY(w_->Running());
    w_->close();
    QVERIFY(!w_->Running() && !w_->Engine);
    QVERIFY(desktop_->errors.isEmpty());
  }

  void HostileFilesGiveResultsOrTheSystemsOwnMessage() {
    // A folder whose own name holds the marker, blanks, quotes and Chinese.
    const QString d = tmp_->path() + QString::fromUtf8("/proj.EN.v2 \"引号\" 'x'");
    QVERIFY(QDir().mkpath(d));
    QByteArray binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131) % 256);  // every byte value, NULs included
    WriteFile(d + "/bin.EN.txt", binary + "\nwork\n");
    WriteFile(d + "/bin.ZH.txt", QByteArray(40, '\n') + "\xb9\xa4\xd7\xf7\n");  // GBK for 工作
    WriteFile(d + "/gone.EN.txt", "work\n");
    WriteFile(d + "/gone.ZH.txt", "工作\n");
    Open(d);
    QCOMPARE(Entries(*w_), QStringList({"bin.EN.txt", "bin.ZH.txt", "gone.EN.txt", "gone.ZH.txt"}));

    // Deleted between listing and search: the system's own message, no result.
    QVERIFY(QFile::remove(d + "/gone.ZH.txt"));
    Search("work");
    QCOMPARE(desktop_->errors.size(), 1);
    QCOMPARE(desktop_->errors[0], "Cannot open file \"" + d + "/gone.ZH.txt\". No such file or directory.");
    QVERIFY(w_->pb->isHidden() && !w_->btnSave->isEnabled() && w_->FilesChanged);

    Untick(2);
    Untick(3);
    Search("work");
    QCOMPARE(desktop_->errors.size(), 1);
    QVERIFY2(w_->lbLog->text().contains(" 1 item(s).   EN-ZH"), qPrintable(w_->lbLog->text()));
  }

  void WholeWordsAndVariantsReachTheSearch() {
    // 人 alone in one line, inside 人们 in the other; 发展 only in
    // traditional script, 發展.
    const QString d = tmp_->path();
    WriteFile(d + "/w.EN.txt", "He came.\nThey came.\nIt grew.\n");
    WriteFile(d + "/w.ZH.txt", "人来了。\n人们来了。\n它發展了。\n");
    Open(d);
    auto probe = [&](bool whole) {
      korvel::TKorvel engine;
      std::vector<std::string> files = {(d + "/w.EN.txt").toStdString(), (d + "/w.ZH.txt").toStdString()};
      engine.SetFiles(files);
      engine.SetChineseWords(whole);
      engine.Search("人", false);
      return engine.HitCount();
    };
    const int within = probe(false), whole = probe(true);
    if (within == whole) QSKIP("the engine matches Chinese words within words either way");
    QVERIFY(!w_->cbxWholeWords->isChecked());
    for (const int expected : {within, whole}) {
      Search(QString::fromUtf8("人"));
      QCOMPARE(w_->Engine->HitCount(), expected);
      w_->cbxWholeWords->setChecked(true);
    }
    w_->cbxWholeWords->setChecked(false);
    QVERIFY(!w_->cbxVariants->isChecked());
    for (const int expected : {0, 1}) {
      Search(QString::fromUtf8("发展"));
      QCOMPARE(w_->Engine->HitCount(), expected);
      w_->cbxVariants->setChecked(true);
    }
    QCOMPARE(QString::fromStdString(w_->Engine->Pattern()), QString::fromUtf8("[发發髮]展"));
  }

  void ThePanelFillsAfterASearchOnlyWhileShown() {
    OpenQuery(Samples());
    QTreeWidget* panel = w_->lvTranslations;
    auto showsTheTable = [&] {
      const korvel::TTranslationTable& table = w_->Translations;
      QVERIFY(table.HitCount > 0 && table.HitCount == w_->Engine->HitCount() && table.Rows.size() <= 10);
      QCOMPARE(panel->topLevelItemCount(), static_cast<int>(table.Rows.size()) + 1);
      const QTreeWidgetItem* none = panel->topLevelItem(panel->topLevelItemCount() - 1);
      QCOMPARE(none->data(0, Qt::AccessibleTextRole).toString(),
               QString("(none of these): %1 hit(s), %2").arg(table.NoneHits).arg(none->text(2)));
    };
    // Hidden at first: no table; shown: the table of the search on view, and
    // of each search after; hidden again: the table goes. The order by
    // translation is there only with the table, and goes with it.
    QComboBox* sort = w_->barResult->cbxSort;
    const QStandardItem* byTranslation = qobject_cast<QStandardItemModel*>(sort->model())->item(8);
    const korvel::TSortKeys translation = {korvel::TSortKey::Translation};
    QVERIFY(!w_->btnTranslations->isChecked() && panel->isHidden() && !byTranslation->isEnabled());
    Search("people", true);
    QVERIFY(panel->topLevelItemCount() == 0 && w_->Translations.HitCount == 0);
    w_->btnTranslations->click();
    Settle();
    showsTheTable();
    QVERIFY(byTranslation->isEnabled());
    sort->setCurrentIndex(8);
    emit sort->activated(8);
    Settle();
    QVERIFY(w_->Engine->SortKeys() == translation && !w_->Engine->Result().Order.empty());
    Search("work", true);
    showsTheTable();
    QVERIFY(w_->Engine->SortKeys() == translation && !w_->Engine->Result().Order.empty());
    w_->btnTranslations->click();
    QVERIFY(panel->isHidden() && panel->topLevelItemCount() == 0);
    Settle();
    QVERIFY(sort->currentIndex() == 0 && w_->Engine->SortKeys().empty() && !byTranslation->isEnabled());
  }

  // "(none of these)" by the keyboard: the last row, then Enter.
  void NoneOfTheseSearchesTheRestAgain() {
    OpenQuery(Samples());
    w_->btnTranslations->click();
    for (const QString& q : {QString("work"), QString::fromUtf8("工作")}) {
      Search(q, q == "work");
      const korvel::TTranslationTable table = w_->Translations;
      QTest::keyClick(w_->lvTranslations, Qt::Key_End);
      QTest::keyClick(w_->lvTranslations, Qt::Key_Return);
      QVERIFY(w_->Running());
      Settle();
      QCOMPARE(w_->Engine->HitCount(), table.NoneHits);
      QCOMPARE(w_->edtFilter->text(), QString::fromStdString(korvel::NoneFilter(table.Rows)));
      QVERIFY(w_->cbxExclude->isChecked() && !w_->cbxFilterLemma->isChecked());
      w_->edtFilter->clear();
    }
  }

  // An English query's first row by a click, a Chinese one's second by the keyboard.
  void ARowSearchesItsLinesAgain() {
    OpenQuery(Samples());
    w_->btnTranslations->click();
    for (const QString& q : {QString("work"), QString::fromUtf8("工作")}) {
      const bool english = q == "work";
      w_->edtFilter->clear();
      w_->cbxExclude->setChecked(false);
      Search(q, english);
      const korvel::TTranslationTable table = w_->Translations;
      if (table.Rows.size() < 2) QSKIP("the translation table has no rows yet");
      w_->edtFilter->setText("xyz");  // typed since: the row's filter and the table's query replace them
      w_->cbxExclude->setChecked(true);
      w_->edtSearch->setText("typed since");
      QTreeWidget* panel = w_->lvTranslations;
      if (english) {
        QTest::mouseClick(panel->viewport(), Qt::LeftButton, {}, panel->visualItemRect(panel->topLevelItem(0)).center());
      } else {
        QTest::keyClick(panel, Qt::Key_Home);
        QTest::keyClick(panel, Qt::Key_Down);
        QTest::keyClick(panel, Qt::Key_Enter);
      }
      Settle();
      const korvel::TSpotRow& row = table.Rows[english ? 0 : 1];
      QCOMPARE(w_->Engine->HitCount(), row.Hits);
      QCOMPARE(w_->edtFilter->text(), QString::fromStdString(korvel::RowFilter(row).Text));
      QCOMPARE(w_->cbxFilterLemma->isChecked(), korvel::RowFilter(row).Lemmatize);
      QVERIFY(!w_->cbxExclude->isChecked() && w_->cbxLemma->isChecked() == english);
      QCOMPARE(w_->edtSearch->text(), q);
    }
  }

  void CancelOrANewSearchDropsATableNotYetShown() {
    OpenQuery(Samples());
    w_->btnTranslations->click();
    OnPage([&] { w_->btnCancel->click(); });
    Search("work", true);
    QVERIFY(w_->lvTranslations->topLevelItemCount() == 0 && w_->Translations.HitCount == 0);
    QVERIFY2(w_->lbLog->text().contains(" item(s)."), qPrintable(w_->lbLog->text()));  // the search stays

    OnPage([&] {
      w_->edtSearch->setText("people");
      w_->btnSearch->click();
    });
    Search("work", true);
    QCOMPARE(w_->Engine->QueryText(), std::string("people"));
    QCOMPARE(w_->Translations.HitCount, w_->Engine->HitCount());
  }

  void CorpusMarkupShowsAsText() {
    const QString d = tmp_->path();
    WriteFile(d + "/x.EN.txt", "work <script>alert(1)</script> and <img src=x onerror=alert(2)>\n");
    WriteFile(d + "/x.ZH.txt", "<iframe src=\"https://example.org\"></iframe>\n");
    Open(d);
    Search("work");
    QCOMPARE(w_->wbResult->Url().fileName(), QString("result.html"));
    // The page may still be loading: ask until its text arrives.
    QVERIFY(WaitForPageText(w_->wbResult, "work"));
    const QString text = PageText(w_->wbResult);
    QVERIFY2(text.contains("<script>alert(1)</script>"), qPrintable(text));
    QVERIFY(text.contains("<img src=x onerror=alert(2)>"));
    QVERIFY(text.contains("<iframe src=\"https://example.org\"></iframe>"));
  }

  // Regression: the same page address again restored the last page's
  // place, so a new search could open at its last hits.
  void ANewSearchOpensAtItsFirstHit() {
    OpenQuery(Samples());
    Search("the");
    QVERIFY(WaitForPageText(w_->wbResult, "line 1)"));
    Inner(w_->wbResult)->setFocus();
    QTest::keyClick(Inner(w_->wbResult), Qt::Key_PageDown);
    QTRY_VERIFY(w_->wbResult->ScrollPosition().y() > 0);
    QSignalSpy arrived(w_->wbResult, &TResultView::loaded);
    Search("the");
    QTRY_VERIFY_WITH_TIMEOUT(arrived.count() > 0, 30000);
    QTRY_COMPARE(w_->wbResult->ScrollPosition().y(), 0.0);
    QVERIFY(WaitForPageText(w_->wbResult, "line 1)"));
    QCOMPARE(w_->wbResult->ScrollPosition().y(), 0.0);
  }

  // Regression: the browser kept painting the last page for seconds into
  // the next run. Esc during the run closes the find bar first.
  void ARunShowsNothingOfTheLastPageAndACancelKeepsItBlank() {
    WriteSlowCorpus();
    OpenQuery(tmp_->path());
    Search("work");
    QVERIFY(WaitForPageText(w_->wbResult, "line 1001)"));
    QTRY_VERIFY(!Plain(w_->wbResult));
    w_->edtSearch->setText(kSlowQuery);
    w_->btnSearch->click();
    QCoreApplication::processEvents();
    QVERIFY(w_->Running());
    QCOMPARE(w_->wbResult->Url().fileName(), QString("blank.htm"));
    QVERIFY(Plain(w_->wbResult));
    QTRY_VERIFY_WITH_TIMEOUT(w_->pb->value() > 0, 30000);
    QVERIFY(Plain(w_->wbResult));
    Activate();
    QTest::keyClick(w_.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(w_->fbResult->isVisible());
    QTest::keyClick(w_->fbResult->edtFind, Qt::Key_Escape);
    QVERIFY(w_->fbResult->isHidden() && w_->Running());
    QTest::keyClick(w_->edtSearch, Qt::Key_Escape);
    Settle();
    QCOMPARE(w_->lbLog->text(), QString("Cancelled."));
    QCOMPARE(w_->wbResult->Url().fileName(), QString("blank.htm"));
    QVERIFY(Plain(w_->wbResult));
  }

  void FindStepsThroughTheMatchesAndEscCloses() {
    OpenQuery(Fixtures());
    Search("give up");
    QVERIFY(WaitForPageText(w_->wbResult, "give up"));
    const int count = PageText(w_->wbResult).count("e", Qt::CaseInsensitive);
    QVERIFY(count >= 3);
    Activate();
    TFindBar* bar = w_->fbResult;
    QVERIFY(bar->isHidden());
    QTest::keyClick(w_.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->isVisible() && bar->edtFind->hasFocus());
    QTest::keyClicks(bar->edtFind, "E");
    const QString of = QString(" of %1").arg(count);
    QTRY_COMPARE(bar->lbMatches->text(), "1" + of);
    QTest::keyClick(bar->edtFind, Qt::Key_Return);
    QTRY_COMPARE(bar->lbMatches->text(), "2" + of);
    QTest::keyClick(bar->edtFind, Qt::Key_Return, Qt::ShiftModifier);
    QTRY_COMPARE(bar->lbMatches->text(), "1" + of);
    QTest::keyClick(bar->edtFind, Qt::Key_Return, Qt::ShiftModifier);  // round to the last
    QTRY_COMPARE(bar->lbMatches->text(), QString::number(count) + of);
    bar->edtFind->setText("zebra");
    QTRY_COMPARE(bar->lbMatches->text(), QString("No matches"));
    QTest::keyClick(bar->edtFind, Qt::Key_Escape);
    QVERIFY(bar->isHidden());
  }

  // 10,005 hits: two pages. Next, the other view and another order show the
  // same hits again without a search (the loaded pairs and the query stay).
  void TheBarPagesSortsAndSwitchesViewWithoutSearching() {
    QByteArray en, zh;
    for (int i = 0; i < 10005; ++i) {
      en += "work " + QByteArray(i % 2 ? "b" : "a") + "\n";
      zh += QByteArray(i % 2 ? "乙" : "甲") + "\n";
    }
    WriteFile(tmp_->path() + "/w.EN.txt", en);
    WriteFile(tmp_->path() + "/w.ZH.txt", zh);
    OpenQuery(tmp_->path());
    Search("work");
    TResultBar* bar = w_->barResult;
    QCOMPARE(bar->lblHits->text(), QString::fromUtf8("hits 1–10,000 of 10,005"));
    QVERIFY(!bar->btnPrevious->isEnabled() && bar->btnNext->isEnabled());
    const int loads = w_->LoadCount();
    bar->btnNext->click();
    Settle();
    QCOMPARE(bar->lblHits->text(), QString::fromUtf8("hits 10,001–10,005 of 10,005"));
    QCOMPARE(w_->Engine->Page(), std::size_t{1});
    QVERIFY(WaitForPageText(w_->wbResult, "10005"));
    bar->cbxView->setCurrentIndex(1);
    emit bar->cbxView->activated(1);
    Settle();
    QVERIFY(w_->Engine->KwicPage() && w_->Engine->Page() == 1);
    bar->cbxSort->setCurrentIndex(5);  // 1st word right
    emit bar->cbxSort->activated(5);
    Settle();
    QCOMPARE(w_->Engine->Page(), std::size_t{0});  // a new order starts at its first hit
    // A cancelled rendering leaves the bar saying what the page shows: the
    // order before, or the new one if the rendering was done first.
    bar->cbxSort->setCurrentIndex(1);
    emit bar->cbxSort->activated(1);
    w_->btnCancel->click();
    Settle();
    QVERIFY(bar->SortKeys() == w_->Engine->SortKeys());
    QCOMPARE(w_->Engine->Result().Order.size(), std::size_t{10005});
    QCOMPARE(w_->Engine->HitCount(), 10005);
    QCOMPARE(w_->LoadCount(), loads);
  }

  void ShortcutsActAsTheirButtonsAndTabs() {
    Open(Fixtures());
    Activate();
    const QList<QPair<Qt::Key, QWidget*>> tabs = {
        {Qt::Key_2, w_->tsQuery}, {Qt::Key_3, w_->tsAbout}, {Qt::Key_1, w_->tsSettings}};
    for (const auto& [key, page] : tabs) {
      QTest::keyClick(w_.get(), key, Qt::ControlModifier);
      QCOMPARE(w_->pcMain->currentWidget(), page);
    }
    w_->edtSearch->setText("give up");
    w_->cbxLemma->setChecked(false);
    QTest::keyClick(w_.get(), Qt::Key_L, Qt::ControlModifier);
    QCOMPARE(w_->pcMain->currentWidget(), w_->tsQuery);
    QVERIFY(w_->edtSearch->hasFocus());
    QCOMPARE(w_->edtSearch->selectedText(), QString("give up"));

    QTest::keyClick(w_.get(), Qt::Key_F5);
    QVERIFY(w_->Running());
    Settle();
    QVERIFY2(w_->lbLog->text().contains(" 2 item(s)."), qPrintable(w_->lbLog->text()));
    w_->edtFilter->setText(QString::fromUtf8("希望"));
    QTest::keyClick(w_->edtFilter, Qt::Key_Return);
    QVERIFY(w_->Running());
    Settle();
    QVERIFY2(w_->lbLog->text().contains(" 1 item(s)."), qPrintable(w_->lbLog->text()));

    desktop_->saveName = tmp_->path() + "/keys.txt";
    QTest::keyClick(w_.get(), Qt::Key_S, Qt::ControlModifier);
    Settle();
    QCOMPARE(desktop_->shown, QStringList{desktop_->saveName});
  }

  // The menu offers nothing that navigates or saves the page; a hit copies
  // English first whichever side was searched.
  void TheResultMenuCopiesAPairWithItsSource() {
    OpenQuery(Fixtures());
    const QString pair = QString::fromUtf8("They would never give up hope.\n他们永远不会放弃希望。\n(news.EN.txt, line 1)");
    for (const QString& query : {QString("give up"), QString::fromUtf8("放弃希望")}) {
      Search(query);
      QVERIFY(WaitForPageText(w_->wbResult, "line 1)"));
      QApplication::clipboard()->clear();
      // Through the window, as the desktop delivers it: that is where a
      // right click becomes a menu request.
      // The page may take clicks only a moment after its text reads: click again until the menu opens.
      QMenu* menu = nullptr;
      for (int tries = 0; !menu && tries < 20; ++tries) {
        QTest::mouseClick(w_->windowHandle(), Qt::RightButton, {},
                          Inner(w_->wbResult)->mapTo(w_.get(), QPoint(120, 16)));
        for (int waited = 0; !menu && waited < 500; waited += 50) {
          QTest::qWait(50);
          menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        }
      }
      QVERIFY(menu);
      QStringList items;
      for (const QAction* action : menu->actions())
        if (!action->isSeparator()) items << action->text();
      QCOMPARE(items, QStringList({"Copy", "Copy pair with reference", "Select all"}));
      menu->actions()[1]->trigger();
      menu->close();
      QTRY_COMPARE(QApplication::clipboard()->text(), pair);
    }
  }
};

int main(int argc, char** argv) {
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  // Corpus caches and result pages go to a folder of the test's own.
  QTemporaryDir cacheHome;
  qputenv("XDG_CACHE_HOME", cacheHome.path().toUtf8());
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  WindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "WindowTest.moc"
