// A main window on a fresh data folder for the tests of the Sites mode and
// its dialogs, with a host that records messages and answers questions.
#pragma once

#include <QLineEdit>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/run_control.h"
#include "reports/run_context.h"
#include "test_support.h"
#include "ui/main_window.h"
#include "ui/ui_fixture.h"

namespace trelvar::test {

// Records what the windows say and answers every question with `answer`;
// a question with a "Dont show me this message again" box gets `dont_ask`.
class TAnswerHost : public TCaptureHost {
 public:
  TAnswerHost() : TCaptureHost(TRunMode::Windowed) {}
  bool Ask(const TQuestion& question) override {
    questions.push_back(question.text);
    if (question.dont_ask_again != nullptr) *question.dont_ask_again = dont_ask;
    return answer;
  }
  bool answer = false;
  bool dont_ask = false;
  std::vector<std::string> questions;
};

// The shipped data files in a temporary data folder, the tips and
// questions of the windows off unless a test turns them on.
class TSitesWindow {
 public:
  explicit TSitesWindow(const std::string& gui_extra = "") {
    for (const char* name : {"main.ini", "websites.ini", "reports.ini", "spiders.ini", "schedule.ini"})
      std::filesystem::copy_file(std::string(TRELVAR_RUNTIME_DIR) + "/Default/" + name, dir / name);
    WriteFile(dir / "gui.ini", std::string(kQuietGui) +
                                   "ShowChooseLogPath=0\r\nAskShowSiteWizard=0\r\n"
                                   "AskAnalyzeAfterSiteCreation=0\r\nAskForRecognizeFormat=0\r\n" +
                                   gui_extra);
    main = OpenMainWindow(dir.path());
    host = std::make_unique<TAnswerHost>();
  }
  ~TSitesWindow() {
    host.reset();
    main.reset();
  }
  // Open again (the registry is made anew), keeping the recording host.
  void Reopen() {
    host.reset();
    main->Open();
    host = std::make_unique<TAnswerHost>();
  }
  std::string WebsitesIni() const { return ReadFile(dir / "websites.ini"); }

  TTempDir dir;
  std::unique_ptr<ui::TfrmMainW> main;
  std::unique_ptr<TAnswerHost> host;
};

// What typing does: the text and the edit's signal.
inline void Type(QLineEdit& edit, const QString& text) {
  edit.setText(text);
  emit edit.textEdited(text);
}

}  // namespace trelvar::test
