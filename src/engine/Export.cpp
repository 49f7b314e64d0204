// The tab-separated export: one CRLF-ended line of six fields per hit, marks
// as text brackets.
#include "FileIO.h"
#include "Highlight.h"
#include "Output.h"
#include "unKorvel.h"

namespace korvel {
namespace {

constexpr std::string_view kOpenMark = "\xE3\x80\x90", kCloseMark = "\xE3\x80\x91";      // 【 】
constexpr std::string_view kOpenFilter = "\xE3\x80\x96", kCloseFilter = "\xE3\x80\x97";  // 〖 〗

// A tab, CR or LF inside a field would break the one-line, six-field
// record; each is written as a blank.
void AppendField(TOutput& out, std::string_view text) {
  std::size_t from = 0;
  for (std::size_t at = text.find_first_of("\t\r\n"); at != std::string_view::npos;
       at = text.find_first_of("\t\r\n", at + 1)) {
    out.Append(text.substr(from, at - from));
    out.Append(' ');
    from = at + 1;
  }
  out.Append(text.substr(from));
}

// `text` with `open` and `close` around each span.
void AppendMarked(TOutput& out, std::string_view text, const std::vector<std::pair<std::size_t, std::size_t>>& spans,
                  std::string_view open, std::string_view close) {
  std::size_t copied = 0;
  for (const auto& [b, e] : spans) {
    AppendField(out, text.substr(copied, b - copied));
    out.Append(open);
    AppendField(out, text.substr(b, e - b));
    out.Append(close);
    copied = e;
  }
  AppendField(out, text.substr(copied));
}

}  // namespace

void TKorvel::RenderExport(TOutput& out, const TProgressFn& progress) const {
  THighlighter marks(*this);
  THighlighter::TAlignedMarks aligned;
  for (std::size_t k = 0; k < hits_.size(); ++k) {
    if (progress) progress(k, hits_.size());
    const TData& d = data_[hits_[k]];
    const TFilePair& fp = filePairs_[d.PairIndex];
    out.Append(std::to_string(k + 1));
    out.Append('\t');
    AppendField(out, DisplayPath(FileNamePart(queryIsChinese_ ? fp.ZhFile : fp.EnFile)));
    out.Append('\t');
    AppendField(out, DisplayPath(FileNamePart(queryIsChinese_ ? fp.EnFile : fp.ZhFile)));
    out.Append('\t');
    out.Append(std::to_string(static_cast<long long>(d.LineIndex) + 1));
    out.Append('\t');

    const std::string_view a = marks.Searched(d);
    std::size_t copied = 0;
    marks.ForEachQueryMark(d, [&](std::size_t b, std::size_t e) {
      AppendField(out, a.substr(copied, b - copied));
      out.Append(kOpenMark);
      AppendField(out, a.substr(b, e - b));
      out.Append(kCloseMark);
      copied = e;
    });
    AppendField(out, a.substr(copied));
    out.Append('\t');

    marks.MarkAligned(d, aligned);
    AppendMarked(out, aligned.text, aligned.filter, kOpenFilter, kCloseFilter);
    out.Append("\r\n");
  }
  note_ = marks.Note();
}

std::string TKorvel::RenderExport(const TProgressFn& progress) const {
  TStringOutput out;
  RenderExport(out, progress);
  return out.Take();
}

void TKorvel::ExportText(const std::string& path, const TProgressFn& progress) const {
  WriteFileReplacing(path, RenderExport(progress));
}

}  // namespace korvel
