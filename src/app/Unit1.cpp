#include "Unit1.h"

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QShortcut>
#include <QSplitter>
#include <QStackedLayout>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>

#include "CorpusFolder.h"
#include "Desktop.h"
#include "FileIO.h"
#include "LineCounts.h"
#include "MyDLL.h"
#include "ProgramFolder.h"
#include "Utf8.h"
#include "cache/CacheFolder.h"
#include "cache/CorpusCache.h"
#include "Translations.h"
#include "sources/Source.h"

using namespace korvel;

namespace {

const QColor kBlue(0, 0, 255);
const QColor kRed(255, 0, 0);
const QColor kMaroon(128, 0, 0);
const QColor kGrey(128, 128, 128);
constexpr int kPathRole = Qt::UserRole;  // the entry's path in the file system's own bytes
constexpr int kPartnerRole = Qt::UserRole + 10;  // the row of the pair's other file; -1 for none
constexpr int kWeightRole = Qt::UserRole + 11;   // files the entry counts as when ticked
constexpr int kRowRole = Qt::UserRole;   // a panel row's index in the table, or kNoneRow
constexpr int kNoneRow = -1;

std::string ToStd(const QString& text) { return text.toUtf8().toStdString(); }
QString FromStd(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString TrimmedText(const QLineEdit* edit) { return FromStd(Trim(ToStd(edit->text()))); }

// True for an English word or phrase: not empty, no pattern character, not Chinese.
bool CanLemmatize(const QString& text) {
  const std::string t(Trim(ToStd(text)));
  return !t.empty() && !IsRegexQuery(t) && !IsChinese(t);
}

// What Save offers, the tab-separated text first: the default.
struct TSaveType {
  const char* filter;
  const char* extension;
  TExportFormat format;
};
constexpr TSaveType kSaveTypes[] = {
    {QT_TRANSLATE_NOOP("TfrmMain", "Tab-separated text (*.txt)"), ".txt", TExportFormat::Tsv},
    {QT_TRANSLATE_NOOP("TfrmMain", "Excel workbook (*.xlsx)"), ".xlsx", TExportFormat::Xlsx},
    {QT_TRANSLATE_NOOP("TfrmMain", "CSV for spreadsheets (*.csv)"), ".csv", TExportFormat::Csv},
    {QT_TRANSLATE_NOOP("TfrmMain", "TMX translation memory (*.tmx)"), ".tmx", TExportFormat::Tmx}};

QString FolderPart(const QString& path) {
  const qsizetype slash = path.lastIndexOf('/');
  return slash < 0 ? QString() : path.left(slash);
}

void SetTextColor(QWidget* widget, const QColor& color) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Text, color);
  palette.setColor(QPalette::WindowText, color);
  widget->setPalette(palette);
}

QPixmap DrawLogo() {
  QPixmap logo(120, 120);
  logo.fill(Qt::transparent);
  QPainter p(&logo);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 120, 120);
  sky.setColorAt(0, QColor(30, 90, 170));
  sky.setColorAt(1, QColor(10, 40, 100));
  p.setBrush(sky);
  p.setPen(Qt::NoPen);
  p.drawRoundedRect(QRectF(4, 4, 112, 112), 22, 22);
  // Two aligned lines of text, one above the other: the idea of the program.
  p.setBrush(QColor(255, 255, 255, 235));
  p.drawRoundedRect(QRectF(20, 30, 80, 14), 7, 7);
  p.setBrush(QColor(255, 196, 64));
  p.drawRoundedRect(QRectF(20, 54, 56, 14), 7, 7);
  p.setBrush(QColor(255, 255, 255, 235));
  p.drawRoundedRect(QRectF(20, 78, 68, 14), 7, 7);
  p.setPen(QPen(QColor(255, 196, 64), 4));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(QPointF(88, 61), 13, 13);
  p.drawLine(QPointF(97, 70), QPointF(108, 81));
  return logo;
}

}  // namespace

void TActiveLabel::mouseReleaseEvent(QMouseEvent* event) {
  QLabel::mouseReleaseEvent(event);
  if (isEnabled()) emit clicked();
}

void TActiveLabel::enterEvent(QEnterEvent* event) {
  QLabel::enterEvent(event);
  emit entered();
}

void TActiveLabel::leaveEvent(QEvent* event) {
  QLabel::leaveEvent(event);
  emit left();
}

void TTranslationList::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
    emit chosen(currentItem());
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

TfrmMain::TfrmMain(std::unique_ptr<TDesktop> desktop, QWidget* parent)
    : QMainWindow(parent),
      desktop_(desktop ? std::move(desktop) : std::make_unique<TDesktop>()),
      runner_(new TSearchRunner(this)) {
  setWindowTitle(kAppTitle);
  setMinimumSize(772, 674);
  resize(766, 647);
  setWindowIcon(QIcon(DrawLogo()));

  pcMain = new QTabWidget(this);
  setCentralWidget(pcMain);
  tsSettings = new QWidget;
  tsQuery = new QWidget;
  tsAbout = new QWidget;
  pcMain->addTab(tsSettings, tr("Settings"));
  pcMain->addTab(tsQuery, tr("Query"));
  pcMain->addTab(tsAbout, tr("About"));
  BuildSettingsPage();
  BuildQueryPage();
  BuildAboutPage();

  Timer1 = new QTimer(this);
  Timer1->setInterval(100);
  connect(Timer1, &QTimer::timeout, this, &TfrmMain::Timer1Timer);
  connect(runner_, &TSearchRunner::progressed, this, &TfrmMain::RunProgress);
  connect(runner_, &TSearchRunner::loaded, this, &TfrmMain::RunLoaded);
  connect(runner_, &TSearchRunner::searched, this, &TfrmMain::SearchDone);
  connect(runner_, &TSearchRunner::rendered, this, &TfrmMain::RenderDone);
  connect(barResult, &TResultBar::changed, this, &TfrmMain::ResultBarChanged);
  connect(runner_, &TSearchRunner::spotted, this, &TfrmMain::SpotDone);
  connect(runner_, &TSearchRunner::exported, this, &TfrmMain::ExportDone);
  connect(runner_, &TSearchRunner::failed, this, &TfrmMain::RunFailed);
  connect(runner_, &TSearchRunner::cached, this, [this] { caching_ = false; });
  BuildShortcuts();

  tsQuery->setEnabled(false);
  setAcceptDrops(true);
  FormCreate();
}

TfrmMain::~TfrmMain() {
  runner_->Stop();
  FormClose();
}

