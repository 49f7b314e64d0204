// Which language the window speaks: KORVEL_LANG when it names one ("en",
// "zh_CN", "zh_TW"), else the first of LC_ALL, LC_MESSAGES and LANG that is
// set and not empty. zh_CN and zh_SG give Simplified Chinese, zh_TW and
// zh_HK Traditional; anything else, "C" and no locale at all give English.
// A pure function of its arguments (null for an unset variable); any thread.
#ifndef KORVEL_LANGUAGE_H
#define KORVEL_LANGUAGE_H

enum class TLanguage { English, Simplified, Traditional };

TLanguage ChooseLanguage(const char* korvelLang, const char* lcAll, const char* lcMessages, const char* lang);

// The suffix of the translation files: "", "zh_CN" or "zh_TW".
const char* LanguageSuffix(TLanguage language);

#endif
