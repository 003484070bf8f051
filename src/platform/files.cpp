#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace trelvar::platform {

namespace {

// Closes a descriptor when it goes out of scope.
struct TFd {
  int fd = -1;
  explicit TFd(int f) : fd(f) {}
  ~TFd() {
    if (fd >= 0) close(fd);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

bool PathExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

bool IsFolder(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::optional<TLocalTime> FileModifiedLocal(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return LocalTimeOfUnix(st.st_mtim.tv_sec, static_cast<int>(st.st_mtim.tv_nsec / 1000000));
}

bool ForceFolders(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (p.size() <= 2) return true;
  if (IsFolder(p)) return true;
  size_t slash = p.rfind('/');
  if (slash != std::string::npos && slash > 0 && !ForceFolders(p.substr(0, slash))) return false;
  if (mkdir(p.c_str(), 0777) == 0) return true;
  return errno == EEXIST && IsFolder(p);
}

bool CopyFile(const std::string& source, const std::string& target, bool append,
              const TCopyProgress& progress) {
  TFd in(open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return false;
  struct stat st;
  if (fstat(in.fd, &st) != 0 || S_ISDIR(st.st_mode)) return false;
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
  TFd out(open(target.c_str(), flags, st.st_mode & 07777));
  if (out.fd < 0) return false;

  std::vector<char> buffer(64 * 1024);
  int64_t copied = 0;
  const int64_t total = st.st_size;
  for (;;) {
    ssize_t n = read(in.fd, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    if (!WriteAll(out.fd, buffer.data(), static_cast<size_t>(n))) return false;
    copied += n;
    if (progress && !progress(source, target, n, total, copied)) return false;
  }
  struct timespec times[2] = {st.st_atim, st.st_mtim};
  fchmod(out.fd, st.st_mode & 07777);
  futimens(out.fd, times);
  return true;
}

bool MatchesWildcard(const std::string& pattern, const std::string& name) {
  return fnmatch(pattern.c_str(), name.c_str(), 0) == 0;
}

std::vector<TFolderEntry> ListFolder(const std::string& folder, const std::string& pattern) {
  std::vector<TFolderEntry> result;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) return result;
  std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  while (struct dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesWildcard(pattern, name)) continue;
    result.push_back({name, IsFolder(base + name)});
  }
  closedir(dir);
  std::sort(result.begin(), result.end(),
            [](const TFolderEntry& a, const TFolderEntry& b) { return a.name < b.name; });
  return result;
}

bool ListFolderChecked(const std::string& folder, const std::string& pattern,
                       std::vector<TFolderEntry>& entries, int& error_number) {
  entries.clear();
  error_number = 0;
  DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
  if (dir == nullptr) {
    error_number = errno;
    return false;
  }
  std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  for (;;) {
    errno = 0;
    struct dirent* e = readdir(dir);
    if (e == nullptr) {
      error_number = errno;
      break;
    }
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesWildcard(pattern, name)) continue;
    entries.push_back({name, IsFolder(base + name)});
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(),
            [](const TFolderEntry& a, const TFolderEntry& b) { return a.name < b.name; });
  return error_number == 0;
}

std::string SystemErrorText(int error_number) {
  char buffer[256];
  // The GNU strerror_r returns the text, which need not be in `buffer`.
  return strerror_r(error_number, buffer, sizeof buffer);
}

TReadOnlyFile::~TReadOnlyFile() { Close(); }

bool TReadOnlyFile::Open(const std::string& path) {
  Close();
  error_ = 0;
  position_ = 0;
  size_ = 0;
  // Non-blocking so that a FIFO cannot hold the open; cleared below.
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    error_ = errno;
    close(fd);
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    close(fd);
    return false;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  fd_ = fd;
  size_ = static_cast<int64_t>(st.st_size);
  return true;
}

void TReadOnlyFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

int64_t TReadOnlyFile::Read(char* dest, size_t capacity) {
  if (fd_ < 0) {
    error_ = EBADF;
    return -1;
  }
  for (;;) {
    ssize_t n = read(fd_, dest, capacity);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = errno;
      return -1;
    }
    position_ += n;
    return n;
  }
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  TFd in(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.fd < 0) return false;
  struct stat st;
  if (fstat(in.fd, &st) != 0 || S_ISDIR(st.st_mode)) return false;
  if (S_ISREG(st.st_mode)) out.reserve(static_cast<size_t>(st.st_size));
  char buffer[64 * 1024];
  for (;;) {
    ssize_t n = read(in.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

bool WriteNewFile(const std::string& path, const std::string& data, unsigned mode, bool durable) {
  TFd out(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode)));
  if (out.fd < 0) return false;
  if (fchmod(out.fd, static_cast<mode_t>(mode)) != 0) return false;
  return WriteAll(out.fd, data.data(), data.size()) && (!durable || fsync(out.fd) == 0);
}

std::string CreateUniqueFile(const std::string& folder, const std::string& prefix,
                             const std::string& suffix) {
  std::string path = folder + prefix + "XXXXXX" + suffix;
  const int fd = mkstemps(path.data(), static_cast<int>(suffix.size()));
  if (fd < 0) return "";
  close(fd);
  return path;
}

bool RemoveFile(const std::string& path) { return unlink(path.c_str()) == 0; }

bool RenameFile(const std::string& from, const std::string& to) {
  return rename(from.c_str(), to.c_str()) == 0;
}

bool SetFileMode(const std::string& path, unsigned mode) {
  return chmod(path.c_str(), static_cast<mode_t>(mode)) == 0;
}

}  // namespace trelvar::platform