void TfrmMain::BuildSettingsPage() {
  btnChoseText = new QPushButton(tr("Choose Folder"));
  btnChoseText->setAccessibleName(tr("Choose Folder"));
  btnChoseText->setMinimumWidth(99);
  btnChoseFiles = new QPushButton(tr("Choose Files…"));
  btnChoseFiles->setAccessibleName(tr("Choose Files"));
  btnChoseFiles->setToolTip(tr("List chosen files: pairs, TMX or TSV files. Dropping files or a folder on the window does the same"));
  lblDir = new TActiveLabel;
  lblDir->setCursor(Qt::PointingHandCursor);
  lblDir->setToolTip(tr("Click to open the folder"));
  lblDir->setAccessibleDescription(tr("Folder"));
  clbFileList = new QListWidget;
  clbFileList->setAccessibleName(tr("Corpus files"));
  clbFileList->setSelectionMode(QAbstractItemView::SingleSelection);
  clbFileList->setItemDelegate(new TLineCountDelegate(clbFileList));
  // The count stays in sight at the right; a long path loses its middle, never its file name.
  clbFileList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  clbFileList->setTextElideMode(Qt::ElideMiddle);
  lineCounts_ = new TLineCounts(this);

  plSettings = new QWidget;
  edtFileFilter = new QLineEdit;
  edtFileFilter->setAccessibleName(tr("File filter"));
  edtFileFilter->setFixedWidth(121);
  btnFilter = new QPushButton(tr("Filter"));
  btnFilter->setAccessibleName(tr("Filter"));
  btnFilter->setEnabled(false);
  lblFileInfo = new QLabel;
  lblFileInfo->setAccessibleDescription(tr("File counts"));
  SetTextColor(lblFileInfo, kBlue);
  btnSelAll = new QPushButton(tr("Select All"));
  btnSelAll->setAccessibleName(tr("Select All"));
  btnClearSel = new QPushButton(tr("Clear Selection"));
  btnClearSel->setAccessibleName(tr("Clear Selection"));

  auto* panel = new QHBoxLayout(plSettings);
  panel->setContentsMargins(6, 4, 0, 0);
  panel->addWidget(edtFileFilter);
  panel->addWidget(btnFilter);
  panel->addSpacing(12);
  panel->addWidget(lblFileInfo);
  panel->addStretch(1);
  panel->addWidget(btnSelAll);
  panel->addWidget(btnClearSel);

  auto* top = new QHBoxLayout;
  top->addWidget(btnChoseText);
  top->addWidget(btnChoseFiles);
  top->addWidget(lblDir, 1);
  cbxCache = new QCheckBox(tr("Keep a cache of opened corpora"));
  cbxCache->setChecked(true);
  cbxCache->setToolTip(tr("Opening the same files again maps what the first opening made of them, kept in %1")
                           .arg(FromStd(DefaultCorpusCacheDir())));
  btnClearCache = new QPushButton(tr("Clear cache"));
  btnClearCache->setAccessibleName(tr("Clear cache"));
  btnClearCache->setToolTip(tr("Remove every corpus cache"));
  auto* cacheRow = new QHBoxLayout;
  cacheRow->addWidget(cbxCache);
  cacheRow->addStretch(1);
  cacheRow->addWidget(btnClearCache);
  connect(cbxCache, &QCheckBox::toggled, this, &TfrmMain::CacheToggled);
  connect(btnClearCache, &QPushButton::clicked, this, &TfrmMain::btnClearCacheClick);

  auto* page = new QVBoxLayout(tsSettings);
  page->addLayout(top);
  page->addWidget(clbFileList, 1);
  page->addWidget(plSettings);
  page->addLayout(cacheRow);

  setTabOrder(btnChoseText, btnChoseFiles);
  setTabOrder(btnChoseFiles, clbFileList);
  setTabOrder(clbFileList, btnFilter);
  setTabOrder(btnFilter, edtFileFilter);
  setTabOrder(edtFileFilter, btnClearSel);
  setTabOrder(btnClearSel, btnSelAll);

  connect(btnChoseText, &QPushButton::clicked, this, &TfrmMain::btnChoseTextClick);
  connect(btnChoseFiles, &QPushButton::clicked, this, &TfrmMain::btnChoseFilesClick);
  connect(lblDir, &TActiveLabel::clicked, this, &TfrmMain::lblDirClick);
  connect(clbFileList, &QListWidget::itemClicked, this, &TfrmMain::clbFileListClick);
  connect(clbFileList, &QListWidget::itemChanged, this, &TfrmMain::clbFileListClickCheck);
  connect(edtFileFilter, &QLineEdit::textChanged, this, &TfrmMain::edtFileFilterChange);
  connect(edtFileFilter, &QLineEdit::returnPressed, this, &TfrmMain::edtFileFilterKeyPress);
  connect(btnFilter, &QPushButton::clicked, this, &TfrmMain::btnFilterClick);
  connect(btnSelAll, &QPushButton::clicked, this, &TfrmMain::btnSelAllClick);
  connect(btnClearSel, &QPushButton::clicked, this, &TfrmMain::btnClearSelClick);
  connect(lineCounts_, &TLineCounts::counted, this, &TfrmMain::LineCounted);
}

