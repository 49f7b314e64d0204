#include "ResultPage.h"

#include <algorithm>

#include "FileIO.h"
#include "Lines.h"
#include "Marks.h"
#include "TextDecode.h"

namespace korvel {

void AppendEscaped(TOutput& out, std::string_view text) {
  SplitAtBytes(
      text, "&<>\"'", [&](std::string_view piece) { out.Append(piece); },
      [&](char c) {
        switch (c) {
          case '&': out.Append("&amp;"); break;
          case '<': out.Append("&lt;"); break;
          case '>': out.Append("&gt;"); break;
          case '"': out.Append("&quot;"); break;
          default: out.Append("&#39;");
        }
      });
}

std::string GroupDigits(std::size_t n) {
  const std::string digits = std::to_string(n);
  std::string grouped;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

namespace {

constexpr std::string_view kPlaceholder = "{@content}";

bool IsPlaceholder(std::string_view line) {
  if (line.size() != kPlaceholder.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != kPlaceholder[i]) return false;
  }
  return true;
}

// The aligned line of the export with the filter's matches as spans of
// class "f": only where they cover text, so a filter match across a mark
// is split at it and no span ever crosses another. The brackets of the
// equivalents never show; a translation row's mark takes the place of the
// equivalents it outranked.
void AppendAligned(TOutput& out, const THighlighter::TAlignedMarks& m, std::string_view equivClass) {
  constexpr std::size_t kMark = 3;  // 【 and 】 are three bytes each
  std::size_t f = 0;                // the first filter match not yet behind us
  // Text in [from, to), none of it a mark.
  auto text = [&](std::size_t from, std::size_t to) {
    while (from < to) {
      while (f < m.filter.size() && m.filter[f].second <= from) ++f;
      if (f == m.filter.size() || m.filter[f].first >= to) {
        AppendEscaped(out, m.text.substr(from, to - from));
        return;
      }
      const std::size_t b = std::max(from, m.filter[f].first), e = std::min(to, m.filter[f].second);
      AppendEscaped(out, m.text.substr(from, b - from));
      if (e > b) {
        out.Append("<span class=\"f\">");
        AppendEscaped(out, m.text.substr(b, e - b));
        out.Append("</span>");
      } else {  // an empty match marks nothing
        ++f;
      }
      from = std::max(b, e);
    }
  };
  // [from, to) leaving out the brackets of the equivalents; a range may end
  // inside an outranked equivalent and the next go on from there.
  std::size_t q = 0;  // the first equivalent not yet behind us
  auto visible = [&](std::size_t from, std::size_t to) {
    while (from < to) {
      while (q < m.equivalents.size() && m.equivalents[q].second <= from) ++q;
      if (q == m.equivalents.size() || m.equivalents[q].first >= to) {
        text(from, to);
        return;
      }
      const auto [b, e] = m.equivalents[q];
      text(from, std::max(from, b));
      text(std::max(from, b + kMark), std::min(to, e - kMark));
      from = std::min(to, e);
    }
  };
  auto marked = [&](std::size_t b, std::size_t e, std::string_view cls) {
    out.Append("<span class=\"");
    out.Append(cls);
    // The template predates these marks and may be the user's own: they
    // carry their style with them.
    out.Append(cls == "t" ? "\" style=\"background:#e3f4e8;border-bottom:2px solid #2e8b57\">" : "\">");
    visible(b, e);
    out.Append("</span>");
  };
  std::size_t copied = 0, t = 0;
  for (std::size_t k = 0; k <= m.equivalents.size(); ++k) {
    const bool last = k == m.equivalents.size();
    if (!last && !m.outranked.empty() && m.outranked[k]) continue;
    // The rows' marks before this equivalent.
    for (; t < m.translations.size() && (last || m.translations[t].first < m.equivalents[k].first); ++t) {
      visible(copied, m.translations[t].first);
      marked(m.translations[t].first, m.translations[t].second, "t");
      copied = m.translations[t].second;
    }
    if (last) break;
    visible(copied, m.equivalents[k].first);
    marked(m.equivalents[k].first, m.equivalents[k].second, equivClass);
    copied = m.equivalents[k].second;
  }
  visible(copied, m.text.size());
}

void AppendSource(TOutput& out, std::string_view path, const std::string& place) {
  out.Append("<span class=\"x\">&nbsp;&nbsp;(");
  AppendEscaped(out, DisplayPath(FileNamePart(path)));
  out.Append(", ");
  out.Append(place);
  out.Append(")</span></td>\r\n");
}

}  // namespace

void RenderPageFrame(TOutput& out, std::string_view tpl, std::size_t hitCount, std::size_t page,
                     const std::function<void(std::size_t, std::size_t)>& rows, const TPageRowFormats& rowFormats) {
  const std::vector<std::string_view> lines = SplitLines(tpl);
  std::size_t p = 0;
  while (p < lines.size() && !IsPlaceholder(lines[p])) ++p;
  if (p == lines.size()) ThrowListIndex(-1);
  const std::size_t first = page * kPageHitLimit;
  if (page > 0 && first >= hitCount)
    throw EKorvel(TMessage{"There is no page %1 of %2 hits", {std::to_string(page + 1), GroupDigits(hitCount)}});

  for (std::size_t i = 0; i < p; ++i) {
    out.Append(lines[i]);
    out.Append("\r\n");
  }

  // A page of every hit of a common word would run to hundreds of megabytes
  // and stall the viewer; the page stops at the limit, the export does not.
  const std::size_t end = std::min(hitCount, first + kPageHitLimit);
  rows(first, end);

  const std::string_view row = "<tr class=\"more\">\r\n\t<td class=\"no\"></td>\r\n\t<td>";
  if (page > 0) {
    out.Append(row);
    AppendEscaped(out,
                  FillMessage(rowFormats.Later, {GroupDigits(first + 1), GroupDigits(end), GroupDigits(hitCount)}));
    out.Append("</td>\r\n</tr>\r\n");
  } else if (end < hitCount) {
    out.Append(row);
    AppendEscaped(out, FillMessage(rowFormats.First, {GroupDigits(end), GroupDigits(hitCount)}));
    out.Append("</td>\r\n</tr>\r\n");
  }
  out.Append("\r\n");  // the emptied placeholder line
  for (std::size_t i = p + 1; i < lines.size(); ++i) {
    out.Append(lines[i]);
    out.Append("\r\n");
  }
}

void RenderResultPage(TOutput& out, std::string_view tpl, const TDataArr& data, const TSearchResult& result,
                      THighlighter& marks, const TProgressFn& progress, std::size_t page,
                      const TPageRowFormats& rowFormats) {
  const bool chinese = result.QueryIsChinese;
  const std::string_view queryClass = chinese ? "zh" : "en";
  const std::string_view equivClass = chinese ? "en" : "zh";
  THighlighter::TAlignedMarks aligned;

  RenderPageFrame(out, tpl, result.Hits.size(), page, [&](std::size_t first, std::size_t end) {
    for (std::size_t k = first; k < end; ++k) {
      if (progress) progress(k - first, end - first);
      const TData& d = data[result.Shown(k)];
      const std::string_view a = marks.Searched(d);
      const std::string& fa = marks.SearchedFile(d);
      const std::string& fb = marks.AlignedFile(d);
      const std::string shade = k % 2 == 0 ? " class=\"o\" " : "";
      const std::string place = marks.Place(d);

      out.Append("<tr" + shade + ">\r\n");
      out.Append("\t<td class=\"no\" rowspan=\"2\" >" + std::to_string(k + 1) + "</td>\r\n");

      out.Append("\t<td>");
      std::size_t copied = 0;
      marks.ForEachQueryMark(d, [&](std::size_t b, std::size_t e) {
        AppendEscaped(out, a.substr(copied, b - copied));
        out.Append("<span class=\"");
        out.Append(queryClass);
        out.Append("\">");
        AppendEscaped(out, a.substr(b, e - b));
        out.Append("</span>");
        copied = e;
      });
      AppendEscaped(out, a.substr(copied));
      AppendSource(out, fa, place);

      out.Append("</tr><tr" + shade + ">\r\n");
      out.Append("\t<td>");
      marks.MarkAligned(d, aligned);
      AppendAligned(out, aligned, equivClass);
      AppendSource(out, fb, place);
    }
  }, rowFormats);
}

}  // namespace korvel
