// The corpus cache folder as a whole: what it holds, its size limit and
// the eviction that keeps to it, and clearing it. Only files named as
// caches (and their leftover temporary files) are ever touched. Stateless;
// safe from any thread, and from several processes at once.
#ifndef KORVEL_CACHE_CACHEFOLDER_H
#define KORVEL_CACHE_CACHEFOLDER_H

#include <cstdint>
#include <string>
#include <vector>

namespace korvel {

struct TCacheEntry {
  std::string Path;                  // the cache file
  std::uint64_t Bytes = 0;
  std::int64_t UsedNs = 0;           // when it was last written or opened
  std::vector<std::string> Sources;  // the paths it was made from; none when unreadable
};

// Every cache file of `dir`, least recently used first; none when the folder
// is missing.
std::vector<TCacheEntry> ListCorpusCaches(const std::string& dir);

// 10 GiB or a fifth of the space free where `dir` lies, whichever is less.
std::uint64_t DefaultCacheLimit(const std::string& dir);

// Removes least recently used caches until the rest fit in `limit` bytes,
// never those in `keep` (the loaded corpus's).
void EvictCorpusCaches(const std::string& dir, std::uint64_t limit, const std::vector<std::string>& keep = {});

// Removes every cache file and temporary file of `dir`: how many went.
std::size_t ClearCorpusCaches(const std::string& dir);

}  // namespace korvel

#endif
