// The SMTP server of the mail tests (tests/support/smtp_sink.py) on a free
// loopback port, with the folder where it puts what it receives; stopped
// when it goes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/files.h"
#include "test_support.h"

namespace trelvar::test {

inline const std::string kSinkScript =
    std::string(TRELVAR_SOURCE_DIR) + "/tests/support/smtp_sink.py";

class TSmtpSink {
 public:
  explicit TSmtpSink(const std::vector<std::string>& options = {}) : port_(FreeLoopbackPort()) {
    std::vector<std::string> args = {kSinkScript, std::to_string(port_), dir_.path()};
    args.insert(args.end(), options.begin(), options.end());
    process_ = std::make_unique<TBackgroundProcess>("/usr/bin/python3", args, dir_ / "server.log");
    started_ = WaitForPort(port_);
  }
  bool Started() const { return started_; }
  std::string Log() const { return ReadFile(dir_ / "server.log"); }
  int port() const { return port_; }
  bool HasMail(int n) const { return platform::IsFolder(dir_ / ("mail" + std::to_string(n))); }
  std::string Field(int n, const std::string& name) const {
    return ReadFile(dir_ / ("mail" + std::to_string(n) + "/" + name));
  }
  std::string Commands() const {
    const std::string path = dir_ / "commands.log";
    return platform::PathExists(path) ? ReadFile(path) : "";
  }

 private:
  TTempDir dir_;
  int port_;
  std::unique_ptr<TBackgroundProcess> process_;
  bool started_ = false;
};

}  // namespace trelvar::test
