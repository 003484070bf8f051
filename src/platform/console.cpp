#include "platform/console.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace trelvar::platform {

namespace {

void WriteFd(int fd, const std::string& text) {
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

}  // namespace

bool StdoutIsOpen() { return fcntl(STDOUT_FILENO, F_GETFD) != -1; }

bool OpenTerminalAsStdout() {
  int fd = open("/dev/tty", O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  if (fd != STDOUT_FILENO) {
    bool ok = dup2(fd, STDOUT_FILENO) == STDOUT_FILENO;
    close(fd);
    return ok;
  }
  return true;
}

void IgnoreBrokenPipe() { signal(SIGPIPE, SIG_IGN); }

void WriteStdout(const std::string& text) { WriteFd(STDOUT_FILENO, text); }
void WriteStderr(const std::string& text) { WriteFd(STDERR_FILENO, text); }

}  // namespace trelvar::platform
