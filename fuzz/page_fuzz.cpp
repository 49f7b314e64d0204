// Searching a small file pair and rendering the result page and the export.
// Input: one flag byte, then query, filter, English file, Chinese file and
// word list separated by 0xFF bytes.
//
// The page must carry corpus text only as escaped text: outside the
// template's own lines every "<" starts one of the engine's own tags, and
// taking the markup away gives back each hit's lines exactly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "FuzzUtil.h"
#include "TextDecode.h"
#include "unKorvel.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

enum : uint8_t {
  kLemmatize = 1,
  kExclude = 2,
  kFilterLemma = 4,
  kWordLists = 8,
  kWholeText = 16,
};

// Line ends of every kind and a placeholder in another letter case.
constexpr std::string_view kTemplate = "<html><body>\r\n<table>\n{@Content}\r\n</table>\r</body></html>";
constexpr std::string_view kPagePrefix = "<html><body>\r\n<table>\r\n";
constexpr std::string_view kPageSuffix = "\r\n</table>\r\n</body></html>\r\n";

constexpr std::string_view kTags[] = {
    "<tr>",
    "<tr class=\"o\" >",
    "<tr class=\"more\">",
    "</tr>",
    "<td>",
    "<td class=\"no\" rowspan=\"2\" >",
    "<td class=\"no\">",
    "</td>",
    "<span class=\"en\">",
    "<span class=\"zh\">",
    "<span class=\"f\">",
    "<span class=\"x\">",
    "</span>",
};
constexpr std::string_view kEntities[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;", "&nbsp;"};
constexpr char kUnescaped[] = {'&', '<', '>', '"', '\'', ' '};

struct TCell {
  std::string text;                 // unescaped, markup removed
  std::vector<std::string> marks;   // text of each outermost en/zh span
  std::vector<std::string> filter;  // text of each "f" span
};

// Reads the page body, failing on anything that is not the engine's markup
// or escaped text, and returns the text cells of the hits in order.
std::vector<TCell> ReadBody(std::string_view body) {
  std::vector<TCell> cells;
  std::vector<std::string_view> open;  // tags not yet closed
  bool inCell = false, inSource = false;
  std::size_t markDepth = 0, filterDepth = 0;
  auto fail = [&](std::size_t at, const char* why) {
    korvel::fuzz::Fail(__FILE__, __LINE__, why, "at " + std::to_string(at) + ": " + Show(body.substr(at, 120)));
  };
  for (std::size_t i = 0; i < body.size();) {
    const char c = body[i];
    if (c == '<') {
      const auto tag = std::find_if(std::begin(kTags), std::end(kTags),
                                    [&](std::string_view t) { return body.substr(i, t.size()) == t; });
      if (tag == std::end(kTags)) fail(i, "a \"<\" that starts none of the engine's tags");
      const std::string_view t = *tag;
      i += t.size();
      if (t[1] == '/') {
        const std::string_view name = t.substr(2, t.size() - 3);
        if (open.empty() || open.back().substr(1, name.size()) != name) fail(i, "a closing tag out of place");
        const std::string_view opened = open.back();
        open.pop_back();
        if (name == "td") {
          inCell = false;
        } else if (name == "span") {
          if (opened == "<span class=\"x\">") inSource = false;
          if (opened == "<span class=\"en\">" || opened == "<span class=\"zh\">") --markDepth;
          if (opened == "<span class=\"f\">") --filterDepth;
        }
        continue;
      }
      // The last row is left open, as HTML allows.
      if (t.substr(0, 3) == "<tr" && !open.empty() && open.back().substr(0, 3) == "<tr") open.pop_back();
      open.push_back(t);
      if (t == "<td>") {
        inCell = true;
        cells.emplace_back();
      } else if (t == "<span class=\"x\">") {
        inSource = true;
      } else if (t == "<span class=\"en\">" || t == "<span class=\"zh\">") {
        if (!inCell || inSource || markDepth > 0 || filterDepth > 0) fail(i, "a highlight out of place");
        ++markDepth;
        cells.back().marks.emplace_back();
      } else if (t == "<span class=\"f\">") {
        if (!inCell || inSource || filterDepth > 0) fail(i, "a filter mark out of place");
        ++filterDepth;
        cells.back().filter.emplace_back();
      }
      continue;
    }
    char plain = c;
    std::size_t len = 1;
    if (c == '&') {
      const auto e = std::find_if(std::begin(kEntities), std::end(kEntities),
                                  [&](std::string_view t) { return body.substr(i, t.size()) == t; });
      if (e == std::end(kEntities)) fail(i, "a \"&\" that starts no entity");
      plain = kUnescaped[e - std::begin(kEntities)];
      len = e->size();
    } else if (c == '>' || c == '"' || c == '\'') {
      fail(i, "markup characters outside a tag");
    }
    if (inCell && !inSource) {
      TCell& cell = cells.back();
      cell.text += plain;
      if (markDepth > 0) cell.marks.back() += plain;
      if (filterDepth > 0) cell.filter.back() += plain;
    }
    i += len;
  }
  for (std::string_view t : open)
    if (t.substr(0, 3) != "<tr") fail(body.size(), "a tag left open");
  return cells;
}

// The text of each match, as the page and the export should mark it.
std::vector<std::string> ExpectedMarks(std::string_view line, const TKorvel& engine) {
  std::vector<std::string> marks;
  if (engine.QueryIsChinese()) {
    const std::string& p = engine.Pattern();
    for (std::size_t at = p.empty() ? std::string_view::npos : line.find(p); at != std::string_view::npos;
         at = line.find(p, at + p.size()))
      marks.push_back(p);
  } else {
    const TRegExpr re(engine.Pattern(), true);
    re.ForEachMatch(line, [&](std::size_t b, std::size_t e) { marks.emplace_back(line.substr(b, e - b)); });
  }
  return marks;
}

constexpr std::string_view kOpenA = "\xE3\x80\x90", kCloseA = "\xE3\x80\x91";  // 【 】
constexpr std::string_view kOpenF = "\xE3\x80\x96", kCloseF = "\xE3\x80\x97";  // 〖 〗

bool HasBrackets(std::string_view s) {
  for (std::string_view b : {kOpenA, kCloseA, kOpenF, kCloseF})
    if (s.find(b) != std::string_view::npos) return true;
  return false;
}

std::string WithoutBrackets(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    const std::string_view rest = s.substr(i, 3);
    if (rest == kOpenA || rest == kCloseA || rest == kOpenF || rest == kCloseF) {
      i += 3;
    } else {
      out += s[i++];
    }
  }
  return out;
}

