// Corpus sources other than a pair of text files: a translation memory
// (TMX) or a two-column tab-separated file, each read into the two aligned
// texts a pair of .txt files would give. Stateless; safe from any thread.
#ifndef KORVEL_SOURCES_SOURCE_H
#define KORVEL_SOURCES_SOURCE_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace korvel {

enum class TSourceKind { Text, Tmx, Tsv };

// By the file name's extension, any letter case: ".tmx" Tmx, ".tsv" Tsv,
// anything else Text.
TSourceKind SourceKindOf(std::string_view path);

// A source read into two aligned texts: line N of En translates line N of Zh.
// Each holds exactly Units lines, each ended by '\n'. A unit or record that
// lacks either language is an empty line in both (so line numbers stay the
// unit/record ordinal, 0-based) and is counted in Skipped; a language whose
// text is empty once trimmed counts as lacking. CR, LF and NUL inside a
// segment become blanks, so every unit stays one line. Text is UTF-8, each
// segment trimmed of bytes up to 32 at both ends. Each text comes with room
// reserved up to the file's size; pages never written are not resident, and
// shrink_to_fit would copy.
struct TSourceText {
  std::string En, Zh;
  std::size_t Units = 0;    // <tu> elements, or data records (header excluded)
  std::size_t Skipped = 0;  // of those, without both languages
};

// Malformed XML throws EKorvel with
//   Cannot read "NAME": line L, column C: REASON
// (NAME the file's name without its folder; L and C count from 1, C in
// characters; REASON expat's text); a file that cannot be opened throws
// "Cannot open file ..." as THeldText::Read does. `poll` is called between
// parts of the file, at most a few thousand units apart; what it throws
// ends the read and reaches the caller.
//
// Each <tu> gives the <seg> of its first English <tuv> (xml:lang, or the
// older lang, "en", "en-*" or "en_*", any case) and of its first Chinese one
// ("zh", "cmn", and either followed by "-" or "_" and more). Inside a <seg>
// the text of <hi> and <sub> is kept; <bpt>, <ept>, <ph>, <it> and <ut> hold
// the original document's codes (say "<b>"), not words, and are dropped with
// their content. The encoding the XML declaration names rules; expat reads
// UTF-8, UTF-16, ISO-8859-1 and US-ASCII, other names (GBK and its kin as
// GB18030) are decoded first. No DTD or external entity is ever read, and a
// document whose entities expand out of all proportion is refused.
TSourceText ReadTmx(const std::string& path, const std::function<void()>& poll = {});

// The file decoded as a .txt is (THeldText). Records end at LF, CR LF or
// CR; the break ending the text starts no record. Fields are split at tabs:
// English then Chinese, unless the first record is a header naming the
// columns ("en", "en-*", "english"; "zh", "zh-*", "zh_*", "cmn", "chinese";
// trimmed, any case; then it is no record and other columns are ignored).
// A field that starts with '"' runs to the closing quote ("" is a quote)
// and may hold tabs and line breaks (each break a blank); text after its
// closing quote is kept as it is, and a quote left open takes the rest of
// the file. Other fields are literal. Never throws for its content.
TSourceText ReadTsv(const std::string& path, const std::function<void()>& poll = {});

}  // namespace korvel

#endif
