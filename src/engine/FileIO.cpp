#include "FileIO.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "BigMemory.h"
#include "Errors.h"
#include "TextDecode.h"

namespace korvel {

[[noreturn]] void ThrowCannotOpen(const std::string& path, int err) {
  throw EKorvel("Cannot open file \"" + DisplayPath(path) + "\". " + std::strerror(err));
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, int err) {
  throw EKorvel("Cannot create file \"" + DisplayPath(path) + "\". " + std::strerror(err));
}

[[noreturn]] void ThrowListIndex(long long index) {
  throw EKorvel("List index out of bounds (" + std::to_string(index) + ")");
}

std::string WithFullStop(std::string message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') message += '.';
  return message;
}

const std::string& ExeDir() {
  static const std::string dir = [] {
    std::vector<char> buf(PATH_MAX + 1);
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    std::string path = n > 0 ? std::string(buf.data(), static_cast<std::size_t>(n)) : std::string();
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
  }();
  return dir;
}

namespace {

struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

bool WriteAll(int fd, std::string_view content) {
  const char* p = content.data();
  std::size_t left = content.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

// The number after `key` in a /proc file of "key value" lines, or -1.
long long ProcNumber(const char* file, std::string_view key) {
  char text[8192];
  Fd in;
  in.fd = open(file, O_RDONLY | O_CLOEXEC);
  ssize_t n = in.fd < 0 ? -1 : read(in.fd, text, sizeof text - 1);
  if (n <= 0) return -1;
  text[n] = '\0';
  const std::string_view all(text, static_cast<std::size_t>(n));
  const std::size_t at = all.find(key);
  if (at == std::string_view::npos) return -1;
  return std::strtoll(text + at + key.size(), nullptr, 10);
}

// How much is read from a file past the size it states (a pipe, a device
// and a /proc file state none): 4 GiB, and at most half of the memory
// available and half of the address space a limit leaves, so that endless
// input ends in a message before the machine runs short.
std::size_t UnstatedReadLimit() {
  std::size_t limit = std::size_t{4} << 30;
  if (const long long kb = ProcNumber("/proc/meminfo", "MemAvailable:"); kb >= 0)
    limit = std::min(limit, static_cast<std::size_t>(kb) * 1024 / 2);
  rlimit space{};
  if (getrlimit(RLIMIT_AS, &space) == 0 && space.rlim_cur != RLIM_INFINITY) {
    const long long pages = ProcNumber("/proc/self/statm", "");
    const std::size_t used = pages > 0 ? static_cast<std::size_t>(pages) * static_cast<std::size_t>(getpagesize()) : 0;
    limit = std::min(limit, space.rlim_cur > used ? (space.rlim_cur - used) / 2 : 0);
  }
  return limit;
}

struct FreeBytes {
  void operator()(char* p) const { std::free(p); }
};

// Bytes from malloc: growing them remaps pages instead of copying, and
// nothing is zero-filled ahead of the read.
struct TReadBytes {
  std::unique_ptr<char, FreeBytes> data;
  std::size_t size = 0;
  std::string_view View() const { return {data.get(), size}; }
};

// The rest of an open file, as bytes.
TReadBytes ReadAll(int fd, const struct stat& st, const std::string& path) {
  const std::size_t stated = S_ISREG(st.st_mode) ? static_cast<std::size_t>(st.st_size) : 0;
  std::size_t limit = SIZE_MAX;  // taken once reading goes past the stated size
  TReadBytes bytes;
  std::size_t capacity = 0;
  for (;;) {
    if (bytes.size == capacity) {
      if (capacity > stated && limit == SIZE_MAX) limit = std::max(stated, UnstatedReadLimit());
      if (capacity > limit) ThrowCannotOpen(path, EFBIG);
      // One byte past the stated size, so a file that has not grown ends
      // in a single read.
      capacity = std::max<std::size_t>(capacity == 0 ? stated + 1 : std::min(2 * capacity, limit + 1), 1 << 16);
      char* grown = static_cast<char*>(std::realloc(bytes.data.get(), capacity));
      if (!grown) throw std::bad_alloc();
      bytes.data.release();
      bytes.data.reset(grown);
    }
    const ssize_t n = read(fd, bytes.data.get() + bytes.size, capacity - bytes.size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowCannotOpen(path, errno);
    if (n == 0) return bytes;
    bytes.size += static_cast<std::size_t>(n);
  }
}

// Opens a file for reading; folders are refused like unreadable files.
int OpenForReading(const std::string& path, struct stat& st) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) ThrowCannotOpen(path, errno);
  int err = fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  if (err) {
    close(fd);
    ThrowCannotOpen(path, err);
  }
  return fd;
}

}  // namespace

std::string ReadFileBytes(const std::string& path) {
  struct stat st {};
  Fd file;
  file.fd = OpenForReading(path, st);
  return std::string(ReadAll(file.fd, st, path).View());
}

std::string ReadTextFile(const std::string& path) { return DecodeText(ReadFileBytes(path)); }

TTextArena::TTextArena(std::size_t bytes) : data_(static_cast<char*>(AllocateBig(bytes))), size_(bytes) {}

TTextArena::~TTextArena() { FreeBig(data_, size_); }

char* TTextArena::Take(std::size_t bytes) {
  std::size_t at = used_.load(std::memory_order_relaxed);
  do {
    if (bytes > size_ - at) return nullptr;
  } while (!used_.compare_exchange_weak(at, at + bytes, std::memory_order_relaxed));
  return data_ + at;
}

namespace {

// Up to `capacity` bytes from the file: it may have shrunk since its size
// was taken.
std::size_t ReadInto(int fd, char* out, std::size_t capacity, const std::string& path) {
  std::size_t have = 0;
  while (have < capacity) {
    const ssize_t n = read(fd, out + have, capacity - have);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowCannotOpen(path, errno);
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  return have;
}

}  // namespace

// The text is copied, not mapped: a first touch of mapped page cache costs a
// fault per 4 KiB page, the copy into huge pages one per 2 MiB, and on a
// virtual machine with shadow page tables the faults are what loading
// costs. A copy also means that a file another program truncates or
// rewrites after loading changes nothing here.
THeldText THeldText::Read(const std::string& path, const std::shared_ptr<TTextArena>& arena) {
  struct stat st {};
  Fd file;
  file.fd = OpenForReading(path, st);

  const auto fileSize = static_cast<std::size_t>(st.st_size);
  char* room = S_ISREG(st.st_mode) && arena ? arena->Take(fileSize) : nullptr;
  if (room) {
    const std::string_view bytes(room, ReadInto(file.fd, room, fileSize, path));
    char extra;
    // A file grown since it was measured is read whole, elsewhere.
    if (bytes.size() < fileSize || ReadInto(file.fd, &extra, 1, path) == 0) return Hold(bytes, arena);
    if (lseek(file.fd, 0, SEEK_SET) != 0) ThrowCannotOpen(path, errno);
  }
  auto bytes = std::make_shared<const TReadBytes>(ReadAll(file.fd, st, path));
  return Hold(bytes->View(), bytes);
}

THeldText THeldText::Hold(std::string_view bytes, std::shared_ptr<const void> owner) {
  THeldText held;
  if (IsPlainUtf8(bytes)) {
    held.text_ = bytes;
    held.owner_ = std::move(owner);
  } else {
    auto decoded = std::make_shared<const std::string>(DecodeText(std::string(bytes)));
    held.text_ = *decoded;
    held.owner_ = std::move(decoded);
  }
  return held;
}

namespace {

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view content) {
  if (path.empty()) ThrowCannotCreate(path, ENOENT);
  std::string target = path;
  // Follow links so the real file is replaced, not the link.
  if (char* real = realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat st {};
  bool exists = stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) ThrowCannotCreate(path, EISDIR);

  if (exists && !S_ISREG(st.st_mode)) {
    Fd out;
    out.fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (out.fd < 0 || !WriteAll(out.fd, content)) ThrowCannotCreate(path, errno);
    return;
  }

  std::size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = dir + "." + name + ".XXXXXX";
  Fd out;
  out.fd = mkostemp(temp.data(), O_CLOEXEC);
  if (out.fd < 0) ThrowCannotCreate(path, errno);
  mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
  if (!WriteAll(out.fd, content) || fchmod(out.fd, mode) != 0 || fsync(out.fd) != 0) {
    int err = errno;
    unlink(temp.c_str());
    ThrowCannotCreate(path, err);
  }
  int fd = out.fd;
  out.fd = -1;
  if (close(fd) != 0 || rename(temp.c_str(), target.c_str()) != 0) {
    int err = errno;
    unlink(temp.c_str());
    ThrowCannotCreate(path, err);
  }
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string_view FileNamePart(std::string_view path) {
  std::size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string DisplayPath(std::string_view path) { return SanitizeUtf8(path); }

}  // namespace korvel
