// The hits as a TMX 1.4b translation memory: one <tu> per hit, numbered in
// the result's order, with the searched file's name and the line number as
// props and the English and Chinese lines as plain segments (no marks).
// UTF-8; characters XML 1.0 forbids are left out.
#ifndef KORVEL_WRITERS_TMXWRITER_H
#define KORVEL_WRITERS_TMXWRITER_H

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "SearchResult.h"

namespace korvel {

void RenderTmx(TOutput& out, const TDataArr& data, const TSearchResult& result, THighlighter& marks,
               const TProgressFn& progress = {});

}  // namespace korvel

#endif
