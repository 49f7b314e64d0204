// The export as CSV for spreadsheets: a UTF-8 byte-order mark (so Excel
// reads it as UTF-8), a header row, then the six fields of the
// tab-separated export per hit, marks included, quoted as RFC 4180 asks;
// CRLF line ends.
#ifndef KORVEL_WRITERS_CSV_H
#define KORVEL_WRITERS_CSV_H

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "SearchResult.h"

namespace korvel {

void RenderCsv(TOutput& out, const TDataArr& data, const TSearchResult& result, THighlighter& marks,
               const TProgressFn& progress = {});

}  // namespace korvel

#endif
