// TfrmMainW: the main window of the windowed application.
//
// Five modes chosen by a column of buttons on the left (Main, Reports,
// Sites, Schedule, Results), a status pane below them that shows the
// output channel, and the menus File, Language and Help. The window owns
// the run context of the application (created again by Open), the GUI
// settings, its own copy of the command line, the schedule with its timers,
// the busy flag of the jobs, and the dialogs of the application.
//
// Open frees and creates the shared objects and fills the pages; Save
// writes the main settings and the GUI settings; closing saves unless the
// program was started with parameters, and the schedule is saved when the
// window goes. Errors of Open and of the commands end in the status pane
// as a paragraph; the window stays usable. Main thread only.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>

#include "app/cmdline.h"
#include "automation/schedule.h"
#include "automation/scheduler.h"
#include "config/folders.h"
#include "ui/mode_controller.h"
#include "ui/window_translation.h"

class QLabel;
class QListWidget;
class QMenu;
class QTimer;
class QToolButton;
class QVBoxLayout;

namespace trelvar {
class TGUISettings;
struct TRunContext;
}  // namespace trelvar

namespace trelvar::ui {

class TModePage;
class TMainModePage;
class TReportsModePage;
class TSitesModePage;
class TScheduleModePage;
class TResultsModePage;
class TWindowHost;
class TfrmProg;
class TfrmDownload;
class TfrmTip;

enum class TMode { Main = 0, Reports = 1, Sites = 2, Schedule = 3, Results = 4 };

class TfrmMainW : public QMainWindow {
  Q_OBJECT

 public:
  // `args` without the program name. Creation: the mode controller, the
  // schedule (loaded), the window's own command line; the window is then
  // ready for the schedule's start timer.
  explicit TfrmMainW(const std::vector<std::string>& args, QWidget* parent = nullptr);
  ~TfrmMainW() override;

  // Frees and creates the shared objects, then fills the pages and applies
  // the GUI settings. An error is written to the status pane.
  void Open();
  // Stores the period choice and writes main.ini and gui.ini.
  void Save();
  // Creates the five mode pages, registers them and selects Main.
  void CreateModes();

  // The shared objects; valid after a successful Open.
  bool IsOpen() const { return opened_; }
  TRunContext& Context() { return *ctx_; }
  TGUISettings& Gui() { return *gui_; }
  const TFolders& Folders() const { return folders_; }
  TSchedule& Schedule() { return schedule_; }
  const TCmdLine& CmdLine() const { return cmd_; }
  TWindowHost& Host() { return *host_; }
  // Set by the jobs while they run; the schedule waits for it.
  bool& Busy() { return busy_; }

  TModeController& Modes() { return *modes_; }
  TMainModePage& MainPage() { return *main_page_; }
  TReportsModePage& ReportsPage() { return *reports_page_; }
  TSitesModePage& SitesPage() { return *sites_page_; }
  TScheduleModePage& SchedulePage() { return *schedule_page_; }
  TResultsModePage& ResultsPage() { return *results_page_; }
  TfrmProg& ProgressWindow() { return *progress_; }
  TfrmDownload& DownloadWindow() { return *download_; }

  // After Save from the menu: the feedback question, until the user asks
  // not to see it again.
  void AskForFeedback();
  // Writes the report set back to the report file it was loaded from when
  // it holds reports and has changed; entering Main and Sites does it. A
  // failure is written to the status pane.
  void SaveReportSet();
  // Runs `work`; an error it raises becomes a paragraph in the status pane
  // (message and class), and the window stays usable. Answers whether it
  // went through.
  bool Guarded(const std::function<void()>& work);
  // Opens a page of the help in program folder's help/ (Results browser or
  // the system browser).
  void ShowHelp(const std::string& topic_page);
  // The mode's instruction tip, unless switched off or already visible.
  void ShowInstructions(TMode mode);
  // The options dialog and the about box (modal).
  void ShowOptions();
  void ShowAbout();
  // The texts the code sets (mode titles) and every open window, in the
  // current language; the language menu calls it.
  void RetranslateTexts();

  // The status pane (the output channel in this application).
  void AddStatusLine(const std::string& text);
  void ClearStatus();
  QListWidget& StatusPane() { return *lstStatus_; }

  // The schedule's tick, for tests (the timer calls it every second).
  void ScheduleTick();
  // The clock the schedule compares with (tests give their own).
  void SetScheduleClock(TScheduler::TClock clock) { scheduler_ = TScheduler(std::move(clock)); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildMenus();
  void BuildLanguageMenu();
  void ApplyGuiSettings();
  void StoreGuiGeometry();
  QToolButton* ModeButton(const char* name, const QString& text, int icon);
  TModeItem& AddPage(QToolButton* button, TModePage* page, const QString& title);

  TFolders folders_;
  TWindowWatcher watcher_;
  TCmdLine cmd_;
  TSchedule schedule_;
  TScheduler scheduler_;
  std::unique_ptr<TWindowHost> host_;
  std::unique_ptr<TRunContext> ctx_;
  std::unique_ptr<TGUISettings> gui_;
  bool busy_ = false;
  bool opened_ = false;  // the last Open created every shared object
  bool ready_ = false;
  bool closing_saved_ = false;

  TModeController* modes_ = nullptr;
  QVBoxLayout* mode_area_ = nullptr;
  QLabel* pnlModeTitle_ = nullptr;
  QListWidget* lstStatus_ = nullptr;
  QMenu* mniLanguage_ = nullptr;
  QTimer* tmrScheduleStart_ = nullptr;
  QTimer* tmrSchedule_ = nullptr;
  std::vector<QToolButton*> mode_buttons_;
  std::vector<QString> mode_titles_;

  TMainModePage* main_page_ = nullptr;
  TReportsModePage* reports_page_ = nullptr;
  TSitesModePage* sites_page_ = nullptr;
  TScheduleModePage* schedule_page_ = nullptr;
  TResultsModePage* results_page_ = nullptr;

  TfrmProg* progress_ = nullptr;
  TfrmDownload* download_ = nullptr;
  QPointer<TfrmTip> tip_;
};

}  // namespace trelvar::ui