void TfrmMain::BuildQueryPage() {
  pb = new QProgressBar;
  pb->setRange(0, TSearchRunner::kScale);
  pb->setValue(0);
  pb->setTextVisible(false);
  pb->setAccessibleName(tr("Progress"));
  pb->setFixedWidth(329);
  pb->hide();
  lbDic = new QLabel;
  lbDic->setAccessibleDescription(tr("Dictionary equivalents"));
  QFont dicFont = lbDic->font();
  dicFont.setBold(true);
  lbDic->setFont(dicFont);
  SetTextColor(lbDic, kMaroon);
  edtSearch = new QLineEdit;
  edtSearch->setAccessibleName(tr("Query"));
  edtSearch->setFixedWidth(329);
  QFont searchFont = edtSearch->font();
  searchFont.setBold(true);
  searchFont.setPointSizeF(searchFont.pointSizeF() * 1.15);
  edtSearch->setFont(searchFont);
  SetTextColor(edtSearch, kBlue);
  btnSearch = new QPushButton(tr("Search"));
  btnSearch->setAccessibleName(tr("Search"));
  btnSearch->setEnabled(false);
  btnCancel = new QPushButton(tr("Cancel"));
  btnCancel->setAccessibleName(tr("Cancel"));
  btnCancel->setToolTip(tr("Stop the search or the save (Esc)"));
  btnCancel->hide();
  cbxLemma = new QCheckBox(tr("Lemmatize"));
  cbxLemma->setAccessibleName(tr("Lemmatize query"));
  cbxLemma->setToolTip(tr("Also find the word's other forms: give finds gives, gave and given too"));
  cbxLemma->hide();
  cbxWholeWords = new QCheckBox(tr("Whole words"));
  cbxWholeWords->setAccessibleName(tr("Whole words"));
  cbxWholeWords->setToolTip(tr("Applies to Chinese text in the query and the filter: "
                                 "%1 no longer matches inside %2")
                                  .arg(QString::fromUtf8("人"), QString::fromUtf8("人们")));
  cbxVariants = new QCheckBox(QString::fromUtf8("简/繁"));
  cbxVariants->setAccessibleName(tr("Simplified and traditional"));
  cbxVariants->setToolTip(tr("Chinese characters of the query, the filter and the word-list "
                               "equivalents match their simplified and traditional forms alike: "
                               "%1 also finds %2")
                                .arg(QString::fromUtf8("发展"), QString::fromUtf8("發展")));
  cbxExclude = new QCheckBox(tr("Exclude"));
  cbxExclude->setAccessibleName(tr("Exclude"));
  cbxExclude->setToolTip(tr("Keep the hits whose aligned line does not match the filter"));
  cbxFilterLemma = new QCheckBox(tr("Lemmatize"));
  cbxFilterLemma->setAccessibleName(tr("Lemmatize filter"));
  cbxFilterLemma->setToolTip(tr("The filter also matches the word's other forms"));
  cbxFilterLemma->hide();
  edtFilter = new QLineEdit;
  edtFilter->setAccessibleName(tr("Aligned-line filter"));
  edtFilter->setPlaceholderText(tr("Filter on the aligned line"));
  edtFilter->setFixedWidth(205);
  QFont filterFont = edtFilter->font();
  filterFont.setBold(true);
  edtFilter->setFont(filterFont);
  SetTextColor(edtFilter, kBlue);

  plResult = new QFrame;
  plResult->setFrameShape(QFrame::Box);
  plResult->setLineWidth(1);
  wbResult = new TResultView;
  wbResult->setAccessibleName(tr("Results"));
  if (QWidget* inner = wbResult->focusProxy()) inner->setAccessibleName(tr("Results"));
  auto* frame = new QVBoxLayout(plResult);
  frame->setContentsMargins(1, 1, 1, 1);
  frame->addWidget(wbResult);
  fbResult = new TFindBar(wbResult);
  fbResult->hide();

  lvTranslations = new TTranslationList;
  lvTranslations->setAccessibleName(tr("Translations"));
  lvTranslations->setRootIsDecorated(false);
  lvTranslations->setAllColumnsShowFocus(true);
  lvTranslations->setUniformRowHeights(true);
  lvTranslations->setHeaderLabels({tr("Translation"), tr("Hits"), tr("Share"), tr("Score")});
  lvTranslations->header()->setStretchLastSection(false);
  lvTranslations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int column = 1; column < 4; ++column)
    lvTranslations->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
  lvTranslations->setToolTip(tr("Click a row, or press Enter on it, to filter the hits by it"));
  spResult = new QSplitter(Qt::Horizontal);
  spResult->setChildrenCollapsible(false);
  spResult->addWidget(plResult);
  spResult->addWidget(lvTranslations);
  spResult->setStretchFactor(0, 1);
  spResult->setStretchFactor(1, 0);
  spResult->setSizes({560, 240});
  lvTranslations->setVisible(false);

  lbLog = new QLabel;
  lbLog->setAccessibleDescription(tr("Status"));
  lbLog->setTextInteractionFlags(Qt::TextSelectableByMouse);
  btnTranslations = new QPushButton(tr("Translations"));
  btnTranslations->setAccessibleName(tr("Translations"));
  btnTranslations->setAccessibleDescription(tr("Shows or hides the translation table"));
  btnTranslations->setToolTip(tr("Show or hide how the aligned lines translate the query"));
  btnTranslations->setCheckable(true);
  btnTranslations->setChecked(false);  // hidden: the page as it always was, no spotting
  btnSave = new QPushButton(tr("Save"));
  btnSave->setAccessibleName(tr("Save"));
  btnSave->setEnabled(false);

  // The progress bar and Cancel lie over the dictionary hint and are shown
  // only during a run.
  auto* runRow = new QWidget;
  auto* run = new QHBoxLayout(runRow);
  run->setContentsMargins(0, 0, 0, 0);
  run->addWidget(pb);
  run->addWidget(btnCancel);
  run->addStretch(1);
  auto* hintCell = new QWidget;
  auto* hint = new QStackedLayout(hintCell);
  hint->setStackingMode(QStackedLayout::StackAll);
  hint->addWidget(lbDic);
  hint->addWidget(runRow);

  auto* left = new QGridLayout;
  left->addWidget(hintCell, 0, 0, 1, 3);
  left->addWidget(edtSearch, 1, 0);
  left->addWidget(btnSearch, 1, 1);
  left->addWidget(cbxLemma, 1, 2);
  left->addWidget(cbxWholeWords, 1, 3);
  left->addWidget(cbxVariants, 1, 4);
  auto* right = new QGridLayout;
  auto* filterBoxes = new QHBoxLayout;
  filterBoxes->addWidget(cbxExclude);
  filterBoxes->addWidget(cbxFilterLemma);
  filterBoxes->addStretch(1);
  right->addLayout(filterBoxes, 0, 0);
  right->addWidget(edtFilter, 1, 0);
  auto* top = new QHBoxLayout;
  top->addLayout(left);
  top->addStretch(1);
  top->addLayout(right);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(lbLog, 1);
  bottom->addWidget(btnTranslations);
  bottom->addWidget(btnSave);
  barResult = new TResultBar;
  auto* page = new QVBoxLayout(tsQuery);
  page->addLayout(top);
  page->addWidget(barResult);
  page->addWidget(spResult, 1);
  page->addWidget(fbResult);
  page->addLayout(bottom);

  setTabOrder(btnSave, plResult);
  setTabOrder(plResult, lvTranslations);
  setTabOrder(lvTranslations, edtSearch);
  setTabOrder(edtSearch, btnSearch);
  setTabOrder(btnSearch, edtFilter);
  setTabOrder(edtFilter, cbxExclude);
  setTabOrder(cbxExclude, cbxLemma);
  setTabOrder(cbxLemma, cbxWholeWords);
  setTabOrder(cbxWholeWords, cbxVariants);
  setTabOrder(cbxVariants, cbxFilterLemma);
  setTabOrder(cbxFilterLemma, btnTranslations);
  setTabOrder(btnTranslations, btnSave);

  connect(edtSearch, &QLineEdit::textChanged, this, &TfrmMain::edtSearchChange);
  connect(edtSearch, &QLineEdit::returnPressed, this, &TfrmMain::edtSearchKeyPress);
  connect(edtFilter, &QLineEdit::textChanged, this, &TfrmMain::edtFilterChange);
  connect(edtFilter, &QLineEdit::returnPressed, this, &TfrmMain::edtSearchKeyPress);
  connect(cbxExclude, &QCheckBox::clicked, this, &TfrmMain::cbxExcludeClick);
  connect(cbxLemma, &QCheckBox::clicked, this, &TfrmMain::cbxExcludeClick);
  connect(cbxFilterLemma, &QCheckBox::clicked, this, &TfrmMain::cbxExcludeClick);
  connect(btnSearch, &QPushButton::clicked, this, &TfrmMain::btnSearchClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmMain::btnSaveClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmMain::btnCancelClick);
  connect(btnTranslations, &QPushButton::clicked, this, &TfrmMain::btnTranslationsClick);
  connect(lvTranslations, &QTreeWidget::itemClicked, this, &TfrmMain::lvTranslationsChoose);
  connect(lvTranslations, &TTranslationList::chosen, this, &TfrmMain::lvTranslationsChoose);
  connect(wbResult, &TResultView::pairChosen, this, &TfrmMain::wbResultCopyPair);
  connect(fbResult, &TFindBar::openChanged, this, &TfrmMain::UpdateRunLocks);
}

