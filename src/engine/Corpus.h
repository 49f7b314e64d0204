// The loaded corpus as plain records: the file pairs and every aligned line
// pair, in corpus order. Owned by TKorvel; writers and the highlighter read
// them through const references for the length of one operation.
#ifndef KORVEL_CORPUS_H
#define KORVEL_CORPUS_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "BigMemory.h"
#include "sources/Source.h"

namespace korvel {

// Two text files, or one TMX or TSV file that holds both languages (then
// EnFile and ZhFile are its one path).
struct TFilePair {
  std::string EnFile;  // full path: "x.EN.txt", "x.en", or the one source
  std::string ZhFile;  // full path: "x.ZH.txt", "x.zh", or the one source
  TSourceKind Kind = TSourceKind::Text;
};
using TFilePairArr = std::vector<TFilePair>;

struct TData {
  std::string_view ZhLine;  // trimmed; may be empty
  std::string_view EnLine;  // trimmed; never empty
  int32_t PairIndex;        // into FilePairs
  int32_t LineIndex;        // 0-based, the same in both files; a TMX file's unit, a TSV file's record
};
// Every record of a loaded corpus (Lines.h).
class TLines;
using TDataArr = TLines;
using TIntArr = std::vector<int32_t>;

// Where a record stands in its source, 1-based, as pages and messages say
// it: "line 3", or "unit 3" in a TMX file, which has no lines to speak of.
inline std::string RecordPlace(TSourceKind kind, int32_t lineIndex) {
  return (kind == TSourceKind::Tmx ? "unit " : "line ") + std::to_string(static_cast<long long>(lineIndex) + 1);
}

}  // namespace korvel

#endif
