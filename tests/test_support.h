// Helpers of the test suite: temporary folders, small files, capturing the
// output channel and running the program as a child process.
#pragma once

#include <map>
#include <functional>
#include <string>
#include <vector>

#include "app/run_mode.h"
#include "reports/reports_cache.h"

namespace trelvar::test {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  const std::string& path() const { return path_; }  // ends in "/"
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& bytes);

// A cache header in the order the cache's tests think of it.
TCacheHeader CacheHeader(int tolerance, bool approximate, TDateTime period_to,
                         TDateTime period_from, bool use_period, TDateTime last_line_time = 0,
                         TDateTime first_line_time = 0);
std::string ReadFile(const std::string& path);

// Installs itself as the run control in the given run mode and collects
// what the core says: console and web lines as the one-shot run's host
// writes them, lines of the windowed run as its status pane would show
// them; messages and the main window's states as they come. Restores the
// run mode and the run control when it goes.
class TCaptureHost : public THeadlessHost {
 public:
  explicit TCaptureHost(TRunMode mode);
  ~TCaptureHost() override;

  void OutputLine(const std::string& line) override;
  void OutputHeading(const std::string& line) override {
    if (!windowed_) OutputLine(line);
  }
  void ProcessMessages() override {
    ++process_messages;
    THeadlessHost::ProcessMessages();
    if (on_events) on_events();
  }
  void PublishProgress(const std::string& percent, const std::string& left) override {
    if (!windowed_) THeadlessHost::PublishProgress(percent, left);
  }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void SetMainWindowEnabled(bool e) override {
    enabled = e;
    enabled_history.push_back(e);
  }
  void AnalysisFinished(const TFinishedPages& pages) override {
    if (!windowed_) THeadlessHost::AnalysisFinished(pages);
  }

  std::string stdout_text;
  std::vector<std::string> status_lines;
  std::vector<std::string> messages;
  std::vector<bool> enabled_history;
  bool enabled = true;
  int process_messages = 0;
  // Runs whenever pending events run (where a user's click would land).
  std::function<void()> on_events;

 private:
  TRunMode saved_mode_;
  bool windowed_;
};

// The result of running a program.
struct TRunResult {
  int status = -1;  // exit status, or -1 when it did not exit normally
  std::string out;
  std::string err;
};

// Runs `program` with `args`; `env` entries are set ("NAME" -> value) or,
// with the value "\x01unset", removed from the inherited environment.
TRunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::map<std::string, std::string>& env = {},
                      bool close_stdout = false);

inline const char* kUnset = "\x01unset";

// A free TCP port on the loopback address (free when asked).
int FreeLoopbackPort();
// Waits up to ten seconds until something accepts connections on the
// loopback port.
bool WaitForPort(int port);

// A server process the test starts and stops: `program` with `args`, its
// output in `log_path`; killed (SIGTERM, then SIGKILL) and reaped when it
// goes.
class TBackgroundProcess {
 public:
  TBackgroundProcess(const std::string& program, const std::vector<std::string>& args,
                     const std::string& log_path);
  ~TBackgroundProcess();
  TBackgroundProcess(const TBackgroundProcess&) = delete;
  TBackgroundProcess& operator=(const TBackgroundProcess&) = delete;
  bool Running();

 private:
  int pid_ = -1;
};

}  // namespace trelvar::test
