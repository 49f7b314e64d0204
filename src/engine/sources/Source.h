// Corpus sources other than a pair of text files: a TMX file or a TSV file
// holds both languages, read here into two aligned texts.
#ifndef KORVEL_SOURCES_SOURCE_H
#define KORVEL_SOURCES_SOURCE_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "Errors.h"

namespace korvel {
enum class TSourceKind { Text, Tmx, Tsv };
// By the file name's extension, any letter case: ".tmx" Tmx, ".tsv" Tsv, anything else Text.
TSourceKind SourceKindOf(std::string_view path);
// A source read into two aligned texts: line N of En translates line N of Zh.
// Each holds exactly Units lines, each ended by '\n'. A unit or record that
// lacks either language is an empty line in both (so line numbers stay the
// unit/record ordinal, 0-based) and is counted in Skipped. CR, LF and NUL
// inside a segment become blanks. Text is UTF-8.
struct TSourceText {
  std::string En, Zh;
  std::size_t Units = 0;    // <tu> elements, or data records (header excluded)
  std::size_t Skipped = 0;  // of those, without both languages
};
// Throws EKorvel "Cannot read "NAME": line L, column C: REASON" for malformed
// input, and "Cannot open file ..." when the file can't be opened. `poll` may throw (cancel).
TSourceText ReadTmx(const std::string& path, const std::function<void()>& poll = {});
TSourceText ReadTsv(const std::string& path, const std::function<void()>& poll = {});
}

#endif
