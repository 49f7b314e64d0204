#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdlib>

#include "Errors.h"
#include "ProgramFolder.h"

namespace {

TLanguage installed = TLanguage::English;

// The engine's message formats, for the translation tools to find: the
// engine itself has no Qt.
[[maybe_unused]] const char* const kEngineFormats[] = {
    QT_TRANSLATE_NOOP("Engine", "Cannot open file \"%1\". %2"),
    QT_TRANSLATE_NOOP("Engine", "Cannot create file \"%1\". %2"),
    QT_TRANSLATE_NOOP("Engine", "Cannot create file \"%1\". The Excel writer is missing or damaged: %2"),
    QT_TRANSLATE_NOOP("Engine", "Cannot open folder \"%1\". %2"),
    QT_TRANSLATE_NOOP("Engine", "List index out of bounds (%1)"),
    QT_TRANSLATE_NOOP("Engine", "Cannot read \"%1\": line %2, column %3: %4"),
    QT_TRANSLATE_NOOP("Engine", "There is no page %1 of %2 hits"),
    QT_TRANSLATE_NOOP("Engine", "%1 (pos %2)"),
    QT_TRANSLATE_NOOP("Engine", "%1: the expression backtracks too much on line %2 of \"%3\"; make it more specific"),
    QT_TRANSLATE_NOOP("Engine", "%1: the expression backtracks too much on unit %2 of \"%3\"; make it more specific"),
    QT_TRANSLATE_NOOP("Engine", "%1: the filter backtracks too much on line %2 of \"%3\"; make it more specific"),
    QT_TRANSLATE_NOOP("Engine", "%1: the filter backtracks too much on unit %2 of \"%3\"; make it more specific"),
    QT_TRANSLATE_NOOP("Engine", "The word-list equivalents of \"%1\" backtrack too much: "
                                "their marks were left out on %2 line(s)"),
};

void Install(const QString& name, const QString& folder) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (translator->load(name, folder))
    QCoreApplication::installTranslator(translator);
  else
    delete translator;  // missing: that part stays English
}

}  // namespace

void InstallTranslations(TLanguage language, const QString& folder) {
  installed = language;
  if (language == TLanguage::English) return;
  const QString suffix = QString::fromLatin1(LanguageSuffix(language));
  Install("qtbase_" + suffix, QLibraryInfo::path(QLibraryInfo::TranslationsPath));
  Install("korvel_" + suffix, folder.isEmpty() ? QString::fromStdString(korvel::DataDir()) + "translations" : folder);
}

void InstallTranslationsFromEnvironment(const QString& folder) {
  const TLanguage language =
      ChooseLanguage(std::getenv("KORVEL_LANG"), std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  InstallTranslations(language, folder);
}

TLanguage InterfaceLanguage() { return installed; }

QString TranslatedMessage(const korvel::TMessage& message) {
  const QString format = QCoreApplication::translate("Engine", message.Format.c_str());
  return QString::fromStdString(korvel::FillMessage(format.toStdString(), message.Args));
}

QString TranslatedMessage(const std::exception& error) {
  if (const auto* message = dynamic_cast<const korvel::EMessage*>(&error)) return TranslatedMessage(message->Message());
  return QString::fromUtf8(error.what());
}

QString WithStop(const QString& message) {
  // Chinese text takes its own full stop, and none after its own punctuation.
  if (installed != TLanguage::English && !message.isEmpty() && message.back().unicode() >= 0x80)
    return message.back().script() == QChar::Script_Han ? message + QString::fromUtf8("。") : message;
  return QString::fromStdString(korvel::WithFullStop(message.toStdString()));
}
