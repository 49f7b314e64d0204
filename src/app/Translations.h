// The window's translations: the program's own (translations/korvel_*.qm
// in the data folder) and Qt's for its dialogs and buttons (qtbase_*.qm
// where Qt keeps its translations), for the language the environment
// chooses. Call once on the GUI thread, after the application object
// exists; the translators live as long as the application.
//
// Engine messages are translated by their English format (Engine context),
// with the engine's arguments filled in after.
#ifndef KORVEL_TRANSLATIONS_H
#define KORVEL_TRANSLATIONS_H

#include <QString>
#include <exception>

#include "Language.h"
#include "Message.h"

// Installs the translators for `language`, the program's own from
// `folder` (the data folder's translations/ when empty); English installs
// none.
void InstallTranslations(TLanguage language, const QString& folder = {});
// For the language the environment chooses (KORVEL_LANG, LC_ALL, LC_MESSAGES, LANG).
void InstallTranslationsFromEnvironment(const QString& folder = {});
// The language installed last (English before any).
TLanguage InterfaceLanguage();

// The message in the interface language.
QString TranslatedMessage(const korvel::TMessage& message);
// An engine exception's message translated; what() of any other.
QString TranslatedMessage(const std::exception& error);
// As a message box shows it: a full stop when the text ends in a letter;
// in Chinese, "。" after a Chinese character and none after other
// non-ASCII characters (full-width punctuation).
QString WithStop(const QString& message);

#endif
