// TUiHost: what the core needs of a user interface.
//
// The core never talks to windows. The windowed application implements
// this interface with its main window; console and CGI runs use
// THeadlessHost. The output channel writes through the host that is
// installed (SetUiHost), which is also how tests capture output.
#pragma once

#include <string>

namespace trelvar {

// Something that takes a turn whenever pending events run: the progress
// reporter's once-a-second tick in runs without windows. Tick() is called
// once per log line, so it must return at once when nothing is due.
class TUiTicker {
 public:
  virtual ~TUiTicker() = default;
  virtual void Tick() = 0;
};

class TUiHost {
 public:
  virtual ~TUiHost() = default;

  // Raw text for standard output (web and console lines).
  virtual void WriteStdout(const std::string& text) = 0;
  // Lets pending window events run; cheap when there is nothing to do.
  virtual void ProcessMessages() = 0;
  // The main window's enabled state (windowed mode only).
  virtual bool MainWindowEnabled() const = 0;
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // One line for the main window's status pane, tags already removed.
  virtual void StatusLine(const std::string& text) = 0;
  // An information message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An error message with an OK button; hosts without their own error
  // dialog show it as a message.
  virtual void ShowError(const std::string& text) { ShowMessage(text); }
  // Registers the one ticker that ProcessMessages gives a turn (not owned;
  // null removes it). Hosts with timers of their own ignore it.
  virtual void SetTicker(TUiTicker* ticker) { (void)ticker; }
};

// The host of console and CGI runs: standard output, no windows; messages
// go to the output channel.
class THeadlessHost : public TUiHost {
 public:
  void WriteStdout(const std::string& text) override;
  // Without windows the only pending event is the ticker's turn.
  void ProcessMessages() override {
    if (ticker_ != nullptr) ticker_->Tick();
  }
  bool MainWindowEnabled() const override { return true; }
  void SetMainWindowEnabled(bool) override {}
  void StatusLine(const std::string&) override {}
  void ShowMessage(const std::string& text) override;
  void SetTicker(TUiTicker* ticker) override { ticker_ = ticker; }

 private:
  TUiTicker* ticker_ = nullptr;
};

// The installed host; a headless one until another is installed.
TUiHost& UiHost();
// Installs `host` (not owned; null restores the headless host).
void SetUiHost(TUiHost* host);

}  // namespace trelvar
