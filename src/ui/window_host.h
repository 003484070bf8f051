// TWindowHost: the run control of the windowed application.
//
// The core reaches the windows only through here: lines of the output
// channel go to the main window's status pane (tags stripped, lines with
// "Error" in red), messages and questions become dialogs, the progress of
// the core's reporter is mirrored into the progress window, the status
// lines and transfer progress of a download into the download window, and
// a finished analysis is shown in the Results mode or the system browser.
//
// Pending window events run at most every few milliseconds: the analysis
// asks once per log line, and a turn of the event loop costs far more than
// a line. Main thread only.
#pragma once

#include <QElapsedTimer>

#include "base/run_control.h"

namespace trelvar::ui {

class TfrmMainW;

class TWindowHost : public TRunControl {
 public:
  explicit TWindowHost(TfrmMainW& main);

  void OutputLine(const std::string& line) override;
  void OutputHeading(const std::string& line) override;
  void ProcessMessages() override;
  void PublishProgress(const std::string&, const std::string&) override {}
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ClearOutput() override;
  bool Ask(const TQuestion& question) override;
  void StatusLine(const std::string& text, TStatusColour colour) override;
  void TransferProgress(const TTransferProgress& progress) override;
  void SetMainWindowEnabled(bool enabled) override;
  void AnalysisFinished(const TFinishedPages& pages) override;

  // Runs pending events now, whatever the time since the last turn.
  void ProcessNow();

  // Milliseconds between two turns of the event loop during long work.
  static constexpr qint64 kTurnMilliseconds = 20;

 private:
  TfrmMainW& main_;
  QElapsedTimer since_turn_;
  bool first_results_ = true;
};

}  // namespace trelvar::ui