void TfrmMain::BuildShortcuts() {
  auto add = [this](const QKeySequence& keys, auto act) {
    connect(new QShortcut(keys, this), &QShortcut::activated, this, act);
  };
  // Each acts only where its button or page would.
  auto toQuery = [this] {
    if (!tsQuery->isEnabled()) return false;
    pcMain->setCurrentWidget(tsQuery);
    return true;
  };
  add(QKeySequence(Qt::CTRL | Qt::Key_S), [this] {
    if (btnSave->isEnabled()) btnSaveClick();
  });
  add(QKeySequence(Qt::CTRL | Qt::Key_L), [this, toQuery] {
    if (!toQuery()) return;
    edtSearch->setFocus(Qt::ShortcutFocusReason);
    edtSearch->selectAll();
  });
  add(QKeySequence(Qt::Key_F5), [this, toQuery] {
    if (btnSearch->isEnabled() && toQuery()) btnSearchClick();
  });
  add(QKeySequence(Qt::CTRL | Qt::Key_F), [this, toQuery] {
    if (toQuery()) fbResult->Open();
  });
  const QKeySequence tabKeys[] = {Qt::CTRL | Qt::Key_1, Qt::CTRL | Qt::Key_2, Qt::CTRL | Qt::Key_3};
  for (int tab = 0; tab < 3; ++tab) add(tabKeys[tab], [this, tab] { pcMain->setCurrentIndex(tab); });
  // Off while there is nothing to close or cancel, so Esc reaches the widgets.
  escape_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  escape_->setEnabled(false);
  connect(escape_, &QShortcut::activated, this, &TfrmMain::EscapePressed);
}

void TfrmMain::BuildAboutPage() {
  Image1 = new QLabel;
  Image1->setPixmap(DrawLogo());
  Image1->setFixedSize(121, 121);
  Image1->setAccessibleName(tr("Korvel logo"));
  Label2 = new QLabel(kAppTitle);
  QFont bold = Label2->font();
  bold.setBold(true);
  Label2->setFont(bold);
  Label1 = new QLabel(tr(
      "Programmed and designed by the Korvel developers.\n\n"
      "TAVO Korvel is a free parallel concordancing tool. It is provided \"as is\", without warranty of any "
      "kind; the authors accept no liability for any damage arising from its use.\n\n"
      "We thank the translators, teachers and corpus linguists whose questions shaped it, and the open "
      "projects whose data and libraries it builds on: PCRE2, ICU, Qt, WordNet, SCOWL and CC-CEDICT.\n\n"
      "Please cite the program as:"));
  Label1->setWordWrap(true);
  Label1->setFixedWidth(569);
  QFont aboutFont = Label1->font();
  aboutFont.setPointSizeF(aboutFont.pointSizeF() * 1.3);
  Label1->setFont(aboutFont);
  mmAbout = new QPlainTextEdit;
  mmAbout->setReadOnly(true);
  mmAbout->setFrameShape(QFrame::NoFrame);
  mmAbout->setPlainText(
      "\nThe Korvel developers (2026). TAVO Korvel 1.2.1: a parallel concordancer for English-Chinese "
      "corpora [Computer software]. The Korvel project.");
  mmAbout->setFixedSize(501, 78);
  QFont citeFont = mmAbout->font();
  citeFont.setPointSizeF(citeFont.pointSizeF() * 1.15);
  mmAbout->setFont(citeFont);
  SetTextColor(mmAbout, QColor(0, 0, 128));
  lbInfo = new TActiveLabel(tr("Released 2026-12-06     korvel@example.org"));
  SetTextColor(lbInfo, kGrey);

  auto* grid = new QGridLayout(tsAbout);
  grid->setContentsMargins(20, 24, 20, 12);
  grid->setHorizontalSpacing(24);
  auto* leftColumn = new QVBoxLayout;
  leftColumn->addWidget(Image1);
  leftColumn->addSpacing(18);
  leftColumn->addWidget(Label2);
  leftColumn->addStretch(1);
  auto* rightColumn = new QVBoxLayout;
  rightColumn->addWidget(Label1);
  rightColumn->addWidget(mmAbout);
  rightColumn->addStretch(1);
  grid->addLayout(leftColumn, 0, 0);
  grid->addLayout(rightColumn, 0, 1);
  grid->setColumnStretch(2, 1);
  grid->setRowStretch(1, 1);
  grid->addWidget(lbInfo, 2, 0, 1, 3, Qt::AlignRight | Qt::AlignBottom);

  connect(lbInfo, &TActiveLabel::entered, this, &TfrmMain::lbInfoMouseEnter);
  connect(lbInfo, &TActiveLabel::left, this, &TfrmMain::lbInfoMouseLeave);
}

void TfrmMain::FormCreate() {
  // Throws when the lexicon is missing: the window must not open without it.
  LoadInflectionTables();
  lblDir->setText("");
  lblFileInfo->setText("");
  lblDir->setEnabled(false);
  plSettings->setEnabled(false);
  pcMain->setCurrentWidget(tsSettings);
  // The citation reads as part of the page, not as an input box.
  mmAbout->viewport()->setAutoFillBackground(false);
  mmAbout->setStyleSheet("QPlainTextEdit { background: transparent; color: rgb(0, 0, 128); }");
  wbResult->ShowBlank(FromStd(DataDir() + "sys/blank.htm"));
  SelectedFiles.clear();
  Engine = std::make_unique<TKorvel>();
  Engine->SetCacheDir(DefaultCorpusCacheDir());
  Engine->SetPageRowFormats({ToStd(tr("Showing the first %1 of %2 hits. Save exports all of them.")),
                             ToStd(tr("Showing hits %1–%2 of %3. Save exports all of them."))});
  try {
    Engine->LoadDictionaries("");
  } catch (const std::exception& e) {
    // The window still opens; the next folder choice sets FilesChanged.
    QTimer::singleShot(0, this, [this, message = TranslatedMessage(e)] { ShowError(message); });
    return;
  }
  FilesChanged = true;
}

void TfrmMain::FormClose() {
  if (closed_) return;
  closed_ = true;
  FreeArrays();
  SelectedFiles.clear();
  Engine.reset();
}

void TfrmMain::closeEvent(QCloseEvent* event) {
  // Abandon the run first: nothing is freed under it.
  runner_->Stop();
  Timer1->stop();
  FormClose();
  event->accept();
}

// ---- errors -----------------------------------------------------------------

