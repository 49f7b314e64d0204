#include "Query.h"

#include <cstring>

#include "MyDLL.h"
#include "Utf8.h"

namespace korvel {

std::string_view Trim(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return text.substr(b, e - b);
}

bool IsRegexQuery(std::string_view text) {
  return Trim(text).find_first_of("[].+?(){},!$^|\\=") != std::string_view::npos;
}

namespace {

bool IsCjk(char32_t c) {
  return (c >= 0x3000 && c <= 0x303F)      // CJK symbols and punctuation
         || (c >= 0x3040 && c <= 0x30FF)   // kana
         || (c >= 0x3100 && c <= 0x312F)   // Bopomofo
         || (c >= 0x31A0 && c <= 0x31BF)   // Bopomofo extended
         || (c >= 0x31F0 && c <= 0x31FF)   // katakana phonetic extensions
         || (c >= 0x3400 && c <= 0x4DBF)   // ideographs, extension A
         || (c >= 0x4E00 && c <= 0x9FFF)   // unified ideographs
         || (c >= 0xF900 && c <= 0xFAFF)   // compatibility ideographs
         || (c >= 0xFF00 && c <= 0xFFEF)   // full-width forms
         || (c >= 0x20000 && c <= 0x3FFFF);  // supplementary ideographs
}

}  // namespace

bool IsChinese(std::string_view text) {
  text = Trim(text);
  for (std::size_t i = 0, len = 0; i < text.size(); i += len)
    if (IsCjk(utf8::Decode(text, i, len))) return true;
  return false;
}

std::string MyDllInflection(const std::string& word) {
  // Room beyond the contract's 68 bytes, and a NUL the library cannot move,
  // so a faulty library cannot make us read past the buffer.
  char forms[128] = {};
  Inflection(word.c_str(), forms);
  return std::string(forms, strnlen(forms, 67));
}

std::vector<std::string> SplitItems(std::string_view text, char separator) {
  std::vector<std::string> items;
  // NUL counts as a blank: it is no end of text here, and an item cannot
  // start at a byte that both ends an item and is never skipped.
  auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  auto isStop = [&](char c) { return c == separator || static_cast<unsigned char>(c) <= 32; };
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n && isSpace(text[i])) ++i;
  while (i < n) {
    std::string item;
    if (text[i] == '"') {
      ++i;
      while (i < n) {
        if (text[i] == '"') {
          if (i + 1 < n && text[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += text[i++];
      }
    } else {
      std::size_t start = i;
      while (i < n && !isStop(text[i])) ++i;
      item.assign(text.substr(start, i - start));
    }
    items.push_back(std::move(item));
    while (i < n && isSpace(text[i])) ++i;
    if (i < n && text[i] == separator) {
      ++i;
      while (i < n && isSpace(text[i])) ++i;
      if (i == n) items.emplace_back();  // a separator at the very end adds an empty item
    }
  }
  return items;
}

std::string ExpandPhrase(std::string_view text, const TInflector& inflect) {
  std::string result;
  for (const std::string& item : SplitItems(text, ' ')) {
    std::string w(Trim(item));
    if (w.empty()) continue;
    std::string forms = inflect(w);
    if (forms.empty()) {
      result += ' ';
      result += w;
    } else {
      result += " (" + forms + w + ")";
    }
  }
  return result;
}

std::string ExpandAlternatives(std::string_view text, const TInflector& inflect) {
  std::string result;
  for (const std::string& item : SplitItems(text, '|')) {
    std::string w(Trim(item));
    if (w.empty()) continue;
    result += '|';
    result += inflect(w);
    result += w;
  }
  if (!result.empty()) result.erase(0, 1);
  return result;
}

std::string ExpandLemma(std::string_view text, const TInflector& inflect) {
  text = Trim(text);
  std::string result;
  if (text.find('|') != std::string_view::npos) {
    result = ExpandAlternatives(text, inflect);
  } else if (text.find(' ') != std::string_view::npos) {
    result = ExpandPhrase(text, inflect);
  } else if (!text.empty()) {
    std::string w(text);
    result = inflect(w) + w;
  }
  return std::string(Trim(result));
}

}  // namespace korvel
