#include "Csv.h"

#include <string>
#include <string_view>

#include "Export.h"
#include "FileIO.h"
#include "Lines.h"

namespace korvel {
namespace {

// Quoted only where it must be, so plain fields read as they would typed.
void AppendCsvField(TOutput& out, std::string_view field) {
  if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.Append(field);
    return;
  }
  out.Append('"');
  for (std::size_t at = 0;;) {
    const std::size_t quote = field.find('"', at);
    out.Append(field.substr(at, quote == std::string_view::npos ? quote : quote + 1 - at));
    if (quote == std::string_view::npos) break;
    out.Append('"');
    at = quote + 1;
  }
  out.Append('"');
}

}  // namespace

void RenderCsv(TOutput& out, const TDataArr& data, const TSearchResult& result, THighlighter& marks,
               const TProgressFn& progress) {
  out.Append("\xEF\xBB\xBF");
  for (std::size_t c = 0; c < kExportHeader.size(); ++c) {
    if (c) out.Append(',');
    out.Append(kExportHeader[c]);
  }
  out.Append("\r\n");
  const TIntArr& hits = result.Hits;
  THighlighter::TAlignedMarks aligned;
  // Fields are made as the tab-separated export makes them, then quoted.
  auto append = [&](auto&& make) {
    TStringOutput field;
    make(field);
    AppendCsvField(out, field.Take());
  };
  for (std::size_t k = 0; k < hits.size(); ++k) {
    if (progress) progress(k, hits.size());
    const TData& d = data[result.Shown(k)];
    out.Append(std::to_string(k + 1));
    out.Append(',');
    append([&](TOutput& o) { AppendField(o, DisplayPath(FileNamePart(marks.SearchedFile(d)))); });
    out.Append(',');
    append([&](TOutput& o) { AppendField(o, DisplayPath(FileNamePart(marks.AlignedFile(d)))); });
    out.Append(',');
    out.Append(std::to_string(static_cast<long long>(d.LineIndex) + 1));
    out.Append(',');
    append([&](TOutput& o) { AppendSearchedField(o, marks, d); });
    out.Append(',');
    append([&](TOutput& o) { AppendAlignedField(o, marks, d, aligned); });
    out.Append("\r\n");
  }
}

}  // namespace korvel
