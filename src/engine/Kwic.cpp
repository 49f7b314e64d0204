#include "Kwic.h"

#include <unicode/uchar.h>

#include <string>

#include "Export.h"
#include "FileIO.h"
#include "Lines.h"
#include "ResultPage.h"
#include "Utf8.h"

namespace korvel {
namespace {

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// One hit's row cut from its line.
struct TKwicRow {
  std::string_view left, hit, right;
};

// Columns the character at `at` takes on screen: two for East Asian wide
// and fullwidth ones, so that Chinese context is as wide as English.
std::size_t ScreenColumns(std::string_view line, std::size_t at) {
  std::size_t length = 0;
  const auto c = static_cast<UChar32>(utf8::Decode(line, at, length));
  const int width = u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH);
  return width == U_EA_WIDE || width == U_EA_FULLWIDTH ? 2 : 1;
}

// `width` characters of context on each side, or with `screen`, as many as
// fit in `width` columns.
TKwicRow CutRow(std::string_view line, std::pair<std::size_t, std::size_t> mark, std::size_t width,
                bool screen = false) {
  const auto [b, e] = mark;
  std::size_t from = b;
  for (std::size_t used = 0; from > 0;) {
    std::size_t start = from - 1;
    while (start > 0 && IsContinuation(line[start])) --start;
    used += screen ? ScreenColumns(line, start) : 1;
    if (used > width) break;
    from = start;
  }
  std::size_t to = e;
  for (std::size_t used = 0; to < line.size();) {
    used += screen ? ScreenColumns(line, to) : 1;
    if (used > width) break;
    to += utf8::CharLength(line, to);
  }
  return {line.substr(from, b - from), line.substr(b, e - b), line.substr(e, to - e)};
}

}  // namespace

void RenderKwic(TOutput& out, const TDataArr& data, const TSearchResult& result, THighlighter& marks, std::size_t width,
                const TProgressFn& progress) {
  const std::size_t n = result.Hits.size();
  for (std::size_t k = 0; k < n; ++k) {
    if (progress) progress(k, n);
    const TData& d = data[result.Shown(k)];
    const TKwicRow row = CutRow(marks.Searched(d), marks.FirstQueryMark(d), width);
    for (std::string_view field : {row.left, row.hit, row.right, marks.Aligned(d)}) {
      AppendField(out, field);
      out.Append('\t');
    }
    AppendField(out, DisplayPath(FileNamePart(marks.SearchedFile(d))));
    out.Append('\t');
    out.Append(std::to_string(static_cast<long long>(d.LineIndex) + 1));
    out.Append("\r\n");
  }
}

void RenderKwicPage(TOutput& out, std::string_view tpl, const TDataArr& data, const TSearchResult& result,
                    THighlighter& marks, std::size_t width, std::size_t page, const TProgressFn& progress,
                    const TPageRowFormats& rowFormats) {
  // The template's styles are for the two-row page: these rows carry
  // their own, as the translation marks do.
  RenderPageFrame(out, tpl, result.Hits.size(), page, [&](std::size_t first, std::size_t end) {
    for (std::size_t k = first; k < end; ++k) {
      if (progress) progress(k - first, end - first);
      const TData& d = data[result.Shown(k)];
      const TKwicRow row = CutRow(marks.Searched(d), marks.FirstQueryMark(d), width, true);
      out.Append(k % 2 == 0 ? "<tr class=\"o\">\r\n" : "<tr>\r\n");
      out.Append("\t<td class=\"no\">" + std::to_string(k + 1) + "</td>\r\n");
      out.Append("\t<td style=\"text-align:right;white-space:nowrap\">");
      AppendEscaped(out, row.left);
      out.Append("</td>\r\n\t<td style=\"text-align:center;white-space:nowrap\"><b>");
      AppendEscaped(out, row.hit);
      out.Append("</b></td>\r\n\t<td style=\"white-space:nowrap\">");
      AppendEscaped(out, row.right);
      // The aligned line and the reference wrap anywhere: neither a long
      // address in one line nor a long file name pushes the rows past the
      // right edge.
      out.Append("</td>\r\n\t<td style=\"overflow-wrap:anywhere\">");
      AppendEscaped(out, marks.Aligned(d));
      out.Append("</td>\r\n\t<td style=\"width:14em\"><span class=\"x\" style=\"white-space:normal;overflow-wrap:anywhere\">");
      AppendEscaped(out, DisplayPath(FileNamePart(marks.SearchedFile(d))));
      out.Append(", " + marks.Place(d) + "</span></td>\r\n</tr>\r\n");
    }
  }, rowFormats);
}

}  // namespace korvel