void TfrmMain::ShowError(const QString& message) { desktop_->ShowError(this, WithStop(message)); }

namespace {

// Puts the cursor on the character a compile error names (`position`
// counts characters of the trimmed text; none selected past its end).
void SelectErrorPosition(QLineEdit* box, std::size_t position) {
  box->setFocus(Qt::OtherFocusReason);
  if (position == ERegExpr::kNoPosition) return;
  const QString text = box->text();
  const std::string typed = ToStd(text);
  const std::string_view trimmed = Trim(typed);
  std::size_t chars = utf8::CharCount(typed, static_cast<std::size_t>(trimmed.data() - typed.data())) + position;
  auto units = [&](qsizetype at) { return at + 1 < text.size() && text[at].isHighSurrogate() ? 2 : 1; };
  qsizetype at = 0;
  for (; chars > 0 && at < text.size(); --chars) at += units(at);
  box->setSelection(at, at < text.size() ? units(at) : 0);
}

}  // namespace

void TfrmMain::ReportError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
  } catch (const EBadSource& e) {
    // The rest may be worth searching: the user decides, every time.
    if (!desktop_->SearchWithout(this, WithStop(TranslatedMessage(e.Message())))) return;
    skipBadSources_ = true;
    btnSearchClick();
  } catch (const std::bad_alloc&) {
    ShowError(tr("Out of memory"));
  } catch (const ERegExpr& e) {
    QLineEdit* const box = e.Place() == TExprPlace::Query    ? edtSearch
                           : e.Place() == TExprPlace::Filter ? edtFilter
                                                             : nullptr;
    if (!box) {
      ShowError(TranslatedMessage(e.Message()));
      return;
    }
    // Outlined while the message is read, and until the user edits it.
    box->setStyleSheet("QLineEdit { border: 2px solid rgb(204, 0, 0); }");
    connect(box, &QLineEdit::textEdited, box, [box] { box->setStyleSheet(QString()); }, Qt::SingleShotConnection);
    desktop_->ShowError(this, WithStop(TranslatedMessage(e.Message())),
                        box == edtSearch ? tr("In the query.") : tr("In the filter."));
    SelectErrorPosition(box, e.Position());
  } catch (const EKorvel& e) {
    desktop_->ShowError(this, WithStop(TranslatedMessage(e.Message())), FromStd(e.Detail()));
  } catch (const std::exception& e) {
    ShowError(TranslatedMessage(e));
  }
}

// ---- runs -----------------------------------------------------------------------

void TfrmMain::BeginRun() {
  pageShown_ = false;
  Timer1->start();
  barEnd_ = 0;
  barKnown_ = false;
  pb->setValue(0);
  pb->show();
  btnCancel->show();
}

void TfrmMain::EndRun() {
  Timer1->stop();
  pb->hide();
  btnCancel->hide();
  UpdateRunLocks();
}

void TfrmMain::UpdateRunLocks() {
  const bool idle = !Running();
  btnChoseText->setEnabled(idle);
  btnChoseFiles->setEnabled(idle);
  clbFileList->setEnabled(idle);
  plSettings->setEnabled(idle && listed_);
  btnSearch->setEnabled(CanSearch() && !TrimmedText(edtSearch).isEmpty());
  btnSave->setEnabled(idle && Engine && Engine->HitCount() > 0);
  btnCancel->setEnabled(!idle);
  barResult->setEnabled(idle);
  escape_->setEnabled(!idle || !fbResult->isHidden());
}

void TfrmMain::EscapePressed() {
  if (!fbResult->isHidden())
    fbResult->Close();
  else if (Running())
    btnCancelClick();
}

void TfrmMain::RunProgress(int done, int stepEnd, bool known) {
  if (!Running()) return;
  barEnd_ = stepEnd;
  barKnown_ = known;
  if (done > pb->value()) pb->setValue(done);
}

void TfrmMain::RunLoaded() {
  if (!Running()) return;
  ++loadCount_;
  FilesChanged = false;
}

void TfrmMain::SearchDone(const TRunReport& report) {
  // Still running: the table is being made.
  pageShown_ = true;
  if (Running())
    UpdateRunLocks();
  else
    EndRun();
  wbResult->ShowFile(runPage_);
  barResult->ShowHits(report.HitCount);
  shownSearch_ = runSearch_;
  shownChineseFirst_ = report.Direction == "ZH-EN";
  // The direction and "@search=" stay as they are in every language: they
  // are what a reader of the line parses.
  status_ = tr("%1 second(s), %2 item(s).").arg(QLocale().toString(report.Seconds, 'f', 3)).arg(report.HitCount) +
            "   " + FromStd(report.Direction) + "   @search=" + FromStd(report.Pattern);
  // Sources left out stay named for as long as the corpus is the one loaded without them.
  for (const TMessage& bad : Engine->BadSourceMessages())
    status_ += "   " + tr("Left out: %1").arg(WithStop(TranslatedMessage(bad)));
  lbLog->setText(status_ + NoteText(report.NoteMessage));
  if (report.Loaded)
    lbLog->setToolTip(report.FromCache
                          ? tr("The corpus was loaded from its cache in %1").arg(FromStd(DisplayPath(Engine->CacheDir())))
                          : QString());
  // The panel was shown during a run that made no table.
  if (!Running() && btnTranslations->isChecked()) StartSpot();
  StartCaching();
}

void TfrmMain::StartCaching() {
  if (Running() || caching_ || closed_ || !Engine || !cbxCache->isChecked() || !Engine->CacheMissing()) return;
  caching_ = true;
  runner_->Cache(*Engine);
}

void TfrmMain::StopCaching() {
  if (!caching_) return;
  runner_->Stop();
  caching_ = false;
}

void TfrmMain::CacheToggled(bool on) {
  StopCaching();
  if (Engine) Engine->SetCacheDir(on ? DefaultCorpusCacheDir() : std::string());
}

void TfrmMain::btnClearCacheClick() {
  StopCaching();
  ClearCorpusCaches(DefaultCorpusCacheDir());
}

void TfrmMain::ResultBarChanged() {
  // Before the first search there is nothing to show another way; during a
  // run the bar is locked.
  if (Running() || closed_ || shownSearch_.Query.isEmpty() || runPage_.isEmpty()) return;
  TRenderRequest request{barResult->SortKeys(), barResult->Page(), barResult->Kwic(), ToStd(runPage_)};
  if (!btnTranslations->isChecked()) {
    // A table hidden while a run went on: its marks go with it.
    Engine->SetTranslationMarks({});
    Engine->SetTranslationOrder({});
  }
  exporting_ = false;
  BeginRun();
  pageShown_ = true;  // a cancel leaves the page on view as it is
  StopCaching();
  runner_->Render(*Engine, std::move(request));
  UpdateRunLocks();
}

