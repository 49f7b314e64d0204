// The corpus cache: one file per loaded pair of sources holding what
// loading made of them (both decoded texts, the line records) and a
// trigram index of each side, so that a later load maps it instead of
// reading and decoding the sources.
//
// A file is keyed by its sources' paths, sizes, modification times, inodes
// and a hash of their first and last 64 KiB; a source that changed gets a
// new file, one that cannot be read gets none (loading then fails as it
// always did). Every block carries an XXH3 checksum: a file failing any
// check is not used, and the next load writes it again. Files are written
// under a temporary name and renamed, so readers (and two writers) only
// ever see whole files.
//
// Checking every checksum costs more than the search a one-shot run makes,
// so a file that passed them leaves a stamp beside it (NAME.ok: its inode,
// size and change times). An open whose file still matches its stamp skips
// the checksums; anything that writes to the file moves its change time and
// breaks the stamp. The stamp's time is the file's last use, for eviction.
//
// Stateless functions; safe from any thread. A TCachedCorpus is immutable:
// any thread may read it, and the texts it gives live as long as it does.
#ifndef KORVEL_CACHE_CORPUSCACHE_H
#define KORVEL_CACHE_CORPUSCACHE_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Corpus.h"
#include "cache/TrigramIndex.h"

namespace korvel {

// $XDG_CACHE_HOME/korvel/corpora, or ~/.cache/korvel/corpora; "" when
// neither variable names a folder.
std::string DefaultCorpusCacheDir();

// What names one pair's cache: Bytes are stored in it and compared on
// every open, FileName is its name in the cache folder.
struct TCacheKey {
  std::string Bytes;
  std::string FileName;
};
// Nothing when a source cannot be opened or read.
std::optional<TCacheKey> CacheKeyOf(const TFilePair& pair);
// The source paths stored in a key, or nothing when it is malformed.
std::optional<std::vector<std::string>> CacheKeySources(std::string_view keyBytes);

// One line pair, as offsets into the two texts.
struct TCachedRecord {
  std::uint64_t EnOffset = 0, ZhOffset = 0;
  std::uint32_t EnLength = 0, ZhLength = 0;
  std::int32_t LineIndex = 0;
  std::uint32_t Reserved = 0;
};

struct TCacheWriter;

class TCachedCorpus {
 public:
  // The cache of `key` in `dir`, mapped and checked, and marked as just
  // used; nothing when it is absent or fails a check.
  static std::shared_ptr<const TCachedCorpus> Open(const std::string& dir, const TCacheKey& key);
  // The same checks on bytes `owner` keeps alive (at least 8-byte aligned).
  static std::shared_ptr<const TCachedCorpus> Parse(std::string_view bytes, std::string_view key,
                                                    std::shared_ptr<const void> owner);

  std::string_view En() const { return en_; }
  std::string_view Zh() const { return zh_; }
  std::size_t RecordCount() const { return recordCount_; }
  // Within the texts, lines in ascending order: checked on opening.
  TCachedRecord Record(std::size_t i) const;
  // The records where they lie, RecordCount() of them, 8-byte aligned.
  const char* RecordBytes() const { return records_.data(); }
  // The index of a side; nullptr when its blocks are malformed.
  const TTrigramIndex* Index(bool chinese) const { return index_[chinese] ? &*index_[chinese] : nullptr; }
  // The lines of a side, ascending, that hold a character the matcher folds
  // to an ASCII letter (KELVIN SIGN, LATIN SMALL LETTER LONG S).
  std::span<const std::uint32_t> FoldLines(bool chinese) const { return folds_[chinese]; }

 private:
  std::shared_ptr<const void> owner_;
  std::string_view en_, zh_, records_;
  std::size_t recordCount_ = 0;
  std::optional<TTrigramIndex> index_[2];
  std::vector<std::uint32_t> folds_[2];

  static std::shared_ptr<const TCachedCorpus> Parse(std::string_view bytes, std::string_view key,
                                                    std::shared_ptr<const void> owner, bool checksums,
                                                    bool records);
  friend std::shared_ptr<const TCachedCorpus> WriteCorpusCache(const std::string&, const TCacheKey&,
                                                               std::string_view, std::string_view,
                                                               const std::vector<TCachedRecord>&,
                                                               const std::function<void()>&, TCacheWriter*);
};

// What a writer keeps from one write to the next. With `BothSides` the
// two indexes of a pair are built on two threads.
struct TCacheWriter {
  TTrigramScratch En, Zh;
  bool BothSides = false;
};

// About the size of the cache of a pair with texts of these sizes, a little
// over rather than under for ordinary text.
std::uint64_t EstimateCorpusCacheBytes(std::size_t enBytes, std::size_t zhBytes, std::size_t records);

// Writes the cache of `key` into `dir` (made with mode 0700 when missing),
// replacing one there, and returns it mapped and marked as just used (it
// holds what was just written, so its checksums are not read again), or
// nothing when it cannot be mapped. `records` point into `en` and `zh`.
// Throws EKorvel("Cannot write the corpus cache in \"DIR\". REASON") when
// the folder or file cannot be written; what `poll` throws ends the write
// and leaves no file behind.
std::shared_ptr<const TCachedCorpus> WriteCorpusCache(const std::string& dir, const TCacheKey& key,
                                                      std::string_view en, std::string_view zh,
                                                      const std::vector<TCachedRecord>& records,
                                                      const std::function<void()>& poll = {},
                                                      TCacheWriter* writer = nullptr);

// The file layout, for the checks of tests and tools.
namespace cache_format {
constexpr char kMagic[8] = {'K', 'O', 'R', 'V', 'C', 'O', 'R', 'P'};
constexpr std::uint32_t kVersion = 2;
constexpr std::size_t kHeaderBytes = 64, kBlockEntryBytes = 32, kAlign = 64;
enum TBlock : std::uint32_t {
  Key, EnText, ZhText, Records, EnDirectory, EnPostings, ZhDirectory, ZhPostings, EnFolds, ZhFolds, Count
};
constexpr const char* kSuffix = ".kvc";
constexpr const char* kStampSuffix = ".ok";
// Offset and size of a block in a file's bytes, read from its header
// without any check; nothing when the header is too short.
std::optional<std::pair<std::uint64_t, std::uint64_t>> BlockRange(std::string_view file, TBlock block);
}  // namespace cache_format

}  // namespace korvel

#endif
