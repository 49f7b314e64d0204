// The tab-separated export: one CRLF-ended line of six fields per hit, marks
// as text brackets.
#include <algorithm>
#include <optional>

#include "FileIO.h"
#include "Marks.h"
#include "unKorvel.h"

namespace korvel {
namespace {

// A tab inside a field would add a field; it is written as a blank.
void AppendField(std::string& out, std::string_view text) {
  const std::size_t start = out.size();
  out.append(text);
  std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '\t', ' ');
}

}  // namespace

std::string TKorvel::RenderExport(const TProgressFn& progress) const {
  std::optional<TRegExpr> queryRe, equivRe, filterRe;
  if (!hits_.empty()) {
    if (!queryIsChinese_) queryRe.emplace(pattern_, true);
    if (!equivalents_.empty()) equivRe.emplace(equivalents_, true);
    if (!filter_.empty() && !excludeFilter_) filterRe.emplace(filter_, true);
  }

  std::string out;
  out.reserve(hits_.size() * 320);
  for (std::size_t k = 0; k < hits_.size(); ++k) {
    if (progress) progress(k, hits_.size());
    const TData& d = data_[hits_[k]];
    const TFilePair& fp = filePairs_[d.PairIndex];
    std::string a, b;
    if (queryIsChinese_) {
      std::string_view zh = d.ZhLine;
      std::size_t copied = 0;
      ForEachLiteral(zh, pattern_, [&](std::size_t s, std::size_t e) {
        a.append(zh.substr(copied, s - copied));
        a += "【" + pattern_ + "】";
        copied = e;
      });
      a.append(zh.substr(copied));
      b = d.EnLine;
    } else {
      a = queryRe->Replace(d.EnLine, "【$0】");
      b = d.ZhLine;
    }
    if (equivRe) b = equivRe->Replace(b, "【$0】");
    if (filterRe) b = filterRe->Replace(b, "〖$0〗");

    out += std::to_string(k + 1);
    out += '\t';
    AppendField(out, DisplayPath(FileNamePart(queryIsChinese_ ? fp.ZhFile : fp.EnFile)));
    out += '\t';
    AppendField(out, DisplayPath(FileNamePart(queryIsChinese_ ? fp.EnFile : fp.ZhFile)));
    out += '\t';
    out += std::to_string(static_cast<long long>(d.LineIndex) + 1);
    out += '\t';
    AppendField(out, a);
    out += '\t';
    AppendField(out, b);
    out += "\r\n";
  }
  return out;
}

void TKorvel::ExportText(const std::string& path, const TProgressFn& progress) const {
  WriteFileReplacing(path, RenderExport(progress));
}

}  // namespace korvel
