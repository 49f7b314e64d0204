#include "Highlight.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "FileIO.h"
#include "Query.h"
#include "Utf8.h"

namespace korvel {

void ThrowBacktracks(const EMatchLimit& e, std::string_view what, const std::string& path, TSourceKind kind,
                     int32_t lineIndex) {
  // One format per wording, so that each reads whole in a translation.
  const bool filter = what == "the filter", unit = kind == TSourceKind::Tmx;
  const char* const format =
      filter ? (unit ? "%1: the filter backtracks too much on unit %2 of \"%3\"; make it more specific"
                     : "%1: the filter backtracks too much on line %2 of \"%3\"; make it more specific")
             : (unit ? "%1: the expression backtracks too much on unit %2 of \"%3\"; make it more specific"
                     : "%1: the expression backtracks too much on line %2 of \"%3\"; make it more specific");
  throw EMatchLimit(TMessage{format, {e.Reason(), std::to_string(static_cast<long long>(lineIndex) + 1),
                                      DisplayPath(FileNamePart(path))}});
}

namespace {

constexpr std::size_t kMark = 3;  // 【 and 】 are three bytes each

}  // namespace

std::string LongestFirst(std::string_view expression) {
  std::string_view prefix, suffix, items = expression;
  if (items.starts_with("\\b(") && items.ends_with(")\\b") && items.size() >= 6) {
    prefix = items.substr(0, 3);
    suffix = items.substr(items.size() - 3);
    items = items.substr(3, items.size() - 6);
  }
  if (items.find_first_of("\\^$.?*+()[]{}") != std::string_view::npos) return "";
  std::vector<std::string_view> words;
  for (std::size_t at = 0;;) {
    const std::size_t bar = items.find('|', at);
    words.push_back(items.substr(at, bar == std::string_view::npos ? std::string_view::npos : bar - at));
    if (bar == std::string_view::npos) break;
    at = bar + 1;
  }
  auto longer = [](std::string_view a, std::string_view b) { return utf8::CharCount(a) > utf8::CharCount(b); };
  if (std::is_sorted(words.begin(), words.end(), longer)) return "";
  std::stable_sort(words.begin(), words.end(), longer);
  std::string sorted(prefix);
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (k) sorted += '|';
    sorted += words[k];
  }
  sorted += suffix;
  return sorted;
}

namespace {

// Where position `at` of the marked text stands in the line: a position on
// or inside a bracket goes to that side of the equivalent.
std::size_t LinePosition(const std::vector<std::pair<std::size_t, std::size_t>>& equivalents, std::size_t at) {
  const auto after = std::upper_bound(equivalents.begin(), equivalents.end(), at,
                                      [](std::size_t p, const auto& span) { return p < span.second; });
  const std::size_t k = static_cast<std::size_t>(after - equivalents.begin());
  std::size_t line = at - 2 * kMark * k;
  if (after != equivalents.end() && after->first <= at) {
    const auto [b, e] = *after;
    line = at < b + kMark ? b - 2 * kMark * k : at >= e - kMark ? e - 2 * kMark * (k + 1) : line - kMark;
  }
  return line;
}

}  // namespace

THighlighter::THighlighter(const TFilePairArr& pairs, const TSearchResult& result, std::vector<TSpotRow> translations)
    : pairs_(pairs), result_(result), chinese_(result.QueryIsChinese),
      // The literal text of a query with variants would miss 發展 for 发展.
      literal_(chinese_ && !result.Variants),
      pattern_(result.Pattern) {
  if (result.Hits.empty()) return;  // nothing to mark, nothing to compile
  auto matcher = [](std::optional<TMatcher>& m, const std::shared_ptr<const TPattern>& compiled,
                    const std::string& expression) {
    m.emplace(compiled ? compiled : TPattern::Compile(expression, true));
  };
  if (!literal_) matcher(query_, result.CompiledPattern, pattern_);
  if (!result.Equivalents.empty()) {
    try {
      const std::string longest = LongestFirst(result.Equivalents);
      if (longest.empty())
        matcher(equivalents_, result.CompiledEquivalents, result.Equivalents);
      else
        equivalents_.emplace(TPattern::Compile(longest, true));
    } catch (const ERegExpr&) {  // a word-list value that does not compile only loses its marks
      equivalents_.reset();
    }
  }
  if (equivalents_ && !chinese_) aroundEquivalents_ = std::make_unique<TSegmenter>();
  if (!result.Filter.empty() && !result.ExcludeFilter) matcher(filter_, result.CompiledFilter, result.Filter);
  filterWords_ = result.ChineseWords && filter_ && IsChinese(result.Filter);
  if (result.ChineseWords && (chinese_ || filterWords_)) segmenter_ = std::make_unique<TSegmenter>();
  // A table made for a search the other way round has nothing to find in
  // these aligned lines.
  std::erase_if(translations, [&](const TSpotRow& row) { return row.English != chinese_; });
  if (!translations.empty()) translations_.emplace(std::move(translations));
}

