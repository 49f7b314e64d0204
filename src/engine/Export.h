// The tab-separated export: one CRLF-ended line of six fields per hit (hit
// number, the two file names, line number, the searched line with 【】 around
// the query's matches, the aligned line with 【】 around the equivalents and
// 〖〗 around the include filter's matches). A free function of its inputs;
// any thread, one output each. The other formats (writers/) take the same
// fields.
#ifndef KORVEL_EXPORT_H
#define KORVEL_EXPORT_H

#include <array>
#include <string_view>

#include "Corpus.h"
#include "Errors.h"
#include "Highlight.h"
#include "Output.h"
#include "SearchResult.h"

namespace korvel {

enum class TExportFormat { Tsv, Csv, Tmx, Xlsx };

// The format a file name asks for by its extension (.csv, .tmx, .xlsx in
// any letter case); Tsv for any other.
TExportFormat ExportFormatOf(std::string_view path);

// Column titles where a format has a header row.
inline constexpr std::array<std::string_view, 6> kExportHeader = {"Hit",  "Searched file", "Aligned file",
                                                                  "Line", "Searched line", "Aligned line"};

// The hits in the result's order, numbered in it.
void RenderExport(TOutput& out, const TFilePairArr& pairs, const TDataArr& data, const TSearchResult& result,
                  THighlighter& marks, const TProgressFn& progress = {});

// A tab, CR or LF inside a field would break the one-line record; each is
// written as a blank (engine-internal, shared with the KWIC rows).
void AppendField(TOutput& out, std::string_view text);

// The hit's two lines as their fields, marks in brackets. `aligned` is
// scratch space, reused from hit to hit.
void AppendSearchedField(TOutput& out, THighlighter& marks, const TData& d);
void AppendAlignedField(TOutput& out, THighlighter& marks, const TData& d, THighlighter::TAlignedMarks& aligned);

}  // namespace korvel

#endif
