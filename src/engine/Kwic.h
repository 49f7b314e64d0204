// Key word in context: one row per hit, the hit between the text left and
// right of it in the searched line, cut to a width, then the aligned line
// and where the hit is. The hit is the query's first mark in the line, as
// THighlighter gives it. Rows follow the result's order. Free functions of
// their inputs; any thread, one output each.
#ifndef KORVEL_KWIC_H
#define KORVEL_KWIC_H

#include <cstddef>
#include <string_view>

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "ResultPage.h"
#include "SearchResult.h"

namespace korvel {

// Characters of context on each side unless told otherwise.
constexpr std::size_t kKwicWidth = 40;
// Screen columns of context on each side of a page's rows: what leaves the
// aligned line room beside them in a window 1280 pixels wide.
constexpr std::size_t kKwicPageColumns = 32;

// One CRLF-ended line per hit: left, hit, right, the aligned line (no
// marks), the searched file's name and the 1-based line number (a TMX
// file's unit, a TSV file's record), separated by tabs. Left keeps its
// last `width` characters, right its first; tabs, CRs and LFs in the text
// are written as blanks, as the export does.
void RenderKwic(TOutput& out, const TDataArr& data, const TSearchResult& result, THighlighter& marks,
                std::size_t width = kKwicWidth, const TProgressFn& progress = {});

// The same rows as a page from the result page's template: one table row
// per hit (number, left context aligned right, the hit bold and centred,
// right context, the aligned line, file and line or TMX unit), everything
// escaped, and paged as the result page is. Context is cut to `width`
// screen columns here, an East Asian wide character taking two, so that a
// Chinese row is as wide as an English one.
void RenderKwicPage(TOutput& out, std::string_view tpl, const TDataArr& data, const TSearchResult& result,
                    THighlighter& marks, std::size_t width = kKwicPageColumns, std::size_t page = 0,
                    const TProgressFn& progress = {}, const TPageRowFormats& rowFormats = {});

}  // namespace korvel

#endif
