#include "CacheFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "cache/CorpusCache.h"

namespace korvel {
namespace {

constexpr std::uint64_t kMaxLimit = std::uint64_t{10} << 30;

bool IsCacheName(std::string_view name) { return name.size() == 20 && name.ends_with(cache_format::kSuffix); }
// "<cache name>.XXXXXX.tmp", as the writer makes them.
bool IsTempName(std::string_view name) { return name.size() == 31 && name.ends_with(".tmp") && IsCacheName(name.substr(0, 20)); }
bool IsStampName(std::string_view name) { return name.size() == 23 && name.ends_with(cache_format::kStampSuffix) && IsCacheName(name.substr(0, 20)); }
std::int64_t Ns(const struct timespec& t) { return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

template <class F>
void ForEachName(const std::string& dir, F&& f) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (const dirent* e = readdir(d)) f(std::string_view(e->d_name));
  closedir(d);
}

// The sources a cache names, read from its key block alone.
std::vector<std::string> SourcesOf(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return {};
  std::string head(cache_format::kHeaderBytes + cache_format::TBlock::Count * cache_format::kBlockEntryBytes, '\0');
  std::vector<std::string> sources;
  if (pread(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size())) {
    if (const auto range = cache_format::BlockRange(head, cache_format::TBlock::Key); range && range->second < (1u << 20)) {
      std::string key(static_cast<std::size_t>(range->second), '\0');
      if (pread(fd, key.data(), key.size(), static_cast<off_t>(range->first)) == static_cast<ssize_t>(key.size()))
        if (auto names = CacheKeySources(key)) sources = std::move(*names);
    }
  }
  close(fd);
  return sources;
}

}  // namespace

std::vector<TCacheEntry> ListCorpusCaches(const std::string& dir) {
  std::vector<TCacheEntry> entries;
  ForEachName(dir, [&](std::string_view name) {
    if (!IsCacheName(name)) return;
    TCacheEntry e;
    e.Path = dir + "/" + std::string(name);
    struct stat st {};
    if (lstat(e.Path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    e.Bytes = static_cast<std::uint64_t>(st.st_size);
    e.UsedNs = Ns(st.st_mtim);
    // A stamped file's last use is its stamp's time.
    struct stat stamp {};
    if (lstat((e.Path + cache_format::kStampSuffix).c_str(), &stamp) == 0) e.UsedNs = std::max(e.UsedNs, Ns(stamp.st_mtim));
    e.Sources = SourcesOf(e.Path);
    entries.push_back(std::move(e));
  });
  std::sort(entries.begin(), entries.end(), [](const TCacheEntry& a, const TCacheEntry& b) {
    return a.UsedNs != b.UsedNs ? a.UsedNs < b.UsedNs : a.Path < b.Path;
  });
  return entries;
}

std::uint64_t DefaultCacheLimit(const std::string& dir) {
  struct statvfs vfs {};
  if (statvfs(dir.c_str(), &vfs) != 0) return kMaxLimit;
  const std::uint64_t free = static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
  return std::min(kMaxLimit, free / 5);
}

void EvictCorpusCaches(const std::string& dir, std::uint64_t limit, const std::vector<std::string>& keep) {
  const std::vector<TCacheEntry> entries = ListCorpusCaches(dir);
  std::uint64_t total = 0;
  for (const TCacheEntry& e : entries) total += e.Bytes;
  for (const TCacheEntry& e : entries) {
    if (total <= limit) break;
    if (std::find(keep.begin(), keep.end(), e.Path) != keep.end()) continue;
    if (unlink(e.Path.c_str()) == 0) total -= e.Bytes;
    unlink((e.Path + cache_format::kStampSuffix).c_str());
  }
}

std::size_t ClearCorpusCaches(const std::string& dir) {
  std::vector<std::string> doomed, stamps;
  ForEachName(dir, [&](std::string_view name) {
    if (IsCacheName(name) || IsTempName(name)) doomed.push_back(dir + "/" + std::string(name));
    if (IsStampName(name)) stamps.push_back(dir + "/" + std::string(name));
  });
  std::size_t removed = 0;
  for (const std::string& path : doomed) removed += unlink(path.c_str()) == 0;
  for (const std::string& path : stamps) unlink(path.c_str());  // a cache's part, not counted apart
  return removed;
}

}  // namespace korvel