const std::string& THighlighter::SearchedFile(const TData& d) const {
  const TFilePair& fp = pairs_[d.PairIndex];
  return chinese_ ? fp.ZhFile : fp.EnFile;
}

const std::string& THighlighter::AlignedFile(const TData& d) const {
  const TFilePair& fp = pairs_[d.PairIndex];
  return chinese_ ? fp.EnFile : fp.ZhFile;
}

std::pair<std::size_t, std::size_t> THighlighter::FirstQueryMark(const TData& d) {
  const std::string_view line = Searched(d);
  if (literal_) {
    if (pattern_.empty()) return {0, 0};
    for (std::size_t at = line.find(pattern_); at != std::string_view::npos;
         at = line.find(pattern_, at + pattern_.size()))
      if (!segmenter_ || segmenter_->IsWholeWord(line, at, at + pattern_.size())) return {at, at + pattern_.size()};
    return {0, 0};
  }
  try {
    std::size_t b = 0, e = 0;
    query_->Begin(line);
    if (!segmenter_ || !chinese_) {
      if (query_->Find(line, 0, b, e)) return {b, e};
      return {0, 0};
    }
    std::pair<std::size_t, std::size_t> first = {0, 0};
    query_->ForEachMatch(line, [&](std::size_t mb, std::size_t me) {
      if (first.second == 0 && me > mb && segmenter_->IsWholeWord(line, mb, me)) first = {mb, me};
    });
    return first;
  } catch (const EMatchLimit& e) {
    ThrowBacktracks(e, "the expression", SearchedFile(d), Kind(d), d.LineIndex);
  }
  return {0, 0};
}

void THighlighter::MarkAligned(const TData& d, TAlignedMarks& out) {
  static constexpr std::string_view kOpen = "\xE3\x80\x90", kClose = "\xE3\x80\x91";  // 【 】
  const std::string_view line = Aligned(d);
  out.text = line;
  out.equivalents.clear();
  out.filter.clear();
  out.translations.clear();
  out.outranked.clear();
  if (equivalents_) {
    try {
      equivalents_->ForEachMatch(line, [&](std::size_t b, std::size_t e) { out.equivalents.emplace_back(b, e); });
    } catch (const EMatchLimit&) {
      out.equivalents.clear();
      ++dropped_;
    }
    if (aroundEquivalents_) WidenToWords(line, out.equivalents);
  }
  if (!out.equivalents.empty()) {
    out.storage.clear();
    out.storage.reserve(line.size() + out.equivalents.size() * (kOpen.size() + kClose.size()));
    std::size_t copied = 0;
    for (auto& span : out.equivalents) {
      const auto [b, e] = span;
      out.storage.append(line, copied, b - copied);
      const std::size_t at = out.storage.size();
      out.storage += kOpen;
      out.storage.append(line, b, e - b);
      out.storage += kClose;
      span = {at, out.storage.size()};
      copied = e;
    }
    out.storage.append(line, copied);
    out.text = out.storage;
  }
  if (filter_) {
    try {
      // Words are told on the line itself: a bracket would pass for a
      // boundary around every equivalent.
      filter_->ForEachMatch(out.text, [&](std::size_t b, std::size_t e) {
        if (!filterWords_ ||
            (e > b && segmenter_->IsWholeWord(line, LinePosition(out.equivalents, b), LinePosition(out.equivalents, e))))
          out.filter.emplace_back(b, e);
      });
    } catch (const EMatchLimit& e) {
      ThrowBacktracks(e, "the filter", AlignedFile(d), Kind(d), d.LineIndex);
    }
  }
  if (translations_) MarkTranslations(line, out);
}

