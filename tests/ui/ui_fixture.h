// What the windowed application's tests share: a data folder of their own
// and a main window opened on it, and a way through modal dialogs.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "test_support.h"
#include "ui/main_window.h"

namespace trelvar::test {

// gui.ini without the instruction tips, so that no modal tip stops a test.
inline const char kQuietGui[] =
    "ShowMainInstructions=0\r\nShowReportsInstructions=0\r\nShowResultsInstructions=0\r\n"
    "ShowSitesInstructions=0\r\nShowScheduleInstructions=0\r\nShowDNSLookupWarningBeta=0\r\n"
    "AskApproximateAnalysis=0\r\nMainWindowState=normal\r\n";

// Points the program at the data folder `data` and opens a main window
// there, with its modes.
std::unique_ptr<ui::TfrmMainW> OpenMainWindow(const std::string& data,
                                              const std::vector<std::string>& args = {});

// A main window on a fresh data folder (seeded from the defaults), opened
// and with its modes; `gui_ini` is written first when not empty.
class TWindowFixture {
 public:
  explicit TWindowFixture(const std::string& gui_ini = kQuietGui,
                          const std::vector<std::string>& args = {}) {
    if (!gui_ini.empty()) WriteFile(data / "gui.ini", gui_ini);
    main = OpenMainWindow(data.path(), args);
  }
  ~TWindowFixture() { main.reset(); }

  // Every line of the status pane, joined by "\n".
  std::string Status() const;

  TTempDir data;
  std::unique_ptr<ui::TfrmMainW> main;
};

// Runs `action` and answers the modal dialogs it opens with `answer`
// (given the dialog; it must close it); the texts of message boxes are
// collected in `seen`.
void WithModalAnswers(const std::function<void()>& action,
                      const std::function<void(QDialog&)>& answer,
                      std::vector<std::string>* seen = nullptr);

// Closes a modal dialog: message boxes with their default or escape
// button, other dialogs by reject().
void CloseDialog(QDialog& dialog);

}  // namespace trelvar::test
