#include "Export.h"

#include "FileIO.h"
#include "Lines.h"
#include "Marks.h"

namespace korvel {

void AppendField(TOutput& out, std::string_view text) {
  SplitAtBytes(
      text, "\t\r\n", [&](std::string_view piece) { out.Append(piece); }, [&](char) { out.Append(' '); });
}

namespace {

constexpr std::string_view kOpenMark = "\xE3\x80\x90", kCloseMark = "\xE3\x80\x91";      // 【 】
constexpr std::string_view kOpenFilter = "\xE3\x80\x96", kCloseFilter = "\xE3\x80\x97";  // 〖 〗

// `text` with `open` and `close` around each span that forEach(mark)
// gives, in order.
template <class ForEach>
void AppendMarked(TOutput& out, std::string_view text, ForEach&& forEach, std::string_view open,
                  std::string_view close) {
  std::size_t copied = 0;
  forEach([&](std::size_t b, std::size_t e) {
    AppendField(out, text.substr(copied, b - copied));
    out.Append(open);
    AppendField(out, text.substr(b, e - b));
    out.Append(close);
    copied = e;
  });
  AppendField(out, text.substr(copied));
}

}  // namespace

TExportFormat ExportFormatOf(std::string_view path) {
  const std::string_view name = FileNamePart(path);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return TExportFormat::Tsv;
  std::string extension(name.substr(dot + 1));
  for (char& c : extension)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (extension == "csv") return TExportFormat::Csv;
  if (extension == "tmx") return TExportFormat::Tmx;
  if (extension == "xlsx") return TExportFormat::Xlsx;
  return TExportFormat::Tsv;
}

void AppendSearchedField(TOutput& out, THighlighter& marks, const TData& d) {
  AppendMarked(
      out, marks.Searched(d), [&](auto mark) { marks.ForEachQueryMark(d, mark); }, kOpenMark, kCloseMark);
}

void AppendAlignedField(TOutput& out, THighlighter& marks, const TData& d, THighlighter::TAlignedMarks& aligned) {
  marks.MarkAligned(d, aligned);
  AppendMarked(
      out, aligned.text,
      [&](auto mark) {
        for (const auto& [b, e] : aligned.filter) mark(b, e);
      },
      kOpenFilter, kCloseFilter);
}

void RenderExport(TOutput& out, const TFilePairArr& pairs, const TDataArr& data, const TSearchResult& result,
                  THighlighter& marks, const TProgressFn& progress) {
  const bool chinese = result.QueryIsChinese;
  const TIntArr& hits = result.Hits;
  THighlighter::TAlignedMarks aligned;
  for (std::size_t k = 0; k < hits.size(); ++k) {
    if (progress) progress(k, hits.size());
    const TData& d = data[result.Shown(k)];
    const TFilePair& fp = pairs[d.PairIndex];
    out.Append(std::to_string(k + 1));
    out.Append('\t');
    AppendField(out, DisplayPath(FileNamePart(chinese ? fp.ZhFile : fp.EnFile)));
    out.Append('\t');
    AppendField(out, DisplayPath(FileNamePart(chinese ? fp.EnFile : fp.ZhFile)));
    out.Append('\t');
    out.Append(std::to_string(static_cast<long long>(d.LineIndex) + 1));
    out.Append('\t');
    AppendSearchedField(out, marks, d);
    out.Append('\t');
    AppendAlignedField(out, marks, d, aligned);
    out.Append("\r\n");
  }
}

}  // namespace korvel
