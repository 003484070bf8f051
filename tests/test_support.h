// Helpers of the test suite: temporary folders, small files, capturing the
// output channel and running the program as a child process.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "app/output.h"
#include "app/ui_host.h"

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
std::string ReadFile(const std::string& path);

// Installs itself as the UI host and collects everything the output
// channel writes; restores the run mode and the host when it goes.
class TCaptureHost : public TUiHost {
 public:
  explicit TCaptureHost(TRunMode mode);
  ~TCaptureHost() override;

  void WriteStdout(const std::string& text) override { stdout_text += text; }
  void ProcessMessages() override { ++process_messages; }
  bool MainWindowEnabled() const override { return enabled; }
  void SetMainWindowEnabled(bool e) override {
    enabled = e;
    enabled_history.push_back(e);
  }
  void StatusLine(const std::string& text) override { status_lines.push_back(text); }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }

  std::string stdout_text;
  std::vector<std::string> status_lines;
  std::vector<std::string> messages;
  std::vector<bool> enabled_history;
  bool enabled = true;
  int process_messages = 0;

 private:
  TRunMode saved_mode_;
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

}  // namespace trelvar::test
