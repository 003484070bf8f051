#include "base/run_control.h"

namespace trelvar {

namespace {

// Drops everything but the ticker's turn, so that a progress reporter's
// clock still runs where nothing shows it.
class TQuietControl : public TRunControl {
 public:
  void OutputLine(const std::string&) override { ProcessMessages(); }
  void OutputHeading(const std::string&) override {}
  void ProcessMessages() override {
    if (ticker_ != nullptr) ticker_->Tick();
  }
  void PublishProgress(const std::string&, const std::string&) override {}
  void ShowMessage(const std::string&) override {}
  void SetMainWindowEnabled(bool) override {}
  void AnalysisFinished(const TFinishedPages&) override {}
  void SetTicker(TUiTicker* ticker) override { ticker_ = ticker; }

 private:
  TUiTicker* ticker_ = nullptr;
};

TQuietControl g_quiet;
TRunControl* g_control = &g_quiet;

}  // namespace

TRunControl& RunControl() { return *g_control; }

void SetRunControl(TRunControl* control) { g_control = control != nullptr ? control : &g_quiet; }

void OutputLine(const std::string& line) { g_control->OutputLine(line); }

}  // namespace trelvar
