#include "CorpusCache.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <future>

#include "Errors.h"
#include "FileIO.h"
#include "Parallel.h"
#include "TableFile.h"

namespace korvel {
namespace {

using namespace cache_format;

constexpr std::size_t kEdgeBytes = 64 * 1024;
constexpr std::size_t kTableBytes = TBlock::Count * kBlockEntryBytes;

template <class T>
T Load(std::string_view bytes, std::size_t at) {
  T v;
  std::memcpy(&v, bytes.data() + at, sizeof v);
  return v;
}
template <class T>
void Put(std::string& out, T v) {
  out.append(reinterpret_cast<const char*>(&v), sizeof v);
}
template <class T>
void Store(std::string& out, std::size_t at, T v) {
  std::memcpy(out.data() + at, &v, sizeof v);
}

struct TFd {
  int fd = -1;
  ~TFd() {
    if (fd >= 0) close(fd);
  }
};

bool ReadFully(int fd, char* to, std::size_t n, off_t at) {
  while (n > 0) {
    const ssize_t got = pread(fd, to, n, at);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    to += got, n -= static_cast<std::size_t>(got), at += got;
  }
  return true;
}

// Where the file stands and what its first and last 64 KiB hold.
bool AddSource(std::string& key, std::string& names, const std::string& path) {
  TFd file;
  file.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const auto size = static_cast<std::uint64_t>(st.st_size);
  // One buffer a thread: a fresh one would be mapped, faulted in page by
  // page and unmapped for every file of a one-shot run.
  thread_local std::string buffer(2 * kEdgeBytes, '\0');
  const std::span<char> edges(buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(size, 2 * kEdgeBytes)));
  if (size <= 2 * kEdgeBytes) {
    if (!ReadFully(file.fd, edges.data(), edges.size(), 0)) return false;
  } else if (!ReadFully(file.fd, edges.data(), kEdgeBytes, 0) ||
             !ReadFully(file.fd, edges.data() + kEdgeBytes, kEdgeBytes, static_cast<off_t>(size - kEdgeBytes))) {
    return false;
  }
  char* real = realpath(path.c_str(), nullptr);
  const std::string name = real ? real : path;
  std::free(real);
  Put<std::uint32_t>(key, static_cast<std::uint32_t>(name.size()));
  key += name;
  Put<std::uint64_t>(key, size);
  Put<std::int64_t>(key, st.st_mtim.tv_sec);
  Put<std::int64_t>(key, st.st_mtim.tv_nsec);
  Put<std::uint64_t>(key, st.st_ino);
  Put<std::uint64_t>(key, st.st_dev);
  Put<std::uint64_t>(key, XXH3_64bits(edges.data(), edges.size()));
  names += name;
  names += '\0';
  return true;
}

std::string Hex(std::uint64_t v) {
  static const char digits[] = "0123456789abcdef";
  std::string s(16, '0');
  for (int i = 15; i >= 0; --i, v >>= 4) s[static_cast<std::size_t>(i)] = digits[v & 15];
  return s;
}

std::uint64_t HeaderChecksum(std::string_view bytes) {
  std::string head(bytes.substr(0, kHeaderBytes + kTableBytes));
  std::memset(head.data() + 24, 0, 8);
  return XXH3_64bits(head.data(), head.size());
}

[[noreturn]] void ThrowCannotWrite(const std::string& dir, int err) {
  throw EKorvel("Cannot write the corpus cache in \"" + DisplayPath(dir) + "\". " + std::strerror(err));
}

// What a stamp holds for a file that passed every check: where it stands and
// when it last changed, and its header (which holds the block checksums).
// Nothing while the file changed too recently for a later change to be sure
// to move its change time (the kernel's clock for it is coarse).
std::optional<std::string> StampOf(const struct stat& st, std::string_view bytes) {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  if (bytes.size() < kHeaderBytes + kTableBytes || now.tv_sec - st.st_ctim.tv_sec < 2) return std::nullopt;
  std::string stamp(kMagic, sizeof kMagic);
  Put<std::uint32_t>(stamp, kVersion);
  Put<std::uint64_t>(stamp, st.st_ino);
  Put<std::uint64_t>(stamp, st.st_dev);
  Put<std::uint64_t>(stamp, static_cast<std::uint64_t>(st.st_size));
  Put<std::int64_t>(stamp, st.st_mtim.tv_sec);
  Put<std::int64_t>(stamp, st.st_mtim.tv_nsec);
  Put<std::int64_t>(stamp, st.st_ctim.tv_sec);
  Put<std::int64_t>(stamp, st.st_ctim.tv_nsec);
  Put<std::uint64_t>(stamp, XXH3_64bits(bytes.data(), kHeaderBytes + kTableBytes));
  return stamp;
}

// A torn or stale stamp only matches no file: the next open checks again.
// An empty one marks the use of a file too new to stamp.
void WriteStamp(const std::string& path, const std::string& stamp) {
  TFd file;
  file.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (file.fd < 0) return;
  if (write(file.fd, stamp.data(), stamp.size()) < 0) unlink(path.c_str());
  const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
  futimens(file.fd, times);
}

// The records, ascending, whose line holds a character the matcher folds to
// an ASCII letter, found as the engine finds them in loaded texts.
std::string FoldLines(std::string_view text, const std::vector<TCachedRecord>& records, bool chinese) {
  std::vector<std::uint32_t> lines;
  auto start = [&](std::size_t r) { return chinese ? records[r].ZhOffset : records[r].EnOffset; };
  auto end = [&](std::size_t r) { return start(r) + (chinese ? records[r].ZhLength : records[r].EnLength); };
  for (std::string_view fold : {"\xE2\x84\xAA", "\xC5\xBF"}) {
    std::size_t r = 0;
    for (std::size_t at = text.find(fold); at != std::string_view::npos && r < records.size();
         at = text.find(fold, at + 1)) {
      while (r < records.size() && end(r) <= at) ++r;
      if (r < records.size() && start(r) <= at) lines.push_back(static_cast<std::uint32_t>(r));
    }
  }
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return std::string(reinterpret_cast<const char*>(lines.data()), lines.size() * sizeof(std::uint32_t));
}

}  // namespace

