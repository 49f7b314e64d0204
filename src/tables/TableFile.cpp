#include "TableFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <xxhash.h>

namespace korvel::tables {

namespace {

constexpr char kMagic[8] = {'K', 'R', 'V', 'L', 'T', 'B', 'L', '\n'};
constexpr std::uint32_t kByteOrder = 0x01020304;
// Enough of the source to tell an edit from a touch without reading it all.
constexpr std::size_t kHeadBytes = 16 * 1024;

struct Header {
  char magic[8];
  std::uint32_t byteOrder;
  std::uint32_t tag;
  std::uint32_t version;
  std::uint32_t headerSize;
  std::uint64_t sourceSize;
  std::int64_t sourceMtimeNs;
  std::uint64_t sourceHeadHash;
  std::uint64_t sourceHash;
  std::uint64_t payloadSize;
  std::uint64_t payloadHash;
  std::uint64_t headerHash;  // of every field above
};
static_assert(sizeof(Header) % 8 == 0, "the payload starts 8-byte aligned");

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

struct Mapping {
  void* data = MAP_FAILED;
  std::size_t size = 0;
  ~Mapping() {
    if (data != MAP_FAILED) munmap(data, size);
  }
};

// What a table records of its source.
struct Stamp {
  std::uint64_t size = 0;
  std::int64_t mtimeNs = 0;
  std::uint64_t headHash = 0;
};

std::int64_t MtimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool ReadAll(int fd, char* out, std::size_t size, off_t at) {
  while (size > 0) {
    const ssize_t n = pread(fd, out, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    out += n;
    size -= static_cast<std::size_t>(n);
    at += n;
  }
  return true;
}

// The source's bytes, whole, with the stamp taken before reading them: an
// edit during the read shows as a changed mtime next time.
std::optional<std::string> ReadSource(const std::string& path, Stamp& stamp) {
  Fd f;
  f.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (f.fd < 0 || fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
  if (!ReadAll(f.fd, bytes.data(), bytes.size(), 0)) return std::nullopt;
  stamp = {bytes.size(), MtimeNs(st), Hash(std::string_view(bytes).substr(0, kHeadBytes))};
  return bytes;
}

std::optional<Stamp> StampOf(const std::string& path) {
  Fd f;
  f.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (f.fd < 0 || fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  std::string head(std::min<std::size_t>(kHeadBytes, static_cast<std::size_t>(st.st_size)), '\0');
  if (!ReadAll(f.fd, head.data(), head.size(), 0)) return std::nullopt;
  return Stamp{static_cast<std::uint64_t>(st.st_size), MtimeNs(st), Hash(head)};
}

std::string MakeFile(const TTableKind& kind, const Stamp& stamp, std::uint64_t sourceHash, std::string_view payload) {
  Header h{};
  std::memcpy(h.magic, kMagic, sizeof kMagic);
  h.byteOrder = kByteOrder;
  h.tag = kind.tag;
  h.version = kind.version;
  h.headerSize = sizeof(Header);
  h.sourceSize = stamp.size;
  h.sourceMtimeNs = stamp.mtimeNs;
  h.sourceHeadHash = stamp.headHash;
  h.sourceHash = sourceHash;
  h.payloadSize = payload.size();
  h.payloadHash = Hash(payload);
  h.headerHash = XXH3_64bits(&h, offsetof(Header, headerHash));
  std::string file(reinterpret_cast<const char*>(&h), sizeof h);
  file.append(payload);
  return file;
}

// The table at `path` when every check passes and it was made from the
// source as it is now.
TTable OpenTable(const std::string& path, const std::string& source, const TTableKind& kind, const Stamp& stamp) {
  Fd f;
  f.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (f.fd < 0 || fstat(f.fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uint64_t>(st.st_size) < sizeof(Header))
    return {};
  auto map = std::make_shared<Mapping>();
  map->size = static_cast<std::size_t>(st.st_size);
  map->data = mmap(nullptr, map->size, PROT_READ, MAP_PRIVATE, f.fd, 0);
  if (map->data == MAP_FAILED) return {};
  Header h;
  std::memcpy(&h, map->data, sizeof h);
  if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.byteOrder != kByteOrder || h.tag != kind.tag ||
      h.version != kind.version || h.headerSize != sizeof(Header) ||
      h.headerHash != XXH3_64bits(&h, offsetof(Header, headerHash)) ||
      h.payloadSize != map->size - sizeof(Header) || h.sourceSize != stamp.size ||
      h.sourceHeadHash != stamp.headHash)
    return {};
  if (h.sourceMtimeNs != stamp.mtimeNs) {
    // Touched or copied without its times: the same text is still the same.
    Stamp now;
    const std::optional<std::string> bytes = ReadSource(source, now);
    if (!bytes || Hash(*bytes) != h.sourceHash) return {};
  }
  const std::string_view payload(static_cast<const char*>(map->data) + sizeof(Header), h.payloadSize);
  if (Hash(payload) != h.payloadHash) return {};
  return {map, payload};
}

// Written under a temporary name and renamed: a reader sees the old table,
// the new one or none, never half of one; of two writers one wins whole.
bool WriteAtomically(const std::string& path, std::string_view bytes, mode_t mode) {
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, std::max<std::size_t>(slash, 1));
  if (!MakeFolders(dir)) return false;
  std::string temp = path + ".XXXXXX";
  Fd f;
  f.fd = mkostemp(temp.data(), O_CLOEXEC);  // 0600
  if (f.fd < 0) return false;
  bool ok = mode == 0600 || fchmod(f.fd, mode) == 0;
  for (std::size_t at = 0; ok && at < bytes.size();) {
    const ssize_t n = write(f.fd, bytes.data() + at, bytes.size() - at);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) at += static_cast<std::size_t>(n);
  }
  ok = close(f.fd) == 0 && ok;
  f.fd = -1;
  if (ok && rename(temp.c_str(), path.c_str()) == 0) return true;
  unlink(temp.c_str());
  return false;
}

}  // namespace

std::uint64_t Hash(std::string_view bytes) { return XXH3_64bits(bytes.data(), bytes.size()); }

std::string CachePath(const std::string& source, const TTableKind& kind) {
  std::string base;
  if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/')
    base = xdg;
  else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
    base = std::string(home) + "/.cache";
  else
    return "";
  char* real = realpath(source.c_str(), nullptr);
  const std::string key = real ? real : source;
  std::free(real);
  const std::size_t slash = key.rfind('/');
  std::string name = slash == std::string::npos ? key : key.substr(slash + 1);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(Hash(key)));
  return base + "/korvel/" + kind.cacheFolder + "/" + hex + "-" + name + ".bin";
}

bool OpenOrParse(const std::string& source, const std::string& beside, const TTableKind& kind,
                 const TParseFn& parse, const TAdoptFn& adopt) {
  const std::optional<Stamp> stamp = StampOf(source);
  if (!stamp) return false;
  if (!beside.empty())
    if (TTable t = OpenTable(beside, source, kind, *stamp); t && adopt(std::move(t))) return true;
  const std::string cache = stamp->size >= kind.minCachedBytes ? CachePath(source, kind) : std::string();
  if (!cache.empty())
    if (TTable t = OpenTable(cache, source, kind, *stamp); t && adopt(std::move(t))) return true;

  Stamp now;
  const std::optional<std::string> bytes = ReadSource(source, now);
  if (!bytes) return false;
  std::optional<std::string> payload = parse(*bytes);
  if (!payload) return false;
  // An unwritable cache only means parsing again next time.
  if (!cache.empty()) WriteAtomically(cache, MakeFile(kind, now, Hash(*bytes), *payload), 0600);
  auto owned = std::make_shared<std::string>(std::move(*payload));
  return adopt({owned, *owned});
}

bool WriteTableFile(const std::string& source, const std::string& out, const TTableKind& kind,
                    const TParseFn& parse) {
  Stamp stamp;
  const std::optional<std::string> bytes = ReadSource(source, stamp);
  if (!bytes) {
    std::fprintf(stderr, "Cannot read %s\n", source.c_str());
    return false;
  }
  const std::optional<std::string> payload = parse(*bytes);
  if (!payload) {
    std::fprintf(stderr, "%s is malformed\n", source.c_str());
    return false;
  }
  if (!WriteAtomically(out, MakeFile(kind, stamp, Hash(*bytes), *payload), 0644)) {
    std::fprintf(stderr, "Cannot write %s\n", out.c_str());
    return false;
  }
  return true;
}

bool MakeFolders(const std::string& dir) {
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  const std::size_t slash = dir.rfind('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(dir.substr(0, slash))) return false;
  return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

}  // namespace korvel::tables