void TfrmMain::RenderDone(const TRunReport& report) {
  EndRun();
  wbResult->ShowFile(runPage_);
  lbLog->setText(status_ + NoteText(report.NoteMessage));
  // The order changed under the run (the table it needed was hidden).
  if (barResult->SortKeys() != Engine->SortKeys()) ResultBarChanged();
}

void TfrmMain::StartSpot() {
  if (Running() || closed_ || shownSearch_.Query.isEmpty() || Translations.HitCount > 0 || Engine->HitCount() == 0)
    return;
  BeginRun();
  pageShown_ = true;
  tableWanted_ = true;
  StopCaching();
  runner_->Spot(*Engine, ToStd(runPage_));
  UpdateRunLocks();
}

void TfrmMain::SpotDone(const TTranslationTable& table) {
  EndRun();
  const bool wanted = tableWanted_;
  tableWanted_ = false;
  if (!wanted || table.HitCount == 0) return StartCaching();
  ShowTranslations(table);
  StartCaching();
  const TSortKeys& order = Engine->SortKeys();
  // Neither marks nor an order by them: the page was not written again.
  if (RowsToMark(table).empty() && std::find(order.begin(), order.end(), TSortKey::Translation) == order.end())
    return;
  wbResult->ShowAgain();
  lbLog->setText(status_ + NoteText(Engine->NoteMessage()));
}

void TfrmMain::ShowTranslations(const TTranslationTable& table) {
  ClearTranslations();
  Translations = table;
  auto add = [&](const QString& text, int32_t hits, const QString& score, int row) {
    const QString share =
        FromStd(FormatDecimal(table.HitCount > 0 ? 100.0 * hits / table.HitCount : 0.0, 0)) + "%";
    auto* item = new QTreeWidgetItem({text, QString::number(hits), share, score});
    for (int column = 1; column < 4; ++column) item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
    QString spoken = tr("%1: %2 hit(s), %3").arg(text).arg(hits).arg(share);
    if (!score.isEmpty()) spoken += tr(", score %1").arg(score);
    item->setData(0, Qt::AccessibleTextRole, spoken);
    item->setData(0, kRowRole, row);
    lvTranslations->addTopLevelItem(item);
  };
  for (std::size_t i = 0; i < table.Rows.size(); ++i) {
    const TSpotRow& row = table.Rows[i];
    add(FromStd(row.Text), row.Hits, FromStd(FormatDecimal(row.Score, 1)), static_cast<int>(i));
  }
  add(tr("(none of these)"), table.NoneHits, QString(), kNoneRow);
  // Where the arrows start, not a choice: nothing is shown selected.
  lvTranslations->setCurrentItem(lvTranslations->topLevelItem(0), 0, QItemSelectionModel::NoUpdate);
}

void TfrmMain::ClearTranslations() {
  Translations = {};
  lvTranslations->clear();
}

void TfrmMain::ExportDone() {
  EndRun();
  if (!Engine->Note().empty()) lbLog->setText(lbLog->text() + NoteText(Engine->NoteMessage()));
  desktop_->ShowFileInExplorer(lastSaveName_);
}

void TfrmMain::RunFailed(std::exception_ptr error) {
  EndRun();
  // The bar says what the page on view shows, not what was asked.
  if (pageShown_ && !exporting_) barResult->ShowAs(Engine->SortKeys(), Engine->Page(), Engine->KwicPage());
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
    // A cancelled Save, or a table no longer wanted, leaves the search's
    // page and status as they were.
    if (exporting_ || pageShown_) return;
    ResetResultView();
    lbLog->setText(tr("Cancelled."));
    return;
  } catch (...) {
  }
  ReportError(error);
}

void TfrmMain::btnCancelClick() {
  tableWanted_ = false;
  runner_->Cancel();
}

void TfrmMain::btnTranslationsClick() {
  const bool shown = btnTranslations->isChecked();
  lvTranslations->setVisible(shown);
  const bool reordered = barResult->SetTranslations(shown);
  if (shown) {
    StartSpot();
    return;
  }
  // Hidden: no table, and the next page has no marks.
  tableWanted_ = false;
  runner_->DropSpot();
  ClearTranslations();
  if (Running()) return;  // a rendering under way checks the order when it ends
  Engine->SetTranslationMarks({});
  Engine->SetTranslationOrder({});
  if (reordered) ResultBarChanged();
}

void TfrmMain::lvTranslationsChoose(QTreeWidgetItem* item) {
  if (!item || closed_ || !CanSearch() || shownSearch_.Query.isEmpty()) return;
  const int row = item->data(0, kRowRole).toInt();
  if (row == kNoneRow) {
    edtFilter->setText(FromStd(NoneFilter(Translations.Rows)));
    cbxExclude->setChecked(true);
    cbxFilterLemma->setChecked(false);
  } else if (row >= 0 && static_cast<std::size_t>(row) < Translations.Rows.size()) {
    const TSpotFilter filter = RowFilter(Translations.Rows[row]);
    edtFilter->setText(FromStd(filter.Text));
    cbxExclude->setChecked(false);
    cbxFilterLemma->setChecked(filter.Lemmatize);
    if (filter.Lemmatize) cbxFilterLemma->show();
  } else {
    return;
  }
  cbxExcludeClick();
  // The table's own search, whatever has been typed since.
  if (TrimmedText(edtSearch) != shownSearch_.Query) edtSearch->setText(shownSearch_.Query);
  cbxLemma->setChecked(shownSearch_.Lemma);
  cbxWholeWords->setChecked(shownSearch_.ChineseWords);
  cbxVariants->setChecked(shownSearch_.Variants);
  btnSearchClick();
}

// ---- Settings page ---------------------------------------------------------------

int TfrmMain::CountTickedFiles() const {
  // A TMX or TSV entry holds whole pairs: it counts as two files.
  int ticked = 0;
  for (int i = 0; i < clbFileList->count(); ++i)
    if (clbFileList->item(i)->checkState() == Qt::Checked) ticked += clbFileList->item(i)->data(kWeightRole).toInt();
  return ticked % 2 == 0 ? ticked : 0;
}

void TfrmMain::SetAllTicked(bool ticked) {
  updatingList_ = true;
  for (int i = 0; i < clbFileList->count(); ++i) clbFileList->item(i)->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
  updatingList_ = false;
}

void TfrmMain::CollectSelectedFiles() {
  SelectedFiles.clear();
  for (int i = 0; i < clbFileList->count(); ++i) {
    const QListWidgetItem* item = clbFileList->item(i);
    if (item->checkState() == Qt::Checked) SelectedFiles.push_back(item->data(kPathRole).toByteArray().toStdString());
  }
}

void TfrmMain::Refresh(int ticked) {
  TickedCount = ticked;
  tsQuery->setEnabled(TickedCount > 0);
  FilesChanged = true;
  lblFileInfo->setText(tr("%1 file(s) selected, %2 file(s) in the list.").arg(TickedCount).arg(clbFileList->count()));
}