std::string DefaultCorpusCacheDir() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  // A relative value is to be ignored, as if unset.
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/korvel/corpora";
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return std::string(home) + "/.cache/korvel/corpora";
  return "";
}

std::optional<TCacheKey> CacheKeyOf(const TFilePair& pair) {
  TCacheKey key;
  std::string names;
  Put<std::uint32_t>(key.Bytes, kVersion);
  Put<std::uint32_t>(key.Bytes, static_cast<std::uint32_t>(pair.Kind));
  const bool two = pair.Kind == TSourceKind::Text;
  Put<std::uint32_t>(key.Bytes, two ? 2 : 1);
  if (!AddSource(key.Bytes, names, pair.EnFile)) return std::nullopt;
  if (two && !AddSource(key.Bytes, names, pair.ZhFile)) return std::nullopt;
  names += static_cast<char>('0' + static_cast<int>(pair.Kind));
  key.FileName = Hex(XXH3_64bits(names.data(), names.size())) + kSuffix;
  return key;
}

std::optional<std::vector<std::string>> CacheKeySources(std::string_view key) {
  constexpr std::size_t kStatBytes = 6 * 8;
  if (key.size() < 12) return std::nullopt;
  const auto files = Load<std::uint32_t>(key, 8);
  std::vector<std::string> names;
  std::size_t at = 12;
  for (std::uint32_t i = 0; i < files && i < 2; ++i) {
    if (key.size() - at < 4) return std::nullopt;
    const auto length = Load<std::uint32_t>(key, at);
    at += 4;
    if (key.size() - at < std::size_t{length} + kStatBytes) return std::nullopt;
    names.emplace_back(key.substr(at, length));
    at += length + kStatBytes;
  }
  if (at != key.size() || names.empty()) return std::nullopt;
  return names;
}

TCachedRecord TCachedCorpus::Record(std::size_t i) const {
  TCachedRecord r;
  std::memcpy(&r, records_.data() + i * sizeof r, sizeof r);
  return r;
}

std::shared_ptr<const TCachedCorpus> TCachedCorpus::Parse(std::string_view bytes, std::string_view key,
                                                          std::shared_ptr<const void> owner) {
  return Parse(bytes, key, std::move(owner), true, true);
}

