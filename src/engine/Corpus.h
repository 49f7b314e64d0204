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

namespace korvel {

struct TFilePair {
  std::string EnFile;  // full path, holds ".EN." in its file name
  std::string ZhFile;  // full path, holds ".ZH." in its file name
};
using TFilePairArr = std::vector<TFilePair>;

struct TData {
  std::string_view ZhLine;  // trimmed; may be empty
  std::string_view EnLine;  // trimmed; never empty
  int32_t PairIndex;        // into FilePairs
  int32_t LineIndex;        // 0-based, the same in both files
};
using TDataArr = std::vector<TData, TBigAllocator<TData>>;
using TIntArr = std::vector<int32_t>;

}  // namespace korvel

#endif