void TfrmMain::AddEntry(const std::string& path, int partner) {
  auto* item = new QListWidgetItem(FromStd(DisplayPath(path)));
  item->setData(kPathRole, QByteArray::fromStdString(path));
  item->setData(kPartnerRole, partner);
  item->setData(kWeightRole, static_cast<int>(ListedEntryWeight(path)));
  if (const TSourceKind kind = SourceKindOf(path); kind != TSourceKind::Text)
    item->setData(kSourceRole, kind == TSourceKind::Tmx ? "TMX" : "TSV");
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(Qt::Checked);
  clbFileList->addItem(item);
}

void TfrmMain::ShowEntryFolder(QListWidgetItem* item) { lblDir->setText(FolderPart(item->text())); }

void TfrmMain::btnChoseTextClick() {
  if (Running()) return;
  const QString folder = desktop_->ChooseFolder(this, FromStd(DataDir()));
  if (folder.isEmpty()) {
    RecountList();
    return;
  }
  ListFolder(folder);
}

void TfrmMain::btnChoseFilesClick() {
  if (Running()) return;
  const QStringList paths =
      desktop_->ChooseFiles(this, corpusFolder_.isEmpty() ? FromStd(DataDir()) : corpusFolder_);
  if (paths.isEmpty()) {
    RecountList();
    return;
  }
  ListFiles(paths);
}

void TfrmMain::ListFolder(const QString& folder) {
  std::vector<std::string> listed;
  try {
    listed = ListCorpusFolder(QFile::encodeName(folder).toStdString());
  } catch (const EKorvel&) {
    // A folder that cannot be read lists nothing, like one without pairs.
  }
  ShowListing(folder, listed, tr("No corpus files in this folder"));
}

void TfrmMain::ListFiles(const QStringList& paths) {
  std::vector<std::string> given;
  for (const QString& path : paths) given.push_back(QFile::encodeName(path).toStdString());
  ShowListing(FolderPart(paths.front()), ListCorpusFiles(given), tr("No corpus files among these files"));
}

void TfrmMain::ShowListing(const QString& folder, const std::vector<std::string>& listed, const QString& none) {
  updatingList_ = true;
  clbFileList->clear();
  lblDir->setText(folder);
  // A file pair's two entries name each other; a TMX or TSV entry stands alone.
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const int row = static_cast<int>(i);
    if (ListedEntryWeight(listed[i]) == 2 || i + 1 == listed.size()) {
      AddEntry(listed[i], -1);
      continue;
    }
    AddEntry(listed[i], row + 1);
    AddEntry(listed[i + 1], row);
    ++i;
  }
  updatingList_ = false;
  FilesChanged = true;
  lineCounts_->Start(listed);
  if (clbFileList->count() == 0) {
    listed_ = false;
    plSettings->setEnabled(false);
    TickedCount = 0;
    tsQuery->setEnabled(false);
    lblFileInfo->setText(none);
    return;
  }
  corpusFolder_ = folder;
  RecountList();
}

void TfrmMain::RecountList() {
  if (clbFileList->count() == 0) return;
  listed_ = true;
  lblDir->setEnabled(true);
  plSettings->setEnabled(true);
  TickedCount = CountTickedFiles();
  tsQuery->setEnabled(TickedCount > 0);
  lblFileInfo->setText(
      tr("%1 file(s) selected, %2 file(s) in the list.").arg(TickedCount).arg(clbFileList->count()));
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
  const QList<QUrl> urls = event->mimeData()->urls();
  if (!Running() && !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& u) { return u.isLocalFile(); }))
    event->acceptProposedAction();
}

void TfrmMain::dropEvent(QDropEvent* event) {
  if (Running()) return;
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) files << url.toLocalFile();
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  pcMain->setCurrentWidget(tsSettings);
  if (files.size() == 1 && QFileInfo(files.front()).isDir())
    ListFolder(files.front());
  else
    ListFiles(files);
}

void TfrmMain::LineCounted(int row, qint64 lines, const QString& error) {
  QListWidgetItem* item = clbFileList->item(row);
  if (!item) return;
  // A count is no tick: clbFileListClickCheck must not take it for one.
  updatingList_ = true;
  auto explain = [](QListWidgetItem* entry, const QString& text) {
    entry->setToolTip(text);
    entry->setData(Qt::AccessibleDescriptionRole, text);
  };
  item->setData(kLineCountRole, lines);
  const QString source = item->data(kSourceRole).toString();
  explain(item, lines < 0 ? error : source.isEmpty() ? LineCountText(lines) : SourcePairsText(source, lines));
  // A pair's English entry comes first, its Chinese twin right after.
  const int partner = item->data(kPartnerRole).toInt();
  QListWidgetItem* en = partner < 0 ? nullptr : clbFileList->item(std::min(row, partner));
  QListWidgetItem* zh = partner < 0 ? nullptr : clbFileList->item(std::max(row, partner));
  if (en && zh) {
    const QVariant enLines = en->data(kLineCountRole), zhLines = zh->data(kLineCountRole);
    if (enLines.isValid() && zhLines.isValid() && enLines.toLongLong() >= 0 && zhLines.toLongLong() >= 0 &&
        enLines.toLongLong() != zhLines.toLongLong()) {
      const QString why = PairDiffersText(zh->data(kPathRole).toByteArray().toStdString(), zhLines.toLongLong(),
                                          en->data(kPathRole).toByteArray().toStdString(), enLines.toLongLong());
      for (QListWidgetItem* entry : {en, zh}) {
        entry->setData(kPairDiffersRole, true);
        explain(entry, why);
      }
    }
  }
  updatingList_ = false;
}

void TfrmMain::lblDirClick() { desktop_->OpenFolder(lblDir->text()); }

void TfrmMain::clbFileListClick(QListWidgetItem* item) {
  if (item) ShowEntryFolder(item);
}

void TfrmMain::clbFileListClickCheck(QListWidgetItem* item) {
  if (updatingList_ || !item || Running()) return;
  Refresh(CountTickedFiles());
}

void TfrmMain::edtFileFilterChange() { btnFilter->setEnabled(!TrimmedText(edtFileFilter).isEmpty()); }

void TfrmMain::edtFileFilterKeyPress() {
  if (!TrimmedText(edtFileFilter).isEmpty() && btnFilter->isEnabled() && plSettings->isEnabled()) btnFilterClick();
}

void TfrmMain::btnFilterClick() {
  if (clbFileList->count() == 0 || Running()) return;
  // Compile first: a bad pattern must not untick anything.
  std::unique_ptr<TRegExpr> pattern;
  try {
    pattern = std::make_unique<TRegExpr>(ToStd(TrimmedText(edtFileFilter)), false);
  } catch (const ERegExpr& e) {
    ShowError(TranslatedMessage(e.Message()));
    return;
  }
  SetAllTicked(false);
  updatingList_ = true;
  for (int i = 0; i < clbFileList->count(); ++i) {
    QListWidgetItem* item = clbFileList->item(i);
    bool match = false;
    try {
      match = pattern->Exec(ToStd(item->text()));
    } catch (const ERegExpr&) {
      // A match limit reached on one path leaves that entry unticked.
    }
    if (match) {
      item->setCheckState(Qt::Checked);
      clbFileList->setCurrentItem(item);
      ShowEntryFolder(item);
    }
  }
  updatingList_ = false;
  Refresh(CountTickedFiles());
}