std::vector<std::string> Bracketed(std::string_view s) {
  std::vector<std::string> marks;
  for (std::size_t at = s.find(kOpenA); at != std::string_view::npos; at = s.find(kOpenA, at + 3)) {
    const std::size_t close = s.find(kCloseA, at + 3);
    marks.emplace_back(s.substr(at + 3, close - at - 3));
  }
  return marks;
}

std::string Blanked(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '\t', ' ');
  return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t at = 0;;) {
    const std::size_t tab = line.find('\t', at);
    fields.push_back(line.substr(at, tab - at));
    if (tab == std::string_view::npos) return fields;
    at = tab + 1;
  }
}

// The records must be the non-blank English lines with the Chinese line of
// the same number, both trimmed.
void CheckRecords(const TKorvel& engine, const std::string& en, const std::string& zh) {
  const std::vector<std::string_view> enLines = SplitLines(en), zhLines = SplitLines(zh);
  std::size_t r = 0;
  for (std::size_t j = 0; j < enLines.size(); ++j) {
    if (Trim(enLines[j]).empty()) continue;
    KORVEL_CHECK(r < engine.Data().size(), "line " + std::to_string(j) + " missing");
    const TData& d = engine.Data()[r++];
    KORVEL_CHECK(d.LineIndex == static_cast<int32_t>(j) && d.PairIndex == 0 && d.EnLine == Trim(enLines[j]) &&
                     j < zhLines.size() && d.ZhLine == Trim(zhLines[j]),
                 "record for line " + std::to_string(j) + ": " + Show(d.EnLine) + " / " + Show(d.ZhLine));
  }
  KORVEL_CHECK(r == engine.Data().size(), std::to_string(engine.Data().size()) + " records");
}

