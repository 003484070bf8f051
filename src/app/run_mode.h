// The run mode of the process and the host of the one-shot run.
//
// The run mode is set once per run: console from the start of a one-shot
// run until it decides web or console, windowed in the windowed
// application. Only the program entry and the hosts look at it; the core
// reaches the user through the run control (base/run_control.h).
//
// THeadlessHost is the run control of console and CGI runs: no windows,
// lines on standard output as the run mode asks:
//  - web:      the line unchanged + CR LF (the CGI response)
//  - console:  the line without tags + LF
// Messages become lines, progress a "Processing ..." line, the end of an
// analysis the "Ready!" line (a link in web runs).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/run_control.h"

namespace trelvar {

enum class TRunMode : uint8_t { Web = 0, Console = 1, Windowed = 2 };

TRunMode RunMode();
void SetRunMode(TRunMode mode);

class THeadlessHost : public TRunControl {
 public:
  // Where the text of the lines goes; standard output when null.
  using TWrite = std::function<void(const std::string&)>;
  explicit THeadlessHost(TWrite write = nullptr);

  void OutputLine(const std::string& line) override;
  void OutputHeading(const std::string& line) override { OutputLine(line); }
  // Without windows the only pending event is the ticker's turn.
  void ProcessMessages() override {
    if (ticker_ != nullptr) ticker_->Tick();
  }
  void PublishProgress(const std::string& percent, const std::string& left) override;
  void ShowMessage(const std::string& text) override;
  void SetMainWindowEnabled(bool) override {}
  void AnalysisFinished(const TFinishedPages& pages) override;
  void SetTicker(TUiTicker* ticker) override { ticker_ = ticker; }

 private:
  TWrite write_;
  TUiTicker* ticker_ = nullptr;
};

}  // namespace trelvar
