#include "TmxWriter.h"

#include <string>
#include <string_view>

#include "FileIO.h"
#include "KorvelVersion.h"
#include "Lines.h"

namespace korvel {
namespace {

// Escaped for element text. A CR is written as a reference, which a
// parser would otherwise turn into LF. The text is valid UTF-8, so the only
// characters XML forbids are C0 controls and U+FFFE, U+FFFF (EF BF BE/BF).
void AppendXml(TOutput& out, std::string_view text) {
  std::size_t copied = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    std::string_view with;  // empty: the character is dropped
    std::size_t length = 1;
    switch (const auto c = static_cast<unsigned char>(text[at])) {
      case '&':
        with = "&amp;";
        break;
      case '<':
        with = "&lt;";
        break;
      case '>':
        with = "&gt;";
        break;
      case '\r':
        with = "&#13;";
        break;
      case '\t':
      case '\n':
        continue;
      case 0xEF:
        if (text.substr(at, 3) != "\xEF\xBF\xBE" && text.substr(at, 3) != "\xEF\xBF\xBF") continue;
        length = 3;
        break;
      default:
        if (c >= 0x20) continue;
    }
    out.Append(text.substr(copied, at - copied));
    out.Append(with);
    copied = at + length;
    at += length - 1;
  }
  out.Append(text.substr(copied));
}

}  // namespace

void RenderTmx(TOutput& out, const TDataArr& data, const TSearchResult& result, THighlighter& marks,
               const TProgressFn& progress) {
  const std::string_view source = result.QueryIsChinese ? "zh" : "en";
  out.Append("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<tmx version=\"1.4\">\r\n");
  out.Append("  <header creationtool=\"Korvel\" creationtoolversion=\"" KORVEL_VERSION
             "\" segtype=\"sentence\" o-tmf=\"Korvel\" adminlang=\"en\" srclang=\"");
  out.Append(source);
  out.Append("\" datatype=\"plaintext\"/>\r\n  <body>\r\n");
  const TIntArr& hits = result.Hits;
  for (std::size_t k = 0; k < hits.size(); ++k) {
    if (progress) progress(k, hits.size());
    const TData& d = data[result.Shown(k)];
    out.Append("    <tu tuid=\"" + std::to_string(k + 1) + "\">\r\n      <prop type=\"x-file\">");
    AppendXml(out, DisplayPath(FileNamePart(marks.SearchedFile(d))));
    out.Append("</prop>\r\n      <prop type=\"x-line\">" + std::to_string(static_cast<long long>(d.LineIndex) + 1) +
               "</prop>\r\n      <tuv xml:lang=\"en\"><seg>");
    AppendXml(out, d.EnLine);
    out.Append("</seg></tuv>\r\n      <tuv xml:lang=\"zh\"><seg>");
    AppendXml(out, d.ZhLine);
    out.Append("</seg></tuv>\r\n    </tu>\r\n");
  }
  out.Append("  </body>\r\n</tmx>\r\n");
}

}  // namespace korvel
