// STAND-IN for the TMX and TSV readers until they arrive: delete this file
// (and its line in src/engine/CMakeLists.txt) when they do. It reads only
// plain, well-formed input, enough for loading to be built and tested
// against Source.h.
#include <string>

#include "FileIO.h"
#include "Query.h"
#include "TextDecode.h"
#include "sources/Source.h"

namespace korvel {
namespace {

bool EndsWithNoCase(std::string_view name, std::string_view ext) {
  if (name.size() < ext.size()) return false;
  for (std::size_t i = 0; i < ext.size(); ++i)
    if ((name[name.size() - ext.size() + i] | 0x20) != ext[i]) return false;
  return true;
}

[[noreturn]] void ThrowMalformed(const std::string& path, std::string_view text, std::size_t at,
                                 const std::string& reason) {
  std::size_t line = 1, column = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i, ++column)
    if (text[i] == '\n') line += 1, column = 0;
  throw EKorvel("Cannot read \"" + DisplayPath(FileNamePart(path)) + "\": line " + std::to_string(line) +
                ", column " + std::to_string(column) + ": " + reason);
}

std::string Blanked(std::string_view segment) {
  std::string s(segment);
  for (char& c : s)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return s;
}

void AddUnit(TSourceText& out, const std::string& en, const std::string& zh) {
  ++out.Units;
  if (Trim(en).empty() || Trim(zh).empty()) {
    ++out.Skipped;
    out.En += '\n';
    out.Zh += '\n';
    return;
  }
  out.En += en + '\n';
  out.Zh += zh + '\n';
}

std::string Unescaped(std::string_view xml) {
  std::string s;
  for (std::size_t i = 0; i < xml.size(); ++i) {
    if (xml[i] == '<') {  // inline markup inside a segment
      const std::size_t close = xml.find('>', i);
      if (close == std::string_view::npos) break;
      i = close;
      continue;
    }
    if (xml[i] != '&') {
      s += xml[i];
      continue;
    }
    const std::size_t semi = xml.find(';', i);
    const std::string_view name = xml.substr(i + 1, semi == std::string_view::npos ? 0 : semi - i - 1);
    if (name == "lt") s += '<';
    else if (name == "gt") s += '>';
    else if (name == "amp") s += '&';
    else if (name == "quot") s += '"';
    else if (name == "apos") s += '\'';
    else s += '&';
    if (s.back() != '&' || name == "amp") i = semi;
  }
  return s;
}

}  // namespace

TSourceKind SourceKindOf(std::string_view path) {
  const std::string_view name = FileNamePart(path);
  if (EndsWithNoCase(name, ".tmx")) return TSourceKind::Tmx;
  if (EndsWithNoCase(name, ".tsv")) return TSourceKind::Tsv;
  return TSourceKind::Text;
}

TSourceText ReadTsv(const std::string& path, const std::function<void()>& poll) {
  const std::string text = ReadTextFile(path);
  TSourceText out;
  bool first = true;
  ForEachLine(text, [&](std::string_view line) {
    if (poll && (out.Units & 4095) == 0) poll();
    if (std::exchange(first, false) && (line == "en\tzh" || line == "EN\tZH")) return;
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos) return AddUnit(out, "", "");
    const std::string_view zh = line.substr(tab + 1);
    AddUnit(out, Blanked(line.substr(0, tab)), Blanked(zh.substr(0, zh.find('\t'))));
  });
  return out;
}

TSourceText ReadTmx(const std::string& path, const std::function<void()>& poll) {
  const std::string text = ReadTextFile(path);
  if (text.find("<tmx") == std::string::npos) ThrowMalformed(path, text, 0, "not a TMX document");
  TSourceText out;
  for (std::size_t at = text.find("<tu"); at != std::string::npos; at = text.find("<tu", at + 3)) {
    if (at + 3 < text.size() && text[at + 3] != '>' && text[at + 3] != ' ') continue;  // <tuv
    if (poll && (out.Units & 4095) == 0) poll();
    const std::size_t end = text.find("</tu>", at);
    if (end == std::string::npos) ThrowMalformed(path, text, at, "<tu> is never closed");
    std::string en, zh;
    bool haveEn = false, haveZh = false;
    for (std::size_t v = text.find("<tuv", at); v < end; v = text.find("<tuv", v + 4)) {
      const std::size_t tagEnd = text.find('>', v);
      const std::string_view tag(text.data() + v, tagEnd - v);
      const std::size_t lang = tag.find("lang=\"");
      const std::string code = lang == std::string_view::npos ? "" : std::string(tag.substr(lang + 6, 2));
      const std::size_t seg = text.find("<seg>", v), segEnd = text.find("</seg>", v);
      if (seg > end || segEnd > end) continue;
      const std::string content = Blanked(Unescaped(std::string_view(text).substr(seg + 5, segEnd - seg - 5)));
      if ((code == "en" || code == "EN") && !std::exchange(haveEn, true)) en = content;
      if ((code == "zh" || code == "ZH") && !std::exchange(haveZh, true)) zh = content;
    }
    AddUnit(out, en, zh);
    at = end;
  }
  return out;
}

}  // namespace korvel
