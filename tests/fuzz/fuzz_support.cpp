#include "fuzz_support.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "base/run_control.h"
#include "base/safe_file.h"

namespace trelvar::fuzz {

namespace {

std::string MakeTempFolder() {
  std::string base;
  if (const char* tmp = std::getenv("TMPDIR"); tmp != nullptr && *tmp != '\0') base = tmp;
  else if (access("/dev/shm", W_OK) == 0) base = "/dev/shm";
  else base = "/tmp";
  std::string pattern = base + "/trelvar-fuzz-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) Fail("cannot create a folder under " + base);
  return pattern + "/";
}

void RemoveTempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(TempFolder(), ec);
}

}  // namespace

const std::string& TempFolder() {
  static const std::string folder = MakeTempFolder();
  // Registered after the text is made, so it runs before the text goes.
  [[maybe_unused]] static const bool removed_at_exit = std::atexit(RemoveTempFolder) == 0;
  return folder;
}

void WriteBytes(const std::string& path, std::string_view bytes) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) Fail("cannot create " + path);
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) Fail("cannot write " + path);
    done += static_cast<size_t>(n);
  }
  close(fd);
}

std::string ShippedFile(const std::string& name) {
  return ReadFileText(std::string(TRELVAR_SOURCE_DIR) + "/Default/" + name);
}

void SilenceOutput() {
  // The quiet run control drops every line: the targets must stay quiet.
  SetRunControl(nullptr);
}

void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz target: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

}  // namespace trelvar::fuzz
