// The HTML result page: the template's lines with a block of two table rows
// per hit where its "{@content}" line stands. Corpus text and file names
// are escaped and marks are added around matches found on the raw text, so
// nothing from a corpus line acts as markup and no mark lands inside a tag.
// A free function of its inputs; any thread, one output each.
#ifndef KORVEL_RESULTPAGE_H
#define KORVEL_RESULTPAGE_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "SearchResult.h"

namespace korvel {

// The page shows at most this many hits; the export has them all.
constexpr std::size_t kPageHitLimit = 10000;

// The row that ends a page that does not show every hit, as formats: %1
// and %2 the first page's shown and all hits, %1 to %3 a later page's
// first and last hit and all hits (digits grouped as "12,345"). A front
// end that speaks another language gives its own; the text is escaped.
struct TPageRowFormats {
  std::string First = "Showing the first %1 of %2 hits. Save exports all of them.";
  std::string Later = "Showing hits %1\xE2\x80\x93%2 of %3. Save exports all of them.";
};

// Page `page` (0 the first) holds the hits shown from page * kPageHitLimit
// on, in the result's order, numbered from there; a page after the first
// ends with a row saying which they are. Throws "List index out of bounds
// (-1)" when no line of `tpl` is the placeholder, and EKorvel for a page
// after the first that would hold no hit.
void RenderResultPage(TOutput& out, std::string_view tpl, const TDataArr& data, const TSearchResult& result,
                      THighlighter& marks, const TProgressFn& progress = {}, std::size_t page = 0,
                      const TPageRowFormats& rowFormats = {});

// Shared with the other pages made from the template (engine-internal):
// `text` with HTML's markup characters escaped; 12345 as "12,345"; and
// the template around rows(first, end), which writes the rows of the hits
// shown in [first, end) where the placeholder stands.
void AppendEscaped(TOutput& out, std::string_view text);
std::string GroupDigits(std::size_t n);
void RenderPageFrame(TOutput& out, std::string_view tpl, std::size_t hitCount, std::size_t page,
                     const std::function<void(std::size_t, std::size_t)>& rows,
                     const TPageRowFormats& rowFormats = {});

}  // namespace korvel

#endif