void TfrmMain::btnSelAllClick() {
  SetAllTicked(true);
  Refresh(CountTickedFiles());
}

void TfrmMain::btnClearSelClick() {
  SetAllTicked(false);
  Refresh(0);
}

// ---- Query page -------------------------------------------------------------------

void TfrmMain::edtSearchChange() {
  lbDic->clear();
  lbLog->clear();
  const QString q = TrimmedText(edtSearch);
  const bool lemma = CanLemmatize(q);
  cbxLemma->setVisible(lemma);
  cbxLemma->setChecked(lemma);
  const std::string query = ToStd(q);
  if (!query.empty() && !IsRegexQuery(query) && Engine) {
    lbDic->setText(FromStd(Trim(Engine->Lookup(query))));
    lbDic->setVisible(!lbDic->text().isEmpty());
  }
  btnSearch->setEnabled(!q.isEmpty() && CanSearch());
}

void TfrmMain::edtSearchKeyPress() {
  if (!TrimmedText(edtSearch).isEmpty() && CanSearch()) btnSearchClick();
}

void TfrmMain::edtFilterChange() {
  const bool lemma = CanLemmatize(edtFilter->text());
  cbxFilterLemma->setVisible(lemma);
  cbxFilterLemma->setChecked(lemma);
}

void TfrmMain::cbxExcludeClick() { SetTextColor(edtFilter, cbxExclude->isChecked() ? kRed : kBlue); }

QString TfrmMain::ResultPagePath() const {
  // Beside the program when it may write there; an installed copy, or a
  // read-only program folder, uses the user's cache folder.
  if (!IsInstalled() && access(ExeDir().c_str(), W_OK) == 0) return FromStd(ExeDir() + "result.html");
  const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
  QDir().mkpath(cache);
  return cache + "/result.html";
}

QString TfrmMain::NoteText(const TMessage& note) {
  return note.Format.empty() ? QString() : "   " + WithStop(TranslatedMessage(note));
}

void TfrmMain::ResetResultView() {
  pb->hide();
  wbResult->ShowBlank(FromStd(DataDir() + "sys/blank.htm"));
  lbLog->clear();
  pb->setValue(0);
  shownSearch_ = {};
  shownChineseFirst_ = false;
  status_.clear();
  ClearTranslations();
}

void TfrmMain::btnSearchClick() {
  if (!CanSearch() || closed_ || TrimmedText(edtSearch).isEmpty()) return;
  // What is left of the run is a table for the result about to go.
  runner_->Stop();
  caching_ = false;
  ResetResultView();
  TRunRequest request;
  if (FilesChanged) {
    CollectSelectedFiles();
    request.Files = SelectedFiles;
  }
  request.Filter = ToStd(TrimmedText(edtFilter));
  request.Exclude = cbxExclude->isChecked();
  request.FilterLemma = cbxFilterLemma->isChecked();
  request.Query = ToStd(TrimmedText(edtSearch));
  request.Lemma = cbxLemma->isChecked();
  request.ChineseWords = cbxWholeWords->isChecked();
  request.Variants = cbxVariants->isChecked();
  request.SkipBadSources = std::exchange(skipBadSources_, false);
  request.Sort = barResult->SortKeys();
  request.Kwic = barResult->Kwic();
  runSearch_ = {FromStd(request.Query), request.Lemma, request.ChineseWords, request.Variants};
  const bool spot = btnTranslations->isChecked();
  runPage_ = ResultPagePath();
  request.PagePath = ToStd(runPage_);
  exporting_ = false;
  BeginRun();
  tableWanted_ = spot;
  runner_->Search(*Engine, std::move(request), spot);
  UpdateRunLocks();
}

void TfrmMain::btnSaveClick() {
  if (Running() || !Engine || Engine->HitCount() == 0) return;
  // The dialog opens in the corpus folder, offering the name last saved under.
  const QString suggested =
      corpusFolder_.isEmpty() ? lastSaveName_ : corpusFolder_ + "/" + QFileInfo(lastSaveName_).fileName();
  QStringList types;
  for (const TSaveType& type : kSaveTypes) types << tr(type.filter);
  // The dialog offers the type last saved as, too.
  auto [name, typeName] = desktop_->SaveFileName(this, suggested, types, types[lastSaveType_]);
  if (name.isEmpty()) return;
  const int chosen = std::max<int>(0, static_cast<int>(types.indexOf(typeName)));
  const TSaveType& type = kSaveTypes[chosen];
  // The type chosen decides the format; a name gets its extension, so
  // "hits.csv" saved as text becomes "hits.csv.txt".
  if (!name.mid(name.lastIndexOf('/') + 1).endsWith(type.extension, Qt::CaseInsensitive)) {
    name += type.extension;
    // The dialog asked about the name as typed, not about this one.
    if (QFileInfo::exists(name) && !desktop_->ConfirmOverwrite(this, name)) return;
  }
  lastSaveName_ = name;
  lastSaveType_ = chosen;
  exporting_ = true;
  BeginRun();
  StopCaching();
  runner_->Export(*Engine, QFile::encodeName(name).toStdString(), type.format);
  UpdateRunLocks();
}

void TfrmMain::wbResultCopyPair(const QString& first, const QString& second) {
  // Each row ends in its source as the page writes it: two no-break spaces
  // and "(file, line N)".
  const QString marker = QString(2, QChar::Nbsp) + '(';
  auto line = [&](const QString& row) { return row.left(row.lastIndexOf(marker)).trimmed(); };
  auto source = [&](const QString& row) {
    const qsizetype at = row.lastIndexOf(marker);
    // The plain view writes the unbroken source's spaces as no-break ones.
    return at < 0 ? QString() : row.mid(at + 2).trimmed().replace(QChar::Nbsp, ' ');
  };
  const QString& english = shownChineseFirst_ ? second : first;
  const QString& chinese = shownChineseFirst_ ? first : second;
  QGuiApplication::clipboard()->setText(line(english) + '\n' + line(chinese) + '\n' + source(english));
}

void TfrmMain::Timer1Timer() {
  // Where the step gives no total, the bar creeps toward its end: it shows
  // the run is alive and never has to move back.
  if (!barKnown_ && pb->value() < barEnd_) pb->setValue(pb->value() + (barEnd_ - pb->value() + 9) / 10);
}

void TfrmMain::lbInfoMouseEnter() { SetTextColor(lbInfo, kBlue); }
void TfrmMain::lbInfoMouseLeave() { SetTextColor(lbInfo, kGrey); }