std::shared_ptr<const TCachedCorpus> TCachedCorpus::Parse(std::string_view bytes, std::string_view key,
                                                          std::shared_ptr<const void> owner, bool checksums,
                                                          bool records) {
  if (bytes.size() < kHeaderBytes + kTableBytes || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0 ||
      Load<std::uint32_t>(bytes, 8) != kVersion || Load<std::uint32_t>(bytes, 12) != TBlock::Count ||
      Load<std::uint64_t>(bytes, 24) != HeaderChecksum(bytes))
    return nullptr;
  std::string_view blocks[TBlock::Count];
  std::uint64_t sums[TBlock::Count];
  std::uint64_t end = kHeaderBytes + kTableBytes;
  for (std::uint32_t b = 0; b < TBlock::Count; ++b) {
    const std::size_t at = kHeaderBytes + b * kBlockEntryBytes;
    const auto offset = Load<std::uint64_t>(bytes, at + 8), size = Load<std::uint64_t>(bytes, at + 16);
    if (Load<std::uint32_t>(bytes, at) != b || offset % kAlign != 0 || offset < end || offset > bytes.size() ||
        size > bytes.size() - offset)
      return nullptr;
    blocks[b] = bytes.substr(offset, size);
    sums[b] = Load<std::uint64_t>(bytes, at + 24);
    end = offset + size;
  }
  if (end != bytes.size() || blocks[TBlock::Key] != key) return nullptr;
  // The big blocks on all cores: checking them is most of an open's cost.
  std::atomic<bool> intact{true};
  if (checksums) ParallelFor(TBlock::Count, WorkerCount(0), {}, [&](std::size_t b, unsigned, auto&) {
    if (XXH3_64bits(blocks[b].data(), blocks[b].size()) != sums[b]) intact = false;
  });
  if (!intact) return nullptr;

  auto cached = std::make_shared<TCachedCorpus>();
  cached->owner_ = std::move(owner);
  cached->en_ = blocks[TBlock::EnText];
  cached->zh_ = blocks[TBlock::ZhText];
  cached->records_ = blocks[TBlock::Records];
  const std::uint64_t count = Load<std::uint64_t>(bytes, 16);
  if (count > INT32_MAX || cached->records_.size() != count * sizeof(TCachedRecord)) return nullptr;
  cached->recordCount_ = static_cast<std::size_t>(count);
  // A stamped file passed this when it was stamped, and has not changed since.
  std::int64_t lastLine = -1;
  for (std::size_t i = 0; records && i < cached->recordCount_; ++i) {
    const TCachedRecord r = cached->Record(i);
    if (r.EnLength == 0 || r.EnOffset > cached->en_.size() || r.EnLength > cached->en_.size() - r.EnOffset ||
        r.ZhOffset > cached->zh_.size() || r.ZhLength > cached->zh_.size() - r.ZhOffset || r.LineIndex <= lastLine)
      return nullptr;
    lastLine = r.LineIndex;
  }
  for (bool chinese : {false, true}) {
    const std::string_view folds = blocks[chinese ? TBlock::ZhFolds : TBlock::EnFolds];
    if (folds.size() % 4 != 0) return nullptr;
    std::vector<std::uint32_t>& lines = cached->folds_[chinese];
    lines.resize(folds.size() / 4);
    if (!lines.empty()) std::memcpy(lines.data(), folds.data(), folds.size());
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i] >= count || (i > 0 && lines[i] <= lines[i - 1])) return nullptr;
  }
  for (bool chinese : {false, true})
    cached->index_[chinese] =
        TTrigramIndex::View(blocks[chinese ? TBlock::ZhDirectory : TBlock::EnDirectory],
                            blocks[chinese ? TBlock::ZhPostings : TBlock::EnPostings], cached->recordCount_,
                            !checksums);
  return cached;
}

