// The Chinese interface, run with LANG=zh_CN.UTF-8 as a Chinese desktop
// session has it, and the choice of language from the environment.
#include <unistd.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>

#include "Errors.h"
#include "FileIO.h"
#include "Language.h"
#include "Translations.h"
#include "Unit1.h"

namespace {

struct FakeDesktop : TDesktop {
  QString folder;
  QStringList errors;
  QString ChooseFolder(QWidget*, const QString&) override { return folder; }
  void ShowError(QWidget*, const QString& message, const QString&) override { errors << message; }
};

}  // namespace

class ChineseTest : public QObject {
  Q_OBJECT

 private slots:
  void TheLocaleChoosesTheLanguage() {
    using L = TLanguage;
    QCOMPARE(ChooseLanguage(nullptr, nullptr, nullptr, "zh_CN.UTF-8"), L::Simplified);
    QCOMPARE(ChooseLanguage(nullptr, nullptr, nullptr, "zh_SG"), L::Simplified);
    QCOMPARE(ChooseLanguage(nullptr, nullptr, nullptr, "zh_TW.Big5"), L::Traditional);
    QCOMPARE(ChooseLanguage(nullptr, nullptr, nullptr, "zh_HK.UTF-8@x"), L::Traditional);
    for (const char* other : {"en_GB.UTF-8", "C", "zh", "zh_MO", "zh_CNX", "ja_JP.UTF-8"})
      QCOMPARE(ChooseLanguage(nullptr, nullptr, nullptr, other), L::English);
    QCOMPARE(ChooseLanguage(nullptr, nullptr, nullptr, nullptr), L::English);
    // LC_ALL before LC_MESSAGES before LANG; an empty one counts as unset.
    QCOMPARE(ChooseLanguage(nullptr, "en_US.UTF-8", "zh_CN.UTF-8", "zh_TW"), L::English);
    QCOMPARE(ChooseLanguage(nullptr, "", "zh_TW.UTF-8", "en_US"), L::Traditional);
    QCOMPARE(ChooseLanguage("", "", "", "zh_CN.UTF-8"), L::Simplified);
    // KORVEL_LANG overrides, when it names a language.
    QCOMPARE(ChooseLanguage("en", "zh_CN.UTF-8", nullptr, nullptr), L::English);
    QCOMPARE(ChooseLanguage("zh_TW", nullptr, nullptr, "en_US"), L::Traditional);
    QCOMPARE(ChooseLanguage("zh_CN", nullptr, nullptr, "zh_TW"), L::Simplified);
    QCOMPARE(ChooseLanguage("fr", nullptr, nullptr, "zh_TW"), L::Traditional);
  }

  void TheWindowSpeaksSimplifiedChinese() {
    QCOMPARE(InterfaceLanguage(), TLanguage::Simplified);
    auto desktop = std::make_unique<FakeDesktop>();
    FakeDesktop* fake = desktop.get();
    fake->folder = KORVEL_SOURCE_DIR "/tests/fixtures/corpus";
    TfrmMain w(std::move(desktop));
    QCOMPARE(w.pcMain->tabText(0), QString::fromUtf8("设置"));
    QCOMPARE(w.pcMain->tabText(1), QString::fromUtf8("检索"));
    QCOMPARE(w.pcMain->tabText(2), QString::fromUtf8("关于"));
    // Qt's own buttons come from Qt's translation.
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QString::fromUtf8("取消"));

    // A message of the engine in Chinese, PCRE2's reason as PCRE2 gives it.
    w.btnChoseText->click();
    w.edtFileFilter->setText("a)");
    w.btnFilter->click();
    QCOMPARE(fake->errors, QStringList(QString::fromUtf8("unmatched closing parenthesis（位置 1）")));
    // The file name and the system's reason stay as they are.
    try {
      korvel::ThrowCannotOpen("/no/such/文件.txt", ENOENT);
    } catch (const korvel::EKorvel& e) {
      QCOMPARE(WithStop(TranslatedMessage(e.Message())),
               QString::fromUtf8("无法打开文件“/no/such/文件.txt”。No such file or directory."));
    }
    // The page's own row, for a search with more hits than a page shows.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string en = (dir.path() + "/many.EN.txt").toStdString();
    const std::string zh = (dir.path() + "/many.ZH.txt").toStdString();
    QFile enFile(QString::fromStdString(en)), zhFile(QString::fromStdString(zh));
    QVERIFY(enFile.open(QIODevice::WriteOnly) && zhFile.open(QIODevice::WriteOnly));
    for (int i = 0; i < 10002; ++i) {
      enFile.write("work\n");
      zhFile.write("\xe5\xb7\xa5\xe4\xbd\x9c\n");
    }
    enFile.close();
    zhFile.close();
    std::vector<std::string> files{en, zh};
    w.Engine->SetTemplatePath(KORVEL_SOURCE_DIR "/sys/result.tpl");
    w.Engine->SetFiles(files);
    w.Engine->SetFilter("", false, false);
    w.Engine->Search("work", false);
    const QString row = QString::fromUtf8("<td>仅显示前 10,000 条，共 10,002 条结果。“保存”会导出全部结果。</td>");
    QVERIFY(QString::fromStdString(w.Engine->RenderResultPage()).contains(row));
  }

  void TheTraditionalTranslationIsMadeFromTheSimplifiedOne() {
    InstallTranslations(TLanguage::Traditional, KORVEL_TRANSLATIONS);
    QCOMPARE(QCoreApplication::translate("TfrmMain", "Settings"), QString::fromUtf8("設定"));
    QCOMPARE(QCoreApplication::translate("TfrmMain", "%1 file(s) selected, %2 file(s) in the list."),
             QString::fromUtf8("已選 %1 個檔案，列表中共 %2 個檔案。"));
  }
};

int main(int argc, char** argv) {
  if (geteuid() == 0) qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  InstallTranslationsFromEnvironment(KORVEL_TRANSLATIONS);
  ChineseTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "ChineseTest.moc"
