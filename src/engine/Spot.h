// Spot — the translation table: how the aligned lines of a search's hits
// render the query, ranked, with counts.
//
// Candidates come from the aligned lines of the hits: Chinese words and
// runs of two adjacent words (ICU segmentation) for an English query;
// English words and two-word runs for a Chinese one, each English word
// standing for its whole family of forms. Each candidate is ranked by
// Dunning's log-likelihood (G²) of "the line is a hit" against "the aligned
// line contains it", over every line pair loaded.
//
// "Contains" has one meaning everywhere, here, in the page's marks and in
// the filter a row selects its lines with: a Chinese row's string occurs in
// the line; an English row's forms, one of them, occur as a whole word,
// letter case ignored.
//
// A free function over a corpus and one of its search results; it keeps
// nothing. Runs on the calling thread and spreads the counting over all
// cores; the progress callback may abandon it by throwing.
#ifndef KORVEL_SPOT_H
#define KORVEL_SPOT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Corpus.h"
#include "Errors.h"
#include "Output.h"
#include "Query.h"
#include "SearchResult.h"

namespace korvel {

struct TSpotOptions {
  std::size_t Top = 10;          // rows kept
  unsigned Threads = 0;          // 0: one per core
  TInflector Inflect;            // forms of English words; MyDLL when empty
  TProgressFn Progress;
};

struct TSpotRow {
  std::string Text;                // shown: the string, or the family's most frequent form
  bool English = false;            // a row of English words (a Chinese query's table)
  std::vector<std::string> Forms;  // what the row is looked for as, lower case for English
  int32_t Hits = 0;                // hits whose aligned line contains the row
  int64_t Lines = 0;               // line pairs of the corpus whose aligned line contains it
  double Share = 0;                // Hits / the search's hit count
  double Score = 0;                // G², negative when the row is rarer among hits than elsewhere
};

struct TTranslationTable {
  std::vector<TSpotRow> Rows;  // best first
  int32_t HitCount = 0;        // of the search
  int32_t NoneHits = 0;        // hits whose aligned line contains none of the rows
  bool Capped = false;         // some aligned line was segmented only in part
};

// The table of `result`'s hits over `data`, the pairs it was made from.
TTranslationTable Spot(const TDataArr& data, const TSearchResult& result, const TSpotOptions& options);

// "12.3": one decimal and a dot, whatever the locale.
std::string FormatDecimal(double value, int decimals);

// translation<TAB>hits<TAB>share<TAB>score per row, then
// "(none of these)<TAB>hits<TAB>share<TAB>"; nothing for a table without hits.
void WriteSpotTable(TOutput& out, const TTranslationTable& table);

// The filter that selects exactly the lines a row counted: its text, and
// whether it is meant with Lemmatize ticked.
struct TSpotFilter {
  std::string Text;
  bool Lemmatize = false;
};
TSpotFilter RowFilter(const TSpotRow& row);
// An expression matching exactly where any of `rows` is contained; as an
// Exclude filter it keeps the hits that "(none of these)" counts.
std::string NoneFilter(const std::vector<TSpotRow>& rows);

// Marks a line with rows of the table: where each row is contained, the
// longest span first where two start together, never overlapping. One
// thread uses one.
class TRowMarker {
 public:
  explicit TRowMarker(std::vector<TSpotRow> rows);
  bool Empty() const { return rows_.empty(); }
  // The first row, in the table's order, that `line` contains; the number
  // of rows when it contains none.
  std::size_t FirstContained(std::string_view line) const;
  // Spans [begin, end) of `line`, in order.
  std::vector<std::pair<std::size_t, std::size_t>> Mark(std::string_view line) const;

 private:
  struct TForm {
    std::size_t row;
    std::string text;  // ASCII letters in lower case
    bool wholeWord;
  };
  std::vector<TSpotRow> rows_;
  std::vector<TForm> forms_;  // every row's, in row order
};

// The rows the page marks while the table is shown: those covering at
// least 5% of the hits, at most 5.
std::vector<TSpotRow> RowsToMark(const TTranslationTable& table);

}  // namespace korvel

#endif