std::shared_ptr<const TCachedCorpus> TCachedCorpus::Open(const std::string& dir, const TCacheKey& key) {
  if (dir.empty()) return nullptr;
  const std::string path = dir + "/" + key.FileName;
  TFd file;
  file.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  struct stat st {};
  if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) return nullptr;
  const auto size = static_cast<std::size_t>(st.st_size);
  void* map = mmap(nullptr, size, PROT_READ, MAP_SHARED, file.fd, 0);
  if (map == MAP_FAILED) return nullptr;
  std::shared_ptr<const void> owner(map, [size](const void* p) { munmap(const_cast<void*>(p), size); });
  const std::string_view bytes(static_cast<const char*>(map), size);
  const std::string stampPath = path + kStampSuffix;
  const std::optional<std::string> stamp = StampOf(st, bytes);
  TFd stampFile;
  stampFile.fd = open(stampPath.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  std::string held(stamp ? stamp->size() + 1 : 0, '\0');
  const bool trusted = stamp && stampFile.fd >= 0 &&
                       pread(stampFile.fd, held.data(), held.size(), 0) == static_cast<ssize_t>(stamp->size()) &&
                       held.compare(0, stamp->size(), *stamp) == 0;
  auto cached = Parse(bytes, key.Bytes, owner, !trusted, !trusted);
  if (!cached) return nullptr;
  // The stamp's modification time says when the file was last used.
  if (trusted) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_NOW}};
    futimens(stampFile.fd, times);
  } else {
    // A stamp vouches for the indexes too: a file whose index failed its
    // check is checked again at every open, and searched without it.
    const bool indexed = cached->Index(false) && cached->Index(true);
    WriteStamp(stampPath, indexed ? stamp.value_or("") : "");
  }
  return cached;
}

std::uint64_t EstimateCorpusCacheBytes(std::size_t enBytes, std::size_t zhBytes, std::size_t records) {
  // The texts, the records, and an index that runs to about 0.9 of an
  // English text and 0.45 of a Chinese one.
  return 2 * std::uint64_t{enBytes} + 3 * std::uint64_t{zhBytes} / 2 + records * sizeof(TCachedRecord) +
         kHeaderBytes + kTableBytes + TBlock::Count * kAlign;
}

