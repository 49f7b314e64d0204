// Sorting a search's hits for the writers: by the hit's text, by the words
// to its left or right, or by file and line (corpus order). The result is
// an order (TSearchResult::Order), never a change to the hits themselves,
// so the translation table and everything else that counts hits is
// unaffected.
//
// Words compare as ICU's root collator does at secondary strength (letter
// case aside); a missing word (the line ends first) sorts before every
// word, and hits that tie keep corpus order. English words are runs of
// letters and digits; in a Chinese line they are TSegmenter's words.
// A free function of its inputs; any thread.
#ifndef KORVEL_SORT_H
#define KORVEL_SORT_H

#include <optional>
#include <string_view>
#include <vector>

#include "Corpus.h"
#include "Errors.h"
#include "SearchResult.h"
#include "Spot.h"

namespace korvel {

// Translation ranks a hit by the first row of a translation table (in the
// table's order) that its aligned line contains; lines with none come last.
enum class TSortKey { Hit, Left1, Left2, Left3, Right1, Right2, Right3, File, Translation };
using TSortKeys = std::vector<TSortKey>;

// "1R,2R" -> {Right1, Right2}: hit, 1L, 2L, 3L, 1R, 2R, 3R, file, translation, letter
// case aside; nullopt when a name is none of these or the list is empty.
std::optional<TSortKeys> ParseSortKeys(std::string_view text);

// Positions into result.Hits in the keys' order: the first key decides,
// each next one breaks the ties left, corpus order the rest. Empty (corpus
// order) for no keys or "file" first. The hit is the query's first mark in
// the searched line, as THighlighter gives it. Same order with any number
// of threads (0: one per core). `translations` are the rows the
// Translation key ranks by; without any, it leaves every hit tied.
TIntArr SortOrder(const TFilePairArr& pairs, const TDataArr& data, const TSearchResult& result, const TSortKeys& keys,
                  unsigned threads = 0, const TProgressFn& progress = {},
                  const std::vector<TSpotRow>& translations = {});

}  // namespace korvel

#endif