// Hits as a line-by-line search finds them; nullopt when a match limit
// stops it.
std::optional<TIntArr> ExpectedHits(const TKorvel& engine) {
  try {
    const TRegExpr query(engine.Pattern(), true);
    std::optional<TRegExpr> filter;
    if (!engine.Filter().empty()) filter.emplace(engine.Filter(), true);
    const bool chinese = engine.QueryIsChinese();
    TIntArr hits;
    for (std::size_t i = 0; i < engine.Data().size(); ++i) {
      const TData& d = engine.Data()[i];
      if (!query.Exec(chinese ? d.ZhLine : d.EnLine)) continue;
      if (filter && filter->Exec(chinese ? d.EnLine : d.ZhLine) == engine.ExcludeFilter()) continue;
      hits.push_back(static_cast<int32_t>(i));
    }
    return hits;
  } catch (const ERegExpr&) {
    return std::nullopt;
  }
}

void CheckPage(const TKorvel& engine, const std::string& page) {
  KORVEL_CHECK(page.size() >= kPagePrefix.size() + kPageSuffix.size() && page.starts_with(kPagePrefix) &&
                   page.ends_with(kPageSuffix),
               Show(page));
  const std::string_view body =
      std::string_view(page).substr(kPagePrefix.size(), page.size() - kPagePrefix.size() - kPageSuffix.size());
  const std::vector<TCell> cells = ReadBody(body);

  const bool chinese = engine.QueryIsChinese();
  const std::size_t shown = std::min(engine.Hits().size(), kPageHitLimit);
  KORVEL_CHECK(cells.size() == 2 * shown + (shown < engine.Hits().size() ? 1 : 0),
               std::to_string(cells.size()) + " cells for " + std::to_string(shown) + " hits");
  std::optional<TRegExpr> equivalents;
  if (!engine.Equivalents().empty()) equivalents.emplace(engine.Equivalents(), true);
  for (std::size_t k = 0; k < shown; ++k) {
    const TData& d = engine.Data()[engine.Hits()[k]];
    const std::string_view a = chinese ? d.ZhLine : d.EnLine, b = chinese ? d.EnLine : d.ZhLine;
    const TCell &ca = cells[2 * k], &cb = cells[2 * k + 1];
    KORVEL_CHECK(ca.text == a, "hit " + std::to_string(k) + ": " + Show(ca.text) + " for " + Show(a));
    KORVEL_CHECK(cb.text == b, "hit " + std::to_string(k) + ": " + Show(cb.text) + " for " + Show(b));
    KORVEL_CHECK(ca.marks == ExpectedMarks(a, engine) && ca.filter.empty(), "marks in " + Show(a));
    if (equivalents) {
      std::vector<std::string> want;
      equivalents->ForEachMatch(b, [&](std::size_t s, std::size_t e) { want.emplace_back(b.substr(s, e - s)); });
      if (chinese) {
        KORVEL_CHECK(cb.marks == want, "equivalents " + Show(engine.Equivalents()) + " in " + Show(b));
      } else {  // widened to the Chinese words around them: each holds a match
        bool held = cb.marks.size() <= want.size() && cb.marks.empty() == want.empty();
        for (const std::string& m : cb.marks) held = held && equivalents->Exec(m);
        KORVEL_CHECK(held, "equivalents " + Show(engine.Equivalents()) + " in " + Show(b));
      }
    } else {
      KORVEL_CHECK(cb.marks.empty(), Show(b));
    }
    if (engine.Filter().empty() || engine.ExcludeFilter()) KORVEL_CHECK(cb.filter.empty(), Show(b));
  }
}

