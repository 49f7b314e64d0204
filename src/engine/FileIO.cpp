#include "FileIO.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <vector>

#include "BigMemory.h"
#include "Errors.h"
#include "TextDecode.h"

namespace korvel {

[[noreturn]] void ThrowCannotOpen(const std::string& path, int err) {
  throw EKorvel(TMessage{"Cannot open file \"%1\". %2", {DisplayPath(path), std::strerror(err)}});
}

[[noreturn]] void ThrowCannotCreate(const std::string& path, int err) {
  throw EKorvel(TMessage{"Cannot create file \"%1\". %2", {DisplayPath(path), std::strerror(err)}});
}

[[noreturn]] void ThrowListIndex(long long index, std::string detail) {
  throw EKorvel(TMessage{"List index out of bounds (%1)", {std::to_string(index)}}, std::move(detail));
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

// Reads stop this often for a poll, so a cancel need not wait for a whole
// file on a busy machine.
constexpr std::size_t kReadChunk = 8u << 20;

// The rest of an open file, as bytes.
TReadBytes ReadAll(int fd, const struct stat& st, const std::string& path, const std::function<void()>& poll = {}) {
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
    if (poll) poll();
    const ssize_t n = read(fd, bytes.data.get() + bytes.size, std::min(capacity - bytes.size, kReadChunk));
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

std::size_t CountTextLines(const std::string& path, const std::function<void()>& poll) {
  struct stat st {};
  Fd file;
  file.fd = OpenForReading(path, st);
  std::vector<char> part(1u << 20);
  TLineCounter counter;
  for (;;) {
    if (poll) poll();
    const ssize_t n = read(file.fd, part.data(), part.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowCannotOpen(path, errno);
    if (n == 0) return counter.Lines();
    counter.Add(std::string_view(part.data(), static_cast<std::size_t>(n)));
  }
}

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
std::size_t ReadInto(int fd, char* out, std::size_t capacity, const std::string& path,
                     const std::function<void()>& poll = {}) {
  std::size_t have = 0;
  while (have < capacity) {
    if (poll) poll();
    const ssize_t n = read(fd, out + have, std::min(capacity - have, kReadChunk));
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
THeldText THeldText::Read(const std::string& path, const std::shared_ptr<TTextArena>& arena,
                          const std::function<void()>& poll) {
  struct stat st {};
  Fd file;
  file.fd = OpenForReading(path, st);

  const auto fileSize = static_cast<std::size_t>(st.st_size);
  char* room = S_ISREG(st.st_mode) && arena ? arena->Take(fileSize) : nullptr;
  if (room) {
    const std::string_view bytes(room, ReadInto(file.fd, room, fileSize, path, poll));
    char extra;
    // A file grown since it was measured is read whole, elsewhere.
    if (bytes.size() < fileSize || ReadInto(file.fd, &extra, 1, path) == 0) return Hold(bytes, arena);
    if (lseek(file.fd, 0, SEEK_SET) != 0) ThrowCannotOpen(path, errno);
  }
  auto bytes = std::make_shared<const TReadBytes>(ReadAll(file.fd, st, path, poll));
  return Hold(bytes->View(), bytes);
}

THeldText THeldText::Own(std::string text) {
  auto owned = std::make_shared<const std::string>(std::move(text));
  THeldText held;
  held.text_ = *owned;
  held.owner_ = std::move(owned);
  return held;
}

THeldText THeldText::View(std::string_view text, std::shared_ptr<const void> owner) {
  THeldText held;
  held.text_ = text;
  held.owner_ = std::move(owner);
  return held;
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

// ---- Writing ---------------------------------------------------------------

// Temporary names: short and fixed, so a target name of 255 bytes still
// has room beside it, and known, so that leftovers can be recognised.
constexpr std::string_view kTempPrefix = ".korvel-tmp.";
constexpr std::size_t kTempRandom = 6;

timespec Now() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return t;
}
const timespec kRunStart = Now();

std::string TempName(const std::string& folder) {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t x = (counter.fetch_add(1) << 40) ^ (static_cast<std::uint64_t>(getpid()) << 20) ^
                    static_cast<std::uint64_t>(Now().tv_nsec);
  x = (x ^ (x >> 31)) * 0x9E3779B97F4A7C15ull;
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string name = folder + std::string(kTempPrefix);
  for (std::size_t i = 0; i < kTempRandom; ++i, x /= 62) name += kLetters[x % 62];
  return name;
}

bool IsTempName(std::string_view name) {
  return name.size() == kTempPrefix.size() + kTempRandom && name.substr(0, kTempPrefix.size()) == kTempPrefix &&
         std::all_of(name.begin() + kTempPrefix.size(), name.end(), [](char c) {
           return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
         });
}

// Where a symbolic link points, as a path usable from here.
bool ReadLink(std::string& path) {
  std::vector<char> buf(PATH_MAX + 1);
  const ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
  if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return false;
  const std::string target(buf.data(), static_cast<std::size_t>(n));
  const std::size_t slash = path.rfind('/');
  path = target[0] == '/' || slash == std::string::npos ? target : path.substr(0, slash + 1) + target;
  return true;
}

bool AllDigits(std::string_view s) {
  return !s.empty() && s.size() < 10 && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The descriptor a path names when it is one of this process's own
// (/dev/stdout, /dev/fd/N, /proc/self/fd/N and links to them), else -1.
// Such a path is what the shell opened for us: reopening or renaming it
// would undo a redirection, ">>" included.
int OwnDescriptor(std::string path) {
  const std::string self = "/proc/" + std::to_string(getpid());
  for (int hops = 0; hops <= 40; ++hops) {
    const std::size_t slash = path.rfind('/');
    if (slash != std::string::npos && AllDigits(std::string_view(path).substr(slash + 1))) {
      if (char* real = realpath(slash == 0 ? "/" : path.substr(0, slash).c_str(), nullptr)) {
        const std::string folder = real;
        std::free(real);
        if (folder == self + "/fd") {
          const int fd = std::atoi(path.c_str() + slash + 1);
          return fcntl(fd, F_GETFD) == -1 ? -1 : fd;
        }
      }
    }
    if (!ReadLink(path)) return -1;
  }
  return -1;
}

// The name a path finally stands for, links followed; a link whose target
// is missing gives that target. `st` describes what is there (st_mode 0:
// nothing).
std::string FollowLinks(const std::string& path, struct stat& st) {
  std::string name = path;
  for (int hops = 0;; ++hops) {
    if (lstat(name.c_str(), &st) != 0) {
      if (errno != ENOENT) ThrowCannotCreate(path, errno);
      st = {};
      return name;
    }
    if (!S_ISLNK(st.st_mode)) return name;
    if (hops == 40) ThrowCannotCreate(path, ELOOP);
    if (!ReadLink(name)) ThrowCannotCreate(path, errno);
  }
}

// Temporary files with names, which a stop by SIGINT or SIGTERM removes.
struct TPendingName {
  std::atomic<bool> used{false};
  char path[PATH_MAX];
};
TPendingName gPending[8];
std::mutex gPendingMutex;
int gPendingUsers = 0;
constexpr int kStopSignals[] = {SIGINT, SIGTERM};
struct sigaction gBefore[2];
bool gHandled[2];

// Installed with SA_RESETHAND: the signal raised again ends the process.
extern "C" void RemovePendingNames(int sig) {
  for (TPendingName& p : gPending)
    if (p.used.load(std::memory_order_acquire)) unlink(p.path);
  raise(sig);
}

void UsePendingHandler() {
  if (gPendingUsers++ > 0) return;
  for (int i = 0; i < 2; ++i) {
    // A signal that is ignored or handled does not end the process: the
    // write then finishes or cleans up after itself.
    gHandled[i] = sigaction(kStopSignals[i], nullptr, &gBefore[i]) == 0 && !(gBefore[i].sa_flags & SA_SIGINFO) &&
                  gBefore[i].sa_handler == SIG_DFL;
    if (!gHandled[i]) continue;
    struct sigaction remove {};
    remove.sa_handler = RemovePendingNames;
    remove.sa_flags = SA_RESETHAND;
    sigemptyset(&remove.sa_mask);
    sigaction(kStopSignals[i], &remove, nullptr);
  }
}

void ReleasePendingHandler() {
  if (--gPendingUsers > 0) return;
  for (int i = 0; i < 2; ++i) {
    struct sigaction now {};
    if (gHandled[i] && sigaction(kStopSignals[i], nullptr, &now) == 0 && now.sa_handler == RemovePendingNames)
      sigaction(kStopSignals[i], &gBefore[i], nullptr);
  }
}

// Removes leftovers of runs stopped where no handler runs (kill -9, a
// crash) while writing through a named temporary file: names of ours,
// owned by this user, older than this run and not locked by a writer.
void SweepLeftovers(const std::string& folder) {
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (!dir) return;
  const uid_t me = geteuid();
  while (const dirent* entry = readdir(dir)) {
    if (!IsTempName(entry->d_name)) continue;
    Fd file;
    file.fd = openat(dirfd(dir), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (file.fd < 0 || fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != me) continue;
    const bool older = st.st_mtim.tv_sec < kRunStart.tv_sec ||
                       (st.st_mtim.tv_sec == kRunStart.tv_sec && st.st_mtim.tv_nsec < kRunStart.tv_nsec);
    if (older && flock(file.fd, LOCK_EX | LOCK_NB) == 0) unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

// Gives the unnamed file `fd` the name `name`.
bool LinkUnnamed(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
  const int err = errno;  // without /proc, only a privileged process links by descriptor
  if (err == ENOENT && linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) return true;
  errno = err;
  return false;
}

// The file a replacement is written to, in the target's folder. Unnamed
// (O_TMPFILE) where the file system allows, so that a stop at any moment
// leaves nothing; else named, removed on failure, on SIGINT and SIGTERM,
// and by a later run after anything harder. Locked while alive.
class TTempFile {
 public:
  TTempFile(const std::string& folder, mode_t mode) : folder_(folder) {
    SweepLeftovers(folder);
    fd_ = open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) CreateNamed(mode);
    error_ = errno;
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~TTempFile() {
    if (fd_ >= 0) close(fd_);
    if (!name_.empty()) unlink(name_.c_str());
    if (slot_ >= 0) gPending[slot_].used.store(false, std::memory_order_release);
    if (registered_) {
      std::lock_guard<std::mutex> lock(gPendingMutex);
      ReleasePendingHandler();
    }
  }
  TTempFile(const TTempFile&) = delete;
  TTempFile& operator=(const TTempFile&) = delete;

  int Fd() const { return fd_; }
  int Error() const { return error_; }

  // Puts the complete file in place of `target`; false with errno set.
  bool MoveTo(const std::string& target, bool targetExists) {
    if (fsync(fd_) != 0) return false;
    if (name_.empty()) {
      if (!targetExists && LinkUnnamed(fd_, target)) return true;
      if (!targetExists && errno != EEXIST) return false;
      for (int tries = 0; name_.empty(); ++tries) {
        std::string name = TempName(folder_);
        if (LinkUnnamed(fd_, name)) name_ = name;
        else if (errno != EEXIST || tries == 100) return false;
      }
    }
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0 || rename(name_.c_str(), target.c_str()) != 0) return false;
    name_.clear();
    return true;
  }

 private:
  void CreateNamed(mode_t mode) {
    std::lock_guard<std::mutex> lock(gPendingMutex);
    UsePendingHandler();
    registered_ = true;
    for (int i = 0; i < 8 && slot_ < 0; ++i)
      if (!gPending[i].used.load(std::memory_order_relaxed)) slot_ = i;
    // Each name is registered before it exists, so that no stop falls
    // between creating and registering it (a stop may come on any thread).
    for (int tries = 0; tries < 100 && fd_ < 0; ++tries) {
      const std::string name = TempName(folder_);
      const bool registered = slot_ >= 0 && name.size() < PATH_MAX;
      if (registered) {
        std::memcpy(gPending[slot_].path, name.c_str(), name.size() + 1);
        gPending[slot_].used.store(true, std::memory_order_release);
      }
      fd_ = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
      if (fd_ >= 0) {
        name_ = name;
        break;
      }
      const int err = errno;
      if (registered) gPending[slot_].used.store(false, std::memory_order_release);
      errno = err;
      if (err != EEXIST) break;
    }
  }

  std::string folder_;
  std::string name_;  // the file's name while it has one
  int fd_ = -1;
  int error_ = 0;
  int slot_ = -1;
  bool registered_ = false;
};

// Writes over the file where it is, as the shell's ">" would: devices,
// pipes, and regular files that replacing would change otherwise than in
// content. A regular file gets its room first, so that a full disk is
// found before it is touched.
void WriteInPlace(const std::string& path, const std::string& target, std::string_view content, bool regular) {
  Fd out;
  out.fd = open(target.c_str(), O_WRONLY | O_CLOEXEC | (regular ? 0 : O_TRUNC));
  if (out.fd < 0) ThrowCannotCreate(path, errno);
  if (regular && !content.empty() &&
      fallocate(out.fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(content.size())) != 0 &&
      (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
    ThrowCannotCreate(path, errno);
  if (!WriteAll(out.fd, content) || (regular && ftruncate(out.fd, static_cast<off_t>(content.size())) != 0))
    ThrowCannotCreate(path, errno);
}

}  // namespace

namespace {

// Bytes straight into a descriptor, a megabyte at a time.
class TFdOutput : public TOutput {
 public:
  TFdOutput(int fd, const std::string& path) : TOutput(1 << 20), fd_(fd), path_(path) {}
  void Finish() { Flush(); }

 private:
  void Write(std::string_view bytes) override {
    if (!WriteAll(fd_, bytes)) ThrowCannotCreate(path_, errno);
  }
  int fd_;
  const std::string& path_;
};

}  // namespace

void WriteFileReplacing(const std::string& path, std::string_view content) {
  WriteFileReplacing(path, [content](TOutput& out) { out.Append(content); });
}

void WriteFileReplacing(const std::string& path, const std::function<void(TOutput&)>& produce) {
  // What is written in place is made whole first, so that a failure to
  // make it leaves the target untouched.
  auto whole = [&produce] {
    TStringOutput out;
    produce(out);
    return out.Take();
  };
  if (path.empty()) ThrowCannotCreate(path, ENOENT);
  if (const int fd = OwnDescriptor(path); fd >= 0) {
    if (!WriteAll(fd, whole())) ThrowCannotCreate(path, errno);
    return;
  }
  if (path.back() == '/') ThrowCannotCreate(path, EISDIR);
  struct stat st {};
  const std::string target = FollowLinks(path, st);
  const bool exists = st.st_mode != 0;
  if (S_ISDIR(st.st_mode)) ThrowCannotCreate(path, EISDIR);
  if (exists && !S_ISREG(st.st_mode)) return WriteInPlace(path, target, whole(), false);
  const uid_t me = geteuid();
  if (exists) {
    // Write protection holds as it does for the shell, also where the
    // folder would allow a rename.
    if (faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) ThrowCannotCreate(path, errno);
    // A rename would split a hard link, or give another user's file to
    // the writer.
    if (st.st_nlink > 1 || (st.st_uid != me && me != 0)) return WriteInPlace(path, target, whole(), true);
  }

  const std::size_t slash = target.rfind('/');
  TTempFile temp(slash == std::string::npos ? std::string() : target.substr(0, slash + 1), exists ? 0600 : 0666);
  if (temp.Fd() < 0) ThrowCannotCreate(path, temp.Error());
  if (exists && (st.st_uid != me || st.st_gid != getegid()) && fchown(temp.Fd(), st.st_uid, st.st_gid) != 0)
    return WriteInPlace(path, target, whole(), true);  // a group the writer is not in
  if (exists && fchmod(temp.Fd(), st.st_mode & 07777) != 0) ThrowCannotCreate(path, errno);
  // The replacement grows in the unnamed file as it is made: a failure or
  // a cancel on the way leaves nothing.
  TFdOutput out(temp.Fd(), path);
  produce(out);
  out.Finish();
  if (!temp.MoveTo(target, exists)) ThrowCannotCreate(path, errno);
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
