// THighlighter — where the marks of a hit go, for the result page, the
// export and every other writer alike: the query's matches in the searched
// line, the word-list equivalents and the include filter's matches in the
// aligned line.
//
// It marks with the expressions the search compiled, except that equivalents
// which are plain words or phrases are tried longest first, so 人们 is one
// mark and not 人 beside 们, and an equivalent inside a longer Chinese word
// marks that word (【今日】 for 日, not 今【日】). With the search's whole-word option, a Chinese
// query or include filter is marked only where it is a whole word. Given
// rows of a translation table, it also marks them in the aligned line for
// the result page; the export leaves those out. It refers to the result
// and the file pairs it was made with, which must outlive it. One thread
// uses one.
// Every line is one walk per expression, under that expression's budget: a
// query or filter that runs out of it ends the rendering with a message
// naming the line; equivalents that run out only lose their marks there.
#ifndef KORVEL_HIGHLIGHT_H
#define KORVEL_HIGHLIGHT_H

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Corpus.h"
#include "Marks.h"
#include "RegExpr.h"
#include "SearchResult.h"
#include "Segment.h"
#include "Spot.h"

namespace korvel {

// "match limit exceeded: the expression backtracks too much on line 3 of
// "a.EN.txt"; make it more specific"
[[noreturn]] void ThrowBacktracks(const EMatchLimit& e, std::string_view what, const std::string& path,
                                  TSourceKind kind, int32_t lineIndex);

// `expression` with its items longest first (in characters, stably) when it
// is an alternation of plain words or phrases, bare or inside the "\b(" ")\b"
// the search wraps English equivalents in; "" when it is anything else or
// already in that order. PCRE takes the first item that matches, so 人|人们
// would mark 人 inside 人们.
std::string LongestFirst(std::string_view expression);

class THighlighter {
 public:
  THighlighter(const TFilePairArr& pairs, const TSearchResult& result, std::vector<TSpotRow> translations = {});

  // The hit's line in the query's language and the aligned one.
  std::string_view Searched(const TData& d) const { return chinese_ ? d.ZhLine : d.EnLine; }
  std::string_view Aligned(const TData& d) const { return chinese_ ? d.EnLine : d.ZhLine; }

  // Calls mark(begin, end) for every match of the query in the searched
  // line, left to right: literal occurrences of a Chinese query, or matches
  // of its expression with variants (whole words only, with that option),
  // matches of the expression otherwise.
  template <class F>
  void ForEachQueryMark(const TData& d, F&& mark) {
    const std::string_view line = Searched(d);
    if (literal_) {
      ForEachLiteral(line, pattern_, [&](std::size_t b, std::size_t e) {
        if (!segmenter_ || segmenter_->IsWholeWord(line, b, e)) mark(b, e);
      });
      return;
    }
    try {
      if (chinese_ && segmenter_)
        query_->ForEachMatch(line, [&](std::size_t b, std::size_t e) {
          if (e > b && segmenter_->IsWholeWord(line, b, e)) mark(b, e);
        });
      else
        query_->ForEachMatch(line, mark);
    } catch (const EMatchLimit& e) {
      ThrowBacktracks(e, "the expression", SearchedFile(d), Kind(d), d.LineIndex);
    }
  }

  // The first of those marks, found without walking the rest of the line;
  // [0, 0) for a line without one.
  std::pair<std::size_t, std::size_t> FirstQueryMark(const TData& d);

  // The aligned line as the export writes it before the filter's marks:
  // "【" and "】" around every equivalent. `equivalents` are those marks'
  // spans in `text` (brackets included), `filter` the include filter's
  // matches in `text`, both in order.
  // For the page, `translations` are the table rows' marks in `text`, in
  // order, and `outranked` tells which equivalents a longer one of them
  // overlaps and replaces there (its brackets then lie inside that mark);
  // where two are as long, the equivalent stays. Both empty without rows.
  struct TAlignedMarks {
    std::string_view text;
    std::vector<std::pair<std::size_t, std::size_t>> equivalents, filter, translations;
    std::vector<bool> outranked;
    std::string storage;  // holds `text` when it differs from the line
    // Where position `at` of `text` stands in the line, for writers that
    // mark without brackets: a position on or inside a bracket goes to that
    // side of its equivalent.
    std::size_t LinePosition(std::size_t at) const;
  };
  void MarkAligned(const TData& d, TAlignedMarks& out);

  // What to tell the user of lines whose equivalents ran out of budget and
  // were left unmarked, or "" (a message with no format).
  std::string Note() const { return NoteMessage().Text(); }
  TMessage NoteMessage() const;

  // Full paths of the hit's two files (one path for a TMX or TSV source),
  // and where the hit stands in them: "line 3", "unit 3".
  const std::string& SearchedFile(const TData& d) const;
  const std::string& AlignedFile(const TData& d) const;
  TSourceKind Kind(const TData& d) const { return pairs_[d.PairIndex].Kind; }
  std::string Place(const TData& d) const { return RecordPlace(Kind(d), d.LineIndex); }

 private:
  void MarkTranslations(std::string_view line, TAlignedMarks& out) const;
  void WidenToWords(std::string_view line, std::vector<std::pair<std::size_t, std::size_t>>& spans);

  const TFilePairArr& pairs_;
  const TSearchResult& result_;
  const bool chinese_;
  const bool literal_;  // a Chinese query marked by its text
  const std::string& pattern_;
  std::optional<TMatcher> query_, equivalents_, filter_;
  std::unique_ptr<TSegmenter> segmenter_;  // with whole Chinese words only
  std::unique_ptr<TSegmenter> aroundEquivalents_;  // widens Chinese equivalents to whole words
  bool filterWords_ = false;               // the filter's marks need whole words
  std::optional<TRowMarker> translations_;
  std::size_t dropped_ = 0;  // lines whose equivalents were left unmarked
};

}  // namespace korvel

#endif
