#include "FileIO.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::string ReadFileBytes(const std::string& path) {
  Fd file;
  file.fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file.fd < 0) ThrowCannotOpen(path, errno);
  struct stat st {};
  if (fstat(file.fd, &st) != 0) ThrowCannotOpen(path, errno);
  if (S_ISDIR(st.st_mode)) ThrowCannotOpen(path, EISDIR);

  std::string bytes;
  if (S_ISREG(st.st_mode) && st.st_size > 0) bytes.reserve(static_cast<std::size_t>(st.st_size) + 1);
  for (;;) {
    std::size_t have = bytes.size();
    if (have == bytes.capacity()) bytes.reserve(have < (1u << 20) ? (1u << 20) : 2 * have);
    bytes.resize(bytes.capacity());
    ssize_t n = read(file.fd, bytes.data() + have, bytes.size() - have);
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

std::string ReadTextFile(const std::string& path) { return DecodeText(ReadFileBytes(path)); }

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
