// TRunControl: the one way the core reaches a user interface.
//
// Whatever the analysis needs of the face the program shows goes through
// the installed run control: the lines of the output channel, a turn for
// pending events, the once-a-second progress, messages, the main window's
// enabled state and the end of an analysis. The console and CGI hosts of
// the one-shot run and the windowed application implement it, and the
// differences between them live there only: no code below the program
// entry asks how the program runs. The installed control is the sink of
// the output channel, and it carries the texts of the user's language;
// tests install their own to see what the core says. Main thread only
// (the texts may be read from any thread of an analysis while it runs).
#pragma once

#include <cstdint>
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

// Where the pages of a finished analysis are.
struct TFinishedPages {
  std::string folder;     // the output folder, ending in "/"
  std::string web_path;   // the site's output URI, as the site gives it
  std::string index;      // "index.htm", or "indexdetails.htm" without one
  bool open_in_browser = false;  // the settings ask to show them at once
};

// The texts the user reads, by text id, each with its English default.
class TTextSource {
 public:
  virtual ~TTextSource() = default;
  // The text of `id` in the current language, or `fallback`.
  virtual std::string Text(int id, const std::string& fallback) const = 0;
};

// The colour of a line in a job's status list: operations under way,
// successes, errors, plain session events.
enum class TStatusColour { Blue, Green, Red, Black };

// Where a transfer stands, for a window with a bar and labels.
struct TTransferProgress {
  int64_t range = 0;     // bytes this transfer should bring
  int64_t position = 0;  // bytes it has brought
  std::string time_left;  // "" while nothing has come yet
  std::string rate;       // "12.50 KB/sec"
  std::string received;   // "1234 KB"
};

// A question with Yes and No.
struct TQuestion {
  std::string text;
  // The answer of a host that asks nothing (a run without windows).
  bool default_answer = true;
  // Not null: the question offers "Dont show me this message again", and
  // the host sets this to the box's state.
  bool* dont_ask_again = nullptr;
};

class TRunControl {
 public:
  virtual ~TRunControl() = default;

  // One line of progress, results, warnings or errors (HTML markup
  // allowed); pending events run afterwards.
  virtual void OutputLine(const std::string& line) = 0;
  // The line that heads a step of a long operation ("Creating
  // tables..."): written like any line where there is no progress window.
  virtual void OutputHeading(const std::string& line) = 0;
  // Lets pending events run; cheap when there is nothing to do.
  virtual void ProcessMessages() = 0;
  // The once-a-second progress of a long operation: the part done as a
  // percentage with two decimals ("50.00") and the time left as a text.
  virtual void PublishProgress(const std::string& percent, const std::string& left) = 0;
  // An information message with an OK button.
  virtual void ShowMessage(const std::string& text) = 0;
  // An error message with an OK button; without an error dialog of its
  // own a host shows it as a message.
  virtual void ShowError(const std::string& text) { ShowMessage(text); }
  // Empties the status pane before a job the user started; hosts without
  // one keep what they wrote.
  virtual void ClearOutput() {}
  // Asks the user; a host without dialogs answers the default at once and
  // leaves the box alone.
  virtual bool Ask(const TQuestion& question) { return question.default_answer; }
  // A line of the status list of a job's window (the FTP download); a host
  // without that window writes it as a line of the output channel.
  virtual void StatusLine(const std::string& text, TStatusColour colour) {
    (void)colour;
    OutputLine(text);
  }
  // The progress of a transfer, at most once a second; hosts without a
  // transfer window ignore it.
  virtual void TransferProgress(const TTransferProgress& progress) { (void)progress; }
  // Off while the log pass runs, on again when it ends or is cancelled.
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // The pages are written: the host tells the user where they are.
  virtual void AnalysisFinished(const TFinishedPages& pages) = 0;
  // Registers the one ticker that ProcessMessages gives a turn (not owned;
  // null removes it). Hosts with timers of their own ignore it.
  virtual void SetTicker(TUiTicker* ticker) { (void)ticker; }

  // The texts of the run (not owned; null: every text is its default).
  // The owner of the run's translator installs it and takes it back.
  void SetTexts(const TTextSource* texts) { texts_ = texts; }
  const TTextSource* Texts() const { return texts_; }

 private:
  const TTextSource* texts_ = nullptr;
};

// The installed run control. Until a host installs its own, a quiet one
// that drops everything (a library user that installs nothing sees no
// output and is never asked anything).
TRunControl& RunControl();
// Installs `control` (not owned; null restores the quiet one).
void SetRunControl(TRunControl* control);

// RunControl().OutputLine(line): the output channel.
void OutputLine(const std::string& line);

}  // namespace trelvar
