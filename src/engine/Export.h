// The tab-separated export: one CRLF-ended line of six fields per hit (hit
// number, the two file names, line number, the searched line with 【】 around
// the query's matches, the aligned line with 【】 around the equivalents and
// 〖〗 around the include filter's matches). A free function of its inputs;
// any thread, one output each.
#ifndef KORVEL_EXPORT_H
#define KORVEL_EXPORT_H

#include <string_view>

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "SearchResult.h"

namespace korvel {

// The hits in the result's order, numbered in it.
void RenderExport(TOutput& out, const TFilePairArr& pairs, const TDataArr& data, const TSearchResult& result,
                  THighlighter& marks, const TProgressFn& progress = {});

// A tab, CR or LF inside a field would break the one-line record; each is
// written as a blank (engine-internal, shared with the KWIC rows).
void AppendField(TOutput& out, std::string_view text);

}  // namespace korvel

#endif
