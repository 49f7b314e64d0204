// Query classification and lemma expansion: free, stateless functions over
// UTF-8 text, safe from any thread once the inflection tables are loaded.
#ifndef KORVEL_QUERY_H
#define KORVEL_QUERY_H

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Bytes with codes up to 32 removed from both ends.
std::string_view Trim(std::string_view text);

// The trimmed text holds one of [ ] . + ? ( ) { } , ! $ ^ | \ =
bool IsRegexQuery(std::string_view text);

// The trimmed text holds a CJK ideograph, CJK symbol or punctuation,
// Bopomofo, kana or a full-width form. Accented Latin letters, curly quotes
// and dashes do not count: such a query is still English.
bool IsChinese(std::string_view text);

// Returns the other forms of a word, each followed by "|" (or ""): the
// contract of MyDLL's Inflection. Tests substitute their own.
using TInflector = std::function<std::string(const std::string& word)>;

// Calls MyDLL's Inflection; LoadArrays must have run.
std::string MyDllInflection(const std::string& word);

// Items of a list: split at `separator` and at codes up to 32; an item in
// double quotes keeps its blanks ("" inside stands for one quote).
std::vector<std::string> SplitItems(std::string_view text, char separator);

// "go" -> F(go)go; "give up" -> (F(give)give) up; "a|b" -> F(a)a|F(b)b.
std::string ExpandLemma(std::string_view text, const TInflector& inflect = MyDllInflection);
std::string ExpandPhrase(std::string_view text, const TInflector& inflect = MyDllInflection);
std::string ExpandAlternatives(std::string_view text, const TInflector& inflect = MyDllInflection);

}  // namespace korvel

#endif
