#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

#include "bench_registry.h"

extern char** environ;

namespace bench {

namespace {

bool Executable(const std::string& path) {
  std::error_code ec;
  return access(path.c_str(), X_OK) == 0 && std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string TChildResult::Failure() const {
  if (!started) return "could not be started";
  if (exit_code < 0) return "killed by signal " + std::to_string(signal);
  return "exit status " + std::to_string(exit_code);
}

std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return Executable(name) ? name : "";
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    const size_t colon = folders.find(':', start);
    std::string folder = folders.substr(start, colon - start);
    if (folder.empty()) folder = ".";
    const std::string candidate = folder + "/" + name;
    if (Executable(candidate)) return candidate;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

std::string OwnFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "./";
  return self.parent_path().string() + "/";
}

TChildResult RunChild(const TChildRequest& request) {
  TChildResult result;
  if (request.argv.empty()) return result;
  const std::string program = FindProgram(request.argv[0]);
  if (program.empty()) return result;

  // Everything the child needs is made before the fork, so that the child
  // only calls what is safe between fork and exec.
  std::map<std::string, std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const std::string& name : request.unset_env) env.erase(name);
  for (const auto& [name, value] : request.set_env) env[name] = value;
  std::vector<std::string> env_texts;
  for (const auto& [name, value] : env) env_texts.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& text : env_texts) envp.push_back(text.data());
  envp.push_back(nullptr);
  std::vector<std::string> args = request.argv;
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  const std::string output = request.output_path.empty() ? "/dev/null" : request.output_path;

  // The child reports a failed exec through this pipe; a successful exec
  // closes it unwritten.
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return result;
  const double start = Seconds();
  const pid_t pid = fork();
  if (pid < 0) {
    close(report[0]);
    close(report[1]);
    return result;
  }
  if (pid == 0) {
    close(report[0]);
    const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int in = open("/dev/null", O_RDONLY);
    if (out >= 0 && in >= 0 && dup2(in, 0) >= 0 && dup2(out, 1) >= 0 && dup2(out, 2) >= 0 &&
        (request.cwd.empty() || chdir(request.cwd.c_str()) == 0))
      execve(program.c_str(), argv.data(), envp.data());
    const int error = errno;
    ssize_t ignored = write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int child_error = 0;
  ssize_t got;
  do {
    got = read(report[0], &child_error, sizeof child_error);
  } while (got < 0 && errno == EINTR);
  close(report[0]);

  int status = 0;
  struct rusage usage;
  std::memset(&usage, 0, sizeof usage);
  pid_t waited;
  do {
    waited = wait4(pid, &status, 0, &usage);
  } while (waited < 0 && errno == EINTR);
  result.seconds = Seconds() - start;
  if (waited != pid || got > 0) return result;
  result.started = true;
  result.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
  if (WIFEXITED(status)) {
    result.exit_code = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.signal = WTERMSIG(status);
  }
  return result;
}

}  // namespace bench
