// The HTML result page: the template's lines with a block of two table rows
// per hit where its "{@content}" line stands. Corpus text and file names
// are escaped and marks are added around matches found on the raw text, so
// nothing from a corpus line acts as markup and no mark lands inside a tag.
// A free function of its inputs; any thread, one output each.
#ifndef KORVEL_RESULTPAGE_H
#define KORVEL_RESULTPAGE_H

#include <cstddef>
#include <string_view>

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "SearchResult.h"

namespace korvel {

// The page shows at most this many hits; the export has them all.
constexpr std::size_t kPageHitLimit = 10000;

// Throws "List index out of bounds (-1)" when no line of `tpl` is the
// placeholder.
void RenderResultPage(TOutput& out, std::string_view tpl, const TDataArr& data, const TSearchResult& result,
                      THighlighter& marks, const TProgressFn& progress = {});

}  // namespace korvel

#endif
