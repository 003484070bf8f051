#include "test_support.h"

#include "base/text_helpers.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char** environ;

namespace trelvar::test {

TTempDir::TTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "trelvar-test-XXXXXX").string();
  if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl + "/";
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

TCaptureHost::TCaptureHost(TRunMode mode)
    : THeadlessHost([this](const std::string& text) { stdout_text += text; }),
      saved_mode_(RunMode()),
      windowed_(mode == TRunMode::Windowed) {
  SetRunMode(mode);
  SetRunControl(this);
}

TCaptureHost::~TCaptureHost() {
  SetRunControl(nullptr);
  SetRunMode(saved_mode_);
}

void TCaptureHost::OutputLine(const std::string& line) {
  if (!windowed_) {
    THeadlessHost::OutputLine(line);
    return;
  }
  status_lines.push_back(StripTags(line));
  ProcessMessages();
}

TCacheHeader CacheHeader(int tolerance, bool approximate, TDateTime period_to,
                         TDateTime period_from, bool use_period, TDateTime last_line_time,
                         TDateTime first_line_time) {
  TCacheHeader h;
  h.tolerance = tolerance;
  h.approximate = approximate;
  h.period_to = period_to;
  h.period_from = period_from;
  h.use_period = use_period;
  h.last_line_time = last_line_time;
  h.first_line_time = first_line_time;
  return h;
}

TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env, bool close_stdout) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0 || pipe(err_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    close(out_pipe[0]);
    close(out_pipe[1]);
    close(err_pipe[0]);
    close(err_pipe[1]);
    if (close_stdout) close(1);
    int devnull = open("/dev/null", O_RDONLY);
    dup2(devnull, 0);
    for (const auto& [name, value] : env) {
      if (value == kUnset) unsetenv(name.c_str());
      else setenv(name.c_str(), value.c_str(), 1);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  TRunResult r;
  struct pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  int open_count = 2;
  char buf[4096];
  while (open_count > 0) {
    if (poll(fds, 2, 60000) <= 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      } else {
        (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      }
    }
  }
  int status = 0;
  waitpid(pid, &status, 0);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

}  // namespace trelvar::test
