// TSearchResult — what one search found, as a value: the hits (positions in
// the corpus's line pairs), the direction, and the expressions with which
// the hits, the word-list equivalents and the filter's matches are marked.
// It refers to the corpus it was made over only by position, so it stays
// valid until that corpus is replaced. Copy it freely; safe from any thread.
#ifndef KORVEL_SEARCHRESULT_H
#define KORVEL_SEARCHRESULT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Corpus.h"
#include "RegExpr.h"

namespace korvel {

struct TSearchResult {
  bool QueryIsChinese = false;  // the Chinese lines were searched
  std::string QueryText;        // the query, trimmed, as typed
  std::string Pattern;          // the expression the searched lines matched
  std::string Filter;           // the expression for the aligned line; "" for none
  bool ExcludeFilter = false;   // a hit's aligned line must not match Filter
  bool ChineseWords = false;    // a Chinese query or filter matched whole words only
  bool Variants = false;        // Pattern, Filter and Equivalents match both scripts
  std::string Equivalents;      // marks the word-list equivalents; "" for none
  TIntArr Hits;                 // ascending, no duplicates
  // The order the writers show the hits in, as positions into Hits (a
  // sort's); empty for corpus order, which is Hits as they stand.
  TIntArr Order;
  // The three expressions as the search compiled them, case-insensitive;
  // null where there is none (or nothing was compiled: then whoever marks
  // compiles them).
  std::shared_ptr<const TPattern> CompiledPattern, CompiledFilter, CompiledEquivalents;

  int32_t HitCount() const { return static_cast<int32_t>(Hits.size()); }
  // The record of the k-th hit shown.
  int32_t Shown(std::size_t k) const { return Hits[Order.empty() ? k : static_cast<std::size_t>(Order[k])]; }
  std::string_view Direction() const { return QueryIsChinese ? "ZH-EN" : "EN-ZH"; }
};

}  // namespace korvel

#endif
