#include "FileIO.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

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

mode_t CurrentUmask() {
  mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

namespace {

// The rest of an open file, as bytes.
std::string ReadAll(int fd, const struct stat& st, const std::string& path) {
  std::string bytes;
  if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size) + 1);
  for (;;) {
    std::size_t have = bytes.size();
    if (have == bytes.capacity()) bytes.reserve(have < (1u << 20) ? (1u << 20) : 2 * have);
    bytes.resize(bytes.capacity());
    ssize_t n = read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0 && errno == EINTR) {
      bytes.resize(have);
      continue;
    }
    if (n < 0) ThrowCannotOpen(path, errno);
    bytes.resize(have + static_cast<std::size_t>(n));
    if (n == 0) break;
  }
  return bytes;
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
  return ReadAll(file.fd, st, path);
}

std::string ReadTextFile(const std::string& path) { return DecodeText(ReadFileBytes(path)); }

namespace {

// Large plain UTF-8 files are mapped rather than read: in memory that is
// new to the process every page costs a fault and a clearing, which makes
// reading a big corpus several times slower than mapping the page cache.
// A mapped file that another program truncates would raise SIGBUS on the
// lost pages; the handler puts a page of zeros there instead, so such a
// file reads as cut short and the program carries on.
constexpr std::size_t kMapAtLeast = 1u << 20;
constexpr int kMapSlots = 4096;
std::atomic<std::uintptr_t> gMapBegin[kMapSlots];
std::atomic<std::uintptr_t> gMapEnd[kMapSlots];
std::uintptr_t gPageSize = 4096;
struct sigaction gPreviousBusAction;

void OnBusError(int sig, siginfo_t* info, void* context) {
  const auto addr = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (int i = 0; i < kMapSlots; ++i) {
    if (addr >= gMapBegin[i].load() && addr < gMapEnd[i].load()) {
      void* page = reinterpret_cast<void*>(addr & ~(gPageSize - 1));
      if (mmap(page, gPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) return;
    }
  }
  if ((gPreviousBusAction.sa_flags & SA_SIGINFO) && gPreviousBusAction.sa_sigaction) {
    gPreviousBusAction.sa_sigaction(sig, info, context);
  } else if (gPreviousBusAction.sa_handler != SIG_DFL && gPreviousBusAction.sa_handler != SIG_IGN) {
    gPreviousBusAction.sa_handler(sig);
  } else {
    signal(SIGBUS, SIG_DFL);
    raise(SIGBUS);
  }
}

bool InstallBusHandler() {
  static const bool installed = [] {
    gPageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    struct sigaction action {};
    action.sa_sigaction = OnBusError;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGBUS, &action, &gPreviousBusAction) == 0;
  }();
  return installed;
}

int ClaimMapSlot(const char* begin, std::size_t size) {
  for (int i = 0; i < kMapSlots; ++i) {
    std::uintptr_t expected = 0;
    const auto b = reinterpret_cast<std::uintptr_t>(begin);
    if (gMapBegin[i].load() == 0 && gMapEnd[i].compare_exchange_strong(expected, 1)) {
      gMapBegin[i] = b;
      gMapEnd[i] = b + size;
      return i;
    }
  }
  return -1;
}

struct Mapping {
  Mapping(void* a, std::size_t n, int s) : address(a), size(n), slot(s) {}
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;
  void* address;
  std::size_t size;
  int slot;
  ~Mapping() {
    munmap(address, size);
    gMapBegin[slot] = 0;
    gMapEnd[slot] = 0;
  }
};

}  // namespace

THeldText THeldText::Read(const std::string& path) {
  struct stat st {};
  Fd file;
  file.fd = OpenForReading(path, st);

  THeldText held;
  const auto fileSize = static_cast<std::size_t>(st.st_size);
  if (S_ISREG(st.st_mode) && fileSize >= kMapAtLeast && InstallBusHandler()) {
    void* address = mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, file.fd, 0);
    if (address != MAP_FAILED) {
      const int slot = ClaimMapSlot(static_cast<const char*>(address), fileSize);
      if (slot >= 0) {
        auto mapping = std::make_shared<const Mapping>(address, fileSize, slot);
        const std::string_view bytes(static_cast<const char*>(address), fileSize);
        if (IsPlainUtf8(bytes)) {
          held.text_ = bytes;
          held.owner_ = std::move(mapping);
          return held;
        }
        auto decoded = std::make_shared<const std::string>(DecodeText(std::string(bytes)));
        held.text_ = *decoded;
        held.owner_ = std::move(decoded);
        return held;
      }
      munmap(address, fileSize);
    }
  }

  auto bytes = std::make_shared<std::string>(ReadAll(file.fd, st, path));
  if (IsPlainUtf8(*bytes)) {
    held.text_ = *bytes;
    held.owner_ = std::move(bytes);
  } else {
    auto decoded = std::make_shared<const std::string>(DecodeText(std::move(*bytes)));
    held.text_ = *decoded;
    held.owner_ = std::move(decoded);
  }
  return held;
}

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
