// TTrigramIndex — which lines of one side of a corpus may hold a string,
// answered from the byte trigrams of their text with ASCII letters folded
// to lower case (the only folding a byte comparison can follow; the pattern
// layer gives literal strings only of such characters).
//
// Only trigrams that start on a character's first byte are kept: every
// string starts on one in the text, and the trigrams of its own first
// bytes then stand in the text too, so nothing is missed and a Chinese side
// keeps a third of its positions.
//
// The index is two byte blocks: a directory of fixed entries sorted by
// trigram, and posting lists of line numbers, each ascending and stored as
// varint deltas. A view reads them where they lie (a mapped cache file) and
// owns nothing; it is immutable, so any thread may ask it.
#ifndef KORVEL_CACHE_TRIGRAMINDEX_H
#define KORVEL_CACHE_TRIGRAMINDEX_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

struct TTrigramIndexBytes {
  std::string Directory, Postings;
};

// Room a build puts keys in, kept by a thread for its next build so that
// the pages are not mapped and zeroed again. Lines past `RunKeys` trigrams
// (4 bytes each) are indexed in further runs, merged at the end.
struct TTrigramScratch {
  std::size_t RunKeys = std::size_t{1} << 24;
  std::unique_ptr<std::uint32_t[]> Keys;
  std::size_t Capacity = 0;
};

// Builds the index of `count` lines, `line(i)` the text of line i. `poll`
// is called now and then and may throw to abandon the build.
TTrigramIndexBytes BuildTrigramIndex(std::size_t count, const std::function<std::string_view(std::size_t)>& line,
                                     const std::function<void()>& poll = {}, TTrigramScratch* scratch = nullptr);
// The same of lines [begin, limit) only, numbered as among all lines, to be
// joined with the other parts by JoinTrigramIndexes: parts can be built on
// several threads.
TTrigramIndexBytes BuildTrigramIndexPart(std::size_t begin, std::size_t limit,
                                         const std::function<std::string_view(std::size_t)>& line,
                                         const std::function<void()>& poll = {},
                                         TTrigramScratch* scratch = nullptr);
// The index of all lines from those of successive parts, in order.
TTrigramIndexBytes JoinTrigramIndexes(const std::vector<TTrigramIndexBytes>& parts,
                                      const std::function<void()>& poll = {});

class TTrigramIndex {
 public:
  // Nothing when the directory is malformed for `lines` lines. `checked`:
  // these very bytes passed that check before, so it is skipped.
  static std::optional<TTrigramIndex> View(std::string_view directory, std::string_view postings, std::size_t lines,
                                           bool checked = false);

  // The lines, ascending, that hold every trigram of `literal` (ASCII
  // letters without case): a superset of those holding the literal, cut
  // short of the rarest trigrams' intersection when what is left is cheaper
  // to confirm than to narrow. Nothing when the literal has no trigram (it
  // is shorter than 3 bytes) or a posting list is malformed.
  std::optional<std::vector<std::uint32_t>> Candidates(std::string_view literal) const;

  // One trigram's place in the directory.
  struct TEntry;

 private:
  const TEntry* Find(std::uint32_t trigram) const;
  bool Decode(const TEntry& entry, std::vector<std::uint32_t>& out) const;

  const TEntry* entries_ = nullptr;
  std::size_t entryCount_ = 0;
  std::string_view postings_;
  std::size_t lines_ = 0;
};

}  // namespace korvel

#endif
