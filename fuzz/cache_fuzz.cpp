// Corpus cache files: any bytes are refused or give texts, records and
// indexes that stay within themselves. An input whose first byte is odd
// has its checksums put right first, so that the checks behind them (block
// layout, records, posting lists) are reached too.
#include <xxhash.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "FuzzUtil.h"
#include "cache/CorpusCache.h"

using namespace korvel;
using korvel::fuzz::Show;

namespace {

using namespace cache_format;

void FixChecksums(std::string& file) {
  const std::size_t table = kHeaderBytes + TBlock::Count * kBlockEntryBytes;
  if (file.size() < table) return;
  for (std::uint32_t b = 0; b < TBlock::Count; ++b) {
    const auto range = BlockRange(file, static_cast<TBlock>(b));
    if (!range || range->first > file.size() || range->second > file.size() - range->first) continue;
    const std::uint64_t sum = XXH3_64bits(file.data() + range->first, range->second);
    std::memcpy(file.data() + kHeaderBytes + b * kBlockEntryBytes + 24, &sum, 8);
  }
  std::string head = file.substr(0, table);
  std::memset(head.data() + 24, 0, 8);
  const std::uint64_t sum = XXH3_64bits(head.data(), head.size());
  std::memcpy(file.data() + 24, &sum, 8);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  auto file = std::make_shared<std::string>(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) FixChecksums(*file);
  const std::string_view bytes = *file;
  // The key the file holds, so that a match of keys is no obstacle.
  std::string key;
  if (const auto range = BlockRange(bytes, TBlock::Key);
      range && range->first <= bytes.size() && range->second <= bytes.size() - range->first)
    key = bytes.substr(range->first, range->second);
  const auto cached = TCachedCorpus::Parse(bytes, key, file);
  if (!cached) return 0;
  for (std::size_t i = 0; i < cached->RecordCount(); ++i) {
    const TCachedRecord r = cached->Record(i);
    KORVEL_CHECK(r.EnLength > 0 && r.EnOffset + r.EnLength <= cached->En().size() &&
                     r.ZhOffset + r.ZhLength <= cached->Zh().size(),
                 Show(bytes));
  }
  for (bool chinese : {false, true}) {
    const auto folds = cached->FoldLines(chinese);
    for (std::size_t k = 0; k < folds.size(); ++k)
      KORVEL_CHECK(folds[k] < cached->RecordCount() && (k == 0 || folds[k - 1] < folds[k]), Show(bytes));
    const TTrigramIndex* index = cached->Index(chinese);
    if (!index) continue;
    for (std::string_view literal : {"the", "work", "\xE5\x8F\x91\xE5\xB1\x95", "ab", "AbC d"}) {
      const auto lines = index->Candidates(literal);
      if (!lines) continue;
      for (std::size_t k = 0; k < lines->size(); ++k)
        KORVEL_CHECK((*lines)[k] < cached->RecordCount() && (k == 0 || (*lines)[k - 1] < (*lines)[k]),
                     Show(literal) + " in " + Show(bytes));
    }
  }
  return 0;
}