void THighlighter::WidenToWords(std::string_view line, std::vector<std::pair<std::size_t, std::size_t>>& spans) {
  // A longer reach would mark a run of text the segmenter could not split.
  constexpr std::size_t kMaxWordChars = 6;
  std::vector<std::pair<std::size_t, std::size_t>> widened;
  for (auto [b, e] : spans) {
    const auto [wb, we] = aroundEquivalents_->WordsAround(line, b, e);
    if (utf8::CharCount(line.substr(wb, we - wb)) <= kMaxWordChars) std::tie(b, e) = std::pair(wb, we);
    if (!widened.empty() && widened.back().second > b)  // two equivalents in one word are one mark
      widened.back().second = std::max(widened.back().second, e);
    else
      widened.emplace_back(b, e);
  }
  spans = std::move(widened);
}

void THighlighter::MarkTranslations(std::string_view line, TAlignedMarks& out) const {
  const std::vector<std::pair<std::size_t, std::size_t>> rows = translations_->Mark(line);
  out.outranked.assign(out.equivalents.size(), false);
  if (rows.empty()) return;
  // Both kinds on the line, longest first, each kept unless it overlaps one
  // kept before it. An empty equivalent covers nothing, so it is never in
  // the way; it gives way only to a row around it.
  struct TSpan {
    std::size_t b, e, chars, index;
    bool row;
  };
  std::vector<TSpan> spans;
  for (std::size_t k = 0; k < out.equivalents.size(); ++k) {
    const std::size_t b = out.equivalents[k].first - 2 * kMark * k, e = out.equivalents[k].second - 2 * kMark * (k + 1);
    spans.push_back({b, e, utf8::CharCount(line.substr(b, e - b)), k, false});
  }
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const auto [b, e] = rows[k];
    spans.push_back({b, e, utf8::CharCount(line.substr(b, e - b)), k, true});
  }
  std::stable_sort(spans.begin(), spans.end(), [](const TSpan& x, const TSpan& y) {
    return x.chars != y.chars ? x.chars > y.chars : !x.row && y.row;
  });
  std::map<std::size_t, std::size_t> kept;  // begin -> end, none overlapping
  std::vector<bool> rowKept(rows.size(), false);
  for (const TSpan& s : spans) {
    auto next = kept.lower_bound(s.e);
    const bool overlaps = next != kept.begin() && std::prev(next)->second > s.b;
    if (s.row) {
      rowKept[s.index] = !overlaps;
    } else {
      out.outranked[s.index] = overlaps;
    }
    if (!overlaps && s.e > s.b) kept.emplace(s.b, s.e);
  }
  // The kept rows' spans in the marked text: an equivalent that ends where
  // one begins stays outside it, one it replaced falls inside.
  std::size_t k = 0;
  auto inText = [&](std::size_t at) {
    while (k < out.equivalents.size() && out.equivalents[k].second - 2 * kMark * (k + 1) <= at) ++k;
    const bool inside = k < out.equivalents.size() && out.equivalents[k].first - 2 * kMark * k < at;
    return at + 2 * kMark * k + (inside ? kMark : 0);
  };
  for (std::size_t r = 0; r < rows.size(); ++r)
    if (rowKept[r]) {
      const std::size_t b = inText(rows[r].first);
      out.translations.emplace_back(b, inText(rows[r].second));
    }
}

std::size_t THighlighter::TAlignedMarks::LinePosition(std::size_t at) const {
  return korvel::LinePosition(equivalents, at);
}

TMessage THighlighter::NoteMessage() const {
  if (dropped_ == 0) return {};
  return {"The word-list equivalents of \"%1\" backtrack too much: their marks were left out on %2 line(s)",
          {result_.QueryText, std::to_string(dropped_)}};
}

}  // namespace korvel