void CheckExport(const TKorvel& engine, const std::string& text) {
  const bool chinese = engine.QueryIsChinese();
  std::size_t k = 0;
  for (std::size_t at = 0; at < text.size(); ++k) {
    const std::size_t end = text.find("\r\n", at);
    KORVEL_CHECK(end != std::string::npos && k < engine.Hits().size(), Show(text.substr(at)));
    const std::string_view line = std::string_view(text).substr(at, end - at);
    at = end + 2;
    const std::vector<std::string_view> f = Fields(line);
    const TData& d = engine.Data()[engine.Hits()[k]];
    KORVEL_CHECK(f.size() == 6 && f[0] == std::to_string(k + 1) && f[3] == std::to_string(d.LineIndex + 1), Show(line));
    KORVEL_CHECK(f[1] == (chinese ? "c.ZH.txt" : "c.EN.txt") && f[2] == (chinese ? "c.EN.txt" : "c.ZH.txt"),
                 Show(line));
    const std::string_view a = chinese ? d.ZhLine : d.EnLine, b = chinese ? d.EnLine : d.ZhLine;
    if (!HasBrackets(a)) {
      KORVEL_CHECK(WithoutBrackets(f[4]) == Blanked(a), Show(line));
      std::vector<std::string> marks = ExpectedMarks(a, engine);
      for (std::string& m : marks) m = Blanked(m);
      KORVEL_CHECK(Bracketed(f[4]) == marks, Show(line));
    }
    if (!HasBrackets(b)) KORVEL_CHECK(WithoutBrackets(f[5]) == Blanked(b), Show(line));
  }
  KORVEL_CHECK(k == engine.Hits().size(), std::to_string(k) + " export lines");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  korvel::fuzz::LoadInflectionTables();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  const std::vector<std::string_view> parts =
      korvel::fuzz::SplitParts(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1), 5);
  const std::string_view query = parts[0], filter = parts[1];

  fuzz::TScratch& scratch = fuzz::TScratch::Get();
  static const std::string tpl = scratch.Write("page.tpl", kTemplate);
  const std::string en = scratch.Write("c.EN.txt", parts[2]);
  const std::string zh = scratch.Write("c.ZH.txt", parts[3]);

  TKorvel engine;
  engine.SetTemplatePath(tpl);
  if (flags & kWordLists) {
    scratch.Write("EN-ZH.txt", parts[4]);
    scratch.Write("ZH-EN.txt", parts[4]);
    engine.LoadDictionaries(scratch.Root());
  }

  const std::string enText = DecodeText(std::string(parts[2])), zhText = DecodeText(std::string(parts[3]));
  try {
    std::vector<std::string> files = {en, zh};
    engine.SetFiles(files);
  } catch (const EKorvel&) {
    // Only a Chinese file with fewer lines than the English one is refused.
    const std::vector<std::string_view> enLines = SplitLines(enText), zhLines = SplitLines(zhText);
    std::size_t last = 0;
    for (std::size_t j = 0; j < enLines.size(); ++j)
      if (!Trim(enLines[j]).empty()) last = j + 1;
    KORVEL_CHECK(zhLines.size() < last, Show(enText) + " / " + Show(zhText));
    return 0;
  }
  CheckRecords(engine, enText, zhText);

  // The search must come out the same, error or hits, whichever way the
  // engine scans; the one asked for by the flags runs last.
  const bool wholeText = (flags & kWholeText) != 0;
  auto search = [&](bool whole) -> std::pair<TIntArr, std::string> {
    engine.SetTuning({1, whole});
    try {
      engine.SetFilter(filter, (flags & kExclude) != 0, (flags & kFilterLemma) != 0);
      engine.Search(query, (flags & kLemmatize) != 0);
      return {engine.Hits(), ""};
    } catch (const EMatchLimit& e) {
      // Scans visit different lines, so the line a limit names may differ.
      return {{}, e.Reason().substr(0, e.Reason().find(':'))};
    } catch (const ERegExpr& e) {
      return {{}, e.what()};
    }
  };
  const auto other = search(!wholeText);
  const auto found = search(wholeText);
  const auto& one = wholeText ? found : other;
  const auto& each = wholeText ? other : found;
  KORVEL_CHECK(found == other, "whole text: " + std::to_string(one.first.size()) + " hits " + Show(one.second) +
                                   ", line by line: " + std::to_string(each.first.size()) + " hits " +
                                   Show(each.second) + " for " + Show(query) + " filter " + Show(filter) + " in " +
                                   Show(enText) + " / " + Show(zhText));
  if (!found.second.empty()) return 0;
  KORVEL_CHECK(engine.HitCount() == static_cast<int32_t>(engine.Hits().size()), "hit count");
  if (const std::optional<TIntArr> want = ExpectedHits(engine))
    KORVEL_CHECK(*want == engine.Hits(), std::to_string(engine.Hits().size()) + " hits instead of " +
                                             std::to_string(want->size()) + " for " + Show(engine.Pattern()) +
                                             " filter " + Show(engine.Filter()) + " in " + Show(enText) + " / " +
                                             Show(zhText));

  try {
    CheckPage(engine, engine.RenderResultPage());
    CheckExport(engine, engine.RenderExport());
  } catch (const ERegExpr&) {
    // A highlight that ran into a match limit.
  }
  return 0;
}
