#include "test_support.h"

#include "base/text_helpers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

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

namespace {

// In a forked child: standard input from /dev/null, then `program`.
[[noreturn]] void ExecProgram(const std::string& program, const std::vector<std::string>& args) {
  const int devnull = open("/dev/null", O_RDONLY);
  dup2(devnull, 0);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

}  // namespace

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
    for (const auto& [name, value] : env) {
      if (value == kUnset) unsetenv(name.c_str());
      else setenv(name.c_str(), value.c_str(), 1);
    }
    ExecProgram(program, args);
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

int FreeLoopbackPort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t n = sizeof a;
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &n) != 0) {
    close(s);
    throw std::runtime_error("no free loopback port");
  }
  close(s);
  return ntohs(a.sin_port);
}

bool WaitForPort(int port) {
  for (int i = 0; i < 100; ++i) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    if (ok) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

TBackgroundProcess::TBackgroundProcess(const std::string& program,
                                       const std::vector<std::string>& args,
                                       const std::string& log_path) {
  const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (log < 0) throw std::runtime_error("cannot create " + log_path);
  pid_ = fork();
  if (pid_ == 0) {
    dup2(log, 1);
    dup2(log, 2);
    ExecProgram(program, args);
  }
  close(log);
  if (pid_ < 0) throw std::runtime_error("fork failed");
}

bool TBackgroundProcess::Running() {
  return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

TBackgroundProcess::~TBackgroundProcess() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (waitpid(pid_, nullptr, WNOHANG) != 0) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

}  // namespace trelvar::test