std::shared_ptr<const TCachedCorpus> WriteCorpusCache(const std::string& dir, const TCacheKey& key,
                                                      std::string_view en, std::string_view zh,
                                                      const std::vector<TCachedRecord>& records,
                                                      const std::function<void()>& poll, TCacheWriter* writer) {
  auto line = [&](bool chinese) {
    return [&, chinese](std::size_t i) {
      const TCachedRecord& r = records[i];
      return chinese ? zh.substr(r.ZhOffset, r.ZhLength) : en.substr(r.EnOffset, r.EnLength);
    };
  };
  TTrigramIndexBytes enIndex, zhIndex;
  if (writer && writer->BothSides) {
    // The English side costs some three times the Chinese: the other thread
    // builds the Chinese and the English lines past `half`, this one those
    // before. It may not call `poll`: it stops when this one does.
    std::uint64_t work = zh.size() / 2;
    for (const TCachedRecord& r : records) work += r.EnLength;
    std::size_t half = 0;
    for (std::uint64_t mine = 0; half < records.size() && mine < work / 2; ++half) mine += records[half].EnLength;
    std::atomic<bool> abandon{false};
    auto other = std::async(std::launch::async, [&] {
      const std::function<void()> stop = [&] {
        if (abandon) throw EAbort();
      };
      std::pair<TTrigramIndexBytes, TTrigramIndexBytes> built;
      built.first = BuildTrigramIndex(records.size(), line(true), stop, &writer->Zh);
      built.second = BuildTrigramIndexPart(half, records.size(), line(false), stop, &writer->Zh);
      return built;
    });
    std::vector<TTrigramIndexBytes> parts(2);
    try {
      parts[0] = BuildTrigramIndexPart(0, half, line(false), poll, &writer->En);
      while (other.wait_for(std::chrono::milliseconds(2)) != std::future_status::ready)
        if (poll) poll();
    } catch (...) {
      abandon = true;
      throw;  // once the other thread has stopped: the future waits for it
    }
    auto built = other.get();
    zhIndex = std::move(built.first);
    parts[1] = std::move(built.second);
    enIndex = JoinTrigramIndexes(parts, poll);
  } else {
    enIndex = BuildTrigramIndex(records.size(), line(false), poll, writer ? &writer->En : nullptr);
    zhIndex = BuildTrigramIndex(records.size(), line(true), poll, writer ? &writer->En : nullptr);
  }
  const std::string enFolds = FoldLines(en, records, false), zhFolds = FoldLines(zh, records, true);
  const std::string_view blocks[TBlock::Count] = {
      key.Bytes,
      en,
      zh,
      std::string_view(reinterpret_cast<const char*>(records.data()), records.size() * sizeof(TCachedRecord)),
      enIndex.Directory,
      enIndex.Postings,
      zhIndex.Directory,
      zhIndex.Postings,
      enFolds,
      zhFolds};

  std::string header(kHeaderBytes + kTableBytes, '\0');
  std::memcpy(header.data(), kMagic, sizeof kMagic);
  Store<std::uint32_t>(header, 8, kVersion);
  Store<std::uint32_t>(header, 12, TBlock::Count);
  Store<std::uint64_t>(header, 16, records.size());
  std::uint64_t offset = header.size();
  for (std::uint32_t b = 0; b < TBlock::Count; ++b) {
    offset = (offset + kAlign - 1) / kAlign * kAlign;
    const std::size_t at = kHeaderBytes + b * kBlockEntryBytes;
    Store<std::uint32_t>(header, at, b);
    Store<std::uint64_t>(header, at + 8, offset);
    Store<std::uint64_t>(header, at + 16, blocks[b].size());
    Store<std::uint64_t>(header, at + 24, XXH3_64bits(blocks[b].data(), blocks[b].size()));
    offset += blocks[b].size();
  }
  Store<std::uint64_t>(header, 24, HeaderChecksum(header));

  if (!tables::MakeFolders(dir)) ThrowCannotWrite(dir, errno);
  std::string temp = dir + "/" + key.FileName + ".XXXXXX.tmp";
  TFd file;
  file.fd = mkostemps(temp.data(), 4, O_CLOEXEC);
  if (file.fd < 0) ThrowCannotWrite(dir, errno);
  struct Unlink {
    const std::string& path;
    bool done = false;
    ~Unlink() {
      if (!done) unlink(path.c_str());
    }
  } cleanup{temp};
  std::uint64_t written = 0;
  auto write = [&](std::string_view part) {
    while (!part.empty()) {
      if (poll) poll();
      const ssize_t n = ::write(file.fd, part.data(), std::min<std::size_t>(part.size(), 64u << 20));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) ThrowCannotWrite(dir, n < 0 ? errno : ENOSPC);
      part.remove_prefix(static_cast<std::size_t>(n));
      written += static_cast<std::uint64_t>(n);
    }
  };
  write(header);
  static const char zeros[kAlign] = {};
  for (const std::string_view block : blocks) {
    write(std::string_view(zeros, (kAlign - written % kAlign) % kAlign));
    write(block);
  }
  const std::string path = dir + "/" + key.FileName;
  if (fchmod(file.fd, 0600) != 0 || rename(temp.c_str(), path.c_str()) != 0) ThrowCannotWrite(dir, errno);
  cleanup.done = true;

  // The mapping is of the file this call wrote, whatever has since been
  // renamed onto its name, and the folder is private: its bytes are those
  // just checksummed.
  void* map = mmap(nullptr, written, PROT_READ, MAP_SHARED, file.fd, 0);
  if (map == MAP_FAILED) return nullptr;
  const auto size = static_cast<std::size_t>(written);
  std::shared_ptr<const void> owner(map, [size](const void* p) { munmap(const_cast<void*>(p), size); });
  auto cached = TCachedCorpus::Parse(std::string_view(static_cast<const char*>(map), size), key.Bytes,
                                     std::move(owner), false, true);
  // Too new to stamp: an empty stamp marks it as used.
  if (cached) WriteStamp(path + kStampSuffix, "");
  return cached;
}

namespace cache_format {
std::optional<std::pair<std::uint64_t, std::uint64_t>> BlockRange(std::string_view file, TBlock block) {
  const std::size_t at = kHeaderBytes + block * kBlockEntryBytes;
  if (file.size() < at + kBlockEntryBytes) return std::nullopt;
  return std::make_pair(Load<std::uint64_t>(file, at + 8), Load<std::uint64_t>(file, at + 16));
}
}  // namespace cache_format

}  // namespace korvel
