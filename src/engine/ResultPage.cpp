// The HTML result page: the template with one five-line block per hit.
// Corpus text and file names are escaped; matches are found on the raw text
// and the markup is added around them, so nothing from a corpus line ever
// acts as markup and highlighting never lands inside a tag.
#include <algorithm>
#include <optional>

#include "FileIO.h"
#include "Marks.h"
#include "TextDecode.h"
#include "unKorvel.h"

namespace korvel {
namespace {

constexpr std::string_view kPlaceholder = "{@content}";

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
}

bool IsPlaceholder(std::string_view line) {
  if (line.size() != kPlaceholder.size()) return false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != kPlaceholder[i]) return false;
  }
  return true;
}

// Appends `text` escaped, with every match of `re` wrapped in a span of the
// class.
void AppendMarked(std::string& out, std::string_view text, const TRegExpr* re, std::string_view cls) {
  if (!re) {
    AppendEscaped(out, text);
    return;
  }
  std::size_t copied = 0;
  re->ForEachMatch(text, [&](std::size_t b, std::size_t e) {
    AppendEscaped(out, text.substr(copied, b - copied));
    out += "<span class=\"";
    out += cls;
    out += "\">";
    AppendEscaped(out, text.substr(b, e - b));
    out += "</span>";
    copied = e;
  });
  AppendEscaped(out, text.substr(copied));
}

// 12345 -> "12,345"
std::string GroupDigits(std::size_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

void AppendSource(std::string& out, std::string_view path, const std::string& lineNo) {
  out += "<span class=\"x\">&nbsp;&nbsp;(";
  AppendEscaped(out, DisplayPath(FileNamePart(path)));
  out += ", line ";
  out += lineNo;
  out += ")</span></td>\r\n";
}

}  // namespace

std::string TKorvel::RenderResultPage(const TProgressFn& progress) const {
  const std::string tpl = ReadTextFile(templatePath_);
  const std::vector<std::string_view> lines = SplitLines(tpl);
  std::size_t p = 0;
  while (p < lines.size() && !IsPlaceholder(lines[p])) ++p;
  if (p == lines.size()) ThrowListIndex(-1);

  std::string out;
  out.reserve(tpl.size() + hits_.size() * 512);
  for (std::size_t i = 0; i < p; ++i) {
    out += lines[i];
    out += "\r\n";
  }

  // Highlighting expressions are compiled only when there is a hit to mark.
  std::optional<TRegExpr> queryRe, equivRe, filterRe;
  if (!hits_.empty()) {
    if (!queryIsChinese_) queryRe.emplace(pattern_, true);
    if (!equivalents_.empty()) equivRe.emplace(equivalents_, true);
    if (!filter_.empty() && !excludeFilter_) filterRe.emplace(filter_, true);
  }
  const std::string_view queryClass = queryIsChinese_ ? "zh" : "en";
  const std::string_view equivClass = queryIsChinese_ ? "en" : "zh";

  // A page of every hit of a common word would run to hundreds of megabytes
  // and stall the viewer; the page stops at the limit, the export does not.
  const std::size_t shown = std::min(hits_.size(), kPageHitLimit);
  for (std::size_t k = 0; k < shown; ++k) {
    if (progress) progress(k, shown);
    const TData& d = data_[hits_[k]];
    const TFilePair& fp = filePairs_[d.PairIndex];
    const std::string_view a = queryIsChinese_ ? d.ZhLine : d.EnLine;
    const std::string_view b = queryIsChinese_ ? d.EnLine : d.ZhLine;
    const std::string& fa = queryIsChinese_ ? fp.ZhFile : fp.EnFile;
    const std::string& fb = queryIsChinese_ ? fp.EnFile : fp.ZhFile;
    const std::string shade = k % 2 == 0 ? " class=\"o\" " : "";
    const std::string lineNo = std::to_string(static_cast<long long>(d.LineIndex) + 1);

    out += "<tr" + shade + ">\r\n";
    out += "\t<td class=\"no\" rowspan=\"2\" >" + std::to_string(k + 1) + "</td>\r\n";

    out += "\t<td>";
    if (queryIsChinese_) {
      std::size_t copied = 0;
      ForEachLiteral(a, pattern_, [&](std::size_t s, std::size_t e) {
        AppendEscaped(out, a.substr(copied, s - copied));
        out += "<span class=\"zh\">";
        AppendEscaped(out, pattern_);
        out += "</span>";
        copied = e;
      });
      AppendEscaped(out, a.substr(copied));
    } else {
      AppendMarked(out, a, &*queryRe, queryClass);
    }
    AppendSource(out, fa, lineNo);

    out += "</tr><tr" + shade + ">\r\n";
    // The filter marks text runs only: inside an equivalent's span and
    // between spans, one run at a time.
    out += "\t<td>";
    const TRegExpr* filter = filterRe ? &*filterRe : nullptr;
    if (equivRe) {
      std::size_t copied = 0;
      equivRe->ForEachMatch(b, [&](std::size_t s, std::size_t e) {
        AppendMarked(out, b.substr(copied, s - copied), filter, "f");
        out += "<span class=\"";
        out += equivClass;
        out += "\">";
        AppendMarked(out, b.substr(s, e - s), filter, "f");
        out += "</span>";
        copied = e;
      });
      AppendMarked(out, b.substr(copied), filter, "f");
    } else {
      AppendMarked(out, b, filter, "f");
    }
    AppendSource(out, fb, lineNo);
  }

  if (shown < hits_.size()) {
    out += "<tr class=\"more\">\r\n\t<td class=\"no\"></td>\r\n\t<td>Showing the first " + GroupDigits(shown) +
           " of " + GroupDigits(hits_.size()) + " hits. Save exports all of them.</td>\r\n</tr>\r\n";
  }
  out += "\r\n";  // the emptied placeholder line
  for (std::size_t i = p + 1; i < lines.size(); ++i) {
    out += lines[i];
    out += "\r\n";
  }
  return out;
}

void TKorvel::WriteResultPage(const std::string& path, const TProgressFn& progress) const {
  WriteFileReplacing(path, RenderResultPage(progress));
}

}  // namespace korvel
