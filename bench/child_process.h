// Child processes of the benchmark: runs a program with a changed
// environment and its output sent to a file, and measures its wall time
// and peak memory (the largest resident set the kernel reports for it when
// it ends, wait4's ru_maxrss).
//
// RunChild never throws; a program that cannot be started gives a result
// whose `started` is false. Not thread-safe: it forks the calling process.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace bench {

struct TChildRequest {
  std::vector<std::string> argv;  // argv[0]: a path, or a name looked up in PATH
  std::string cwd;                // working folder; "" keeps the bench's own
  std::vector<std::pair<std::string, std::string>> set_env;
  std::vector<std::string> unset_env;
  std::string output_path;        // standard output and error; "" discards them
};

struct TChildResult {
  bool started = false;  // the program was found and executed
  int exit_code = -1;    // -1 when a signal ended it
  int signal = 0;
  double seconds = 0;    // wall time from start to end
  double peak_mb = 0;    // peak resident memory in MiB
  bool ok() const { return started && exit_code == 0; }
  // "exit status 3", "killed by signal 9", "could not be started".
  std::string Failure() const;
};

TChildResult RunChild(const TChildRequest& request);

// The full path of an executable `name` found in PATH ("" when there is
// none); a name holding "/" is returned when it is executable.
std::string FindProgram(const std::string& name);

// Folder of the running benchmark executable, ending in "/".
std::string OwnFolder();

}  // namespace bench
