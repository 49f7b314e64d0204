#include "Language.h"

#include <string_view>

namespace {

bool Set(const char* value) { return value && *value; }

// "zh_TW.Big5", "zh_HK@x" and "zh_CN.UTF-8" name their country before any
// codeset or modifier.
TLanguage FromLocale(std::string_view locale) {
  locale = locale.substr(0, locale.find_first_of(".@"));
  if (locale == "zh_CN" || locale == "zh_SG") return TLanguage::Simplified;
  if (locale == "zh_TW" || locale == "zh_HK") return TLanguage::Traditional;
  return TLanguage::English;
}

}  // namespace

TLanguage ChooseLanguage(const char* korvelLang, const char* lcAll, const char* lcMessages, const char* lang) {
  if (Set(korvelLang)) {
    const std::string_view chosen(korvelLang);
    if (chosen == "en") return TLanguage::English;
    if (chosen == "zh_CN") return TLanguage::Simplified;
    if (chosen == "zh_TW") return TLanguage::Traditional;
  }
  for (const char* value : {lcAll, lcMessages, lang})
    if (Set(value)) return FromLocale(value);
  return TLanguage::English;
}

const char* LanguageSuffix(TLanguage language) {
  switch (language) {
    case TLanguage::Simplified:
      return "zh_CN";
    case TLanguage::Traditional:
      return "zh_TW";
    case TLanguage::English:
      break;
  }
  return "";
}
