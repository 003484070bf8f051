// The main window: modes, Open and Save with the GUI settings, the Main
// mode's analysis with its progress window, and what goes wrong.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

#include "base/progress.h"
#include "platform/files.h"
#include "config/gui_settings.h"
#include "config/translator.h"
#include "reports/run_context.h"
#include "sites/sites_registry.h"
#include "ui/main_mode.h"
#include "ui/mode_controller.h"
#include "ui/progress_window.h"
#include "ui/results_mode.h"
#include "ui/window_tasks.h"
#include "reports/report_base.h"
#include "reports/report_set.h"
#include "ui/ui_fixture.h"

namespace trelvar {
namespace {

using test::TWindowFixture;

TEST(ModeController, SwitchesLeaveThenEnterAndIgnoresTheCurrentButton) {
  QWidget window;
  auto* area = new QVBoxLayout(&window);
  ui::TModeController modes(*area);
  std::vector<std::string> calls;
  QToolButton* buttons[3];
  for (int i = 0; i < 3; ++i) {
    buttons[i] = new QToolButton(&window);
    ui::TModeItem& item = modes.AddMode(buttons[i], new QWidget(&window));
    item.leave = [&calls, i] { calls.push_back("leave" + std::to_string(i)); };
    item.enter = [&calls, i] { calls.push_back("enter" + std::to_string(i)); };
    item.can_switch = [&calls, i](bool) {
      calls.push_back("can" + std::to_string(i));
      return true;
    };
  }
  EXPECT_EQ(modes.Current(), -1);
  EXPECT_FALSE(modes.Get(0).page->isVisibleTo(&window));

  modes.SwitchTo(0);
  EXPECT_EQ(calls, (std::vector<std::string>{"can0", "enter0"}));
  calls.clear();
  buttons[2]->click();
  EXPECT_EQ(calls, (std::vector<std::string>{"can0", "can2", "leave0", "enter2"}));
  EXPECT_EQ(modes.Current(), 2);
  EXPECT_TRUE(buttons[2]->isChecked());
  EXPECT_FALSE(buttons[0]->isChecked());
  EXPECT_TRUE(modes.Get(2).page->isVisibleTo(&window));
  EXPECT_FALSE(modes.Get(0).page->isVisibleTo(&window));

  // The button of the current mode does nothing and stays pressed.
  calls.clear();
  buttons[2]->click();
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(buttons[2]->isChecked());
  // Past the last mode: ignored.
  modes.SwitchTo(3);
  EXPECT_EQ(modes.Current(), 2);
  EXPECT_TRUE(calls.empty());
}

TEST(MainWindow, OpensOnTheDefaultsWithFiveModesAndMainSelected) {
  TWindowFixture f;
  ASSERT_TRUE(f.main->IsOpen()) << f.Status();
  EXPECT_EQ(f.main->Modes().Count(), 5);
  EXPECT_EQ(f.main->Modes().Current(), 0);
  QComboBox& sites = f.main->MainPage().SiteBox();
  ASSERT_GE(sites.count(), 1);
  EXPECT_EQ(sites.currentText().toStdString(), "Sample site");
  auto* title = f.main->findChild<QLabel*>("pnlModeTitle");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->text().toStdString(), "Main");
  f.main->findChild<QToolButton*>("btnModeSites")->click();
  EXPECT_EQ(f.main->Modes().Current(), 2);
  EXPECT_EQ(title->text().toStdString(), "Sites");
}

TEST(MainWindow, GuiSettingsRulesOnOpenAndSave) {
  std::string gui = test::kQuietGui;
  gui += "MainWindowTop=-1\r\nMainWindowLeft=-1\r\nMainWindowWidth=700\r\nMainWindowHeight=0\r\n"
         "MainWindowState=MAXIMIZED\r\nShowMainAdvOpts=-1\r\n";
  for (int i = 1; i <= 12; ++i) gui += "RecentLogPath=/logs/" + std::to_string(i) + ".log\r\n";
  TWindowFixture f(gui);
  // Width applied, a height of 0 is not, negative positions are not.
  EXPECT_EQ(f.main->width(), 700);
  EXPECT_GT(f.main->height(), 0);
  EXPECT_TRUE(f.main->windowState() & Qt::WindowMaximized);
  EXPECT_TRUE(f.main->MainPage().AdvancedBox().isChecked());
  EXPECT_EQ(f.main->MainPage().LogPathBox().count(), 12);
  EXPECT_EQ(f.main->MainPage().LogPathBox().itemText(0).toStdString(), "/logs/1.log");

  f.main->Save();
  const std::string saved = test::ReadFile(f.data / "gui.ini");
  size_t lines = 0;
  for (size_t at = saved.find("RecentLogPath="); at != std::string::npos;
       at = saved.find("RecentLogPath=", at + 1))
    ++lines;
  EXPECT_EQ(lines, 10u);
  EXPECT_NE(saved.find("RecentLogPath=/logs/10.log\r\n"), std::string::npos);
  EXPECT_EQ(saved.find("/logs/11.log"), std::string::npos);
  EXPECT_NE(saved.find("MainWindowState=maximized\r\n"), std::string::npos);
  EXPECT_NE(saved.find("ShowMainAdvOpts=-1\r\n"), std::string::npos);
  EXPECT_TRUE(platform::PathExists(f.data / "gui.ini.bak"));
}

TEST(MainWindow, ABooleanThatDoesNotConvertLeavesAUsableWindowAndTheFileAlone) {
  const std::string gui = std::string(test::kQuietGui) + "ShowSiteAdvOpts=perhaps\r\n";
  TWindowFixture f(gui);
  EXPECT_NE(f.Status().find("EConvertError"), std::string::npos) << f.Status();
  // The rest of Open went on: sites, report set and modes are there.
  EXPECT_TRUE(f.main->IsOpen());
  EXPECT_EQ(f.main->MainPage().SiteBox().currentText().toStdString(), "Sample site");
  f.main->Modes().SwitchTo(1);
  EXPECT_EQ(f.main->Modes().Current(), 1);
  // What the user wrote in gui.ini is not overwritten by the defaults.
  f.main->Save();
  EXPECT_EQ(test::ReadFile(f.data / "gui.ini"), gui);
}

TEST(MainWindow, AnalyzeTheSampleSiteShowsProgressAndTheResults) {
  TWindowFixture f;
  bool progress_seen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (f.main->ProgressWindow().isVisible()) progress_seen = true;
  });
  watch.start(5);
  f.main->MainPage().Analyze();
  watch.stop();
  const std::string status = f.Status();
  EXPECT_NE(status.find("Analyzing site: Sample site"), std::string::npos) << status;
  EXPECT_EQ(status.find("Error"), std::string::npos) << status;
  EXPECT_TRUE(progress_seen);
  EXPECT_FALSE(f.main->ProgressWindow().isVisible());
  EXPECT_FALSE(f.main->Busy());
  EXPECT_TRUE(f.main->isEnabled());
  // Started without parameters: the Results mode shows the pages.
  EXPECT_EQ(f.main->Modes().Current(), 4);
  const std::string address = f.main->ResultsPage().Address().toStdString();
  EXPECT_EQ(address, f.main->Context().report_set->OutputFolder() + "index.htm");
  EXPECT_TRUE(platform::PathExists(address)) << status;
  EXPECT_TRUE(platform::PathExists(f.main->Context().report_set->OutputFolder() + "indexdetails.htm"));
}

// Cancels the analysis of the sample site with `cancel` once the pass is
// under way; answers the status pane and whether Cancel could be clicked.
void CancelDuringAnalysis(const std::function<void(ui::TfrmProg&)>& cancel) {
  TWindowFixture f;
  bool pressed = false;
  bool button_enabled = false;
  QTimer press;
  QObject::connect(&press, &QTimer::timeout, [&] {
    TfrmProg* core = f.main->Context().progress.get();
    if (pressed || core == nullptr || !core->TimerEnabled()) return;
    button_enabled = f.main->ProgressWindow().CancelButton().isEnabled();
    cancel(f.main->ProgressWindow());
    pressed = true;
  });
  press.start(1);
  f.main->MainPage().Analyze();
  press.stop();
  ASSERT_TRUE(pressed);
  // The pass turns the main window off; the progress window stays usable.
  EXPECT_TRUE(button_enabled);
  const std::string status = f.Status();
  EXPECT_NE(status.find("Aborted"), std::string::npos) << status;
  EXPECT_FALSE(f.main->Busy());
  EXPECT_TRUE(f.main->isEnabled());
  EXPECT_FALSE(f.main->ProgressWindow().isVisible());
  EXPECT_EQ(f.main->Modes().Current(), 0);
}

TEST(MainWindow, CancelEscapeOrClosingTheProgressWindowAbortsTheAnalysis) {
  CancelDuringAnalysis([](ui::TfrmProg& window) { window.CancelButton().click(); });
  CancelDuringAnalysis([](ui::TfrmProg& window) {
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&window, &escape);
  });
  CancelDuringAnalysis([](ui::TfrmProg& window) { window.close(); });
}

TEST(MainWindow, ASiteWithoutLogPathGivesAnErrorLineAndTheWindowGoesOn) {
  TWindowFixture f;
  f.main->Context().sites->GetSiteByName("Sample site")->log_path.clear();
  f.main->MainPage().Analyze();
  const std::string status = f.Status();
  EXPECT_NE(status.find("Error:"), std::string::npos) << status;
  EXPECT_NE(status.find("log path"), std::string::npos) << status;
  EXPECT_FALSE(f.main->Busy());
  EXPECT_TRUE(f.main->isEnabled());
  EXPECT_EQ(f.main->StatusPane().item(f.main->StatusPane().count() - 1)->foreground().color(),
            QColor(0xc6, 0x1c, 0x1c));
}

// Entering Main or Sites after an analysis of another site wrote that
// site's reports over the default site's report file.
TEST(MainWindow, RegressionTheReportSetGoesBackToItsOwnFile) {
  TWindowFixture f;
  const std::string reports = test::ReadFile(f.data / "reports.ini");
  const std::string marker = "Renamed for the other site";
  std::string other = reports;
  const size_t name = other.find("name=");
  ASSERT_NE(name, std::string::npos);
  other.replace(name, other.find("\r\n", name) - name, "name=" + marker);
  test::WriteFile(f.data / "other.ini", other);
  TWS& sites = *f.main->Context().sites;
  TWebSite copy = *sites.GetSiteByName("Sample site");
  copy.name = "Other";
  copy.report_file = "other.ini";
  copy.output_folder = "other_out";
  sites.AddSite(std::make_unique<TWebSite>(copy));

  ui::RunAnalysis(*f.main, "Other", false);
  ASSERT_EQ(f.main->Context().report_set->LoadedFile(), "other.ini") << f.Status();
  f.main->Modes().SwitchTo(2);
  f.main->Modes().SwitchTo(0);
  EXPECT_EQ(test::ReadFile(f.data / "reports.ini"), reports);
  EXPECT_NE(test::ReadFile(f.data / "other.ini").find(marker), std::string::npos);
}

TEST(MainWindow, AReportFileThatCannotBeWrittenOnModeEntryIsAnErrorLine) {
  TWindowFixture f;
  f.main->Context().report_set->GetReportByIndex(0)->report_name = "Changed";
  // A folder stands where the report file would be written.
  std::filesystem::remove(f.data / "reports.ini");
  std::filesystem::create_directory(f.data / "reports.ini");
  f.main->Modes().SwitchTo(2);
  EXPECT_NE(f.Status().find("reports.ini"), std::string::npos) << f.Status();
  EXPECT_EQ(f.main->Modes().Current(), 2);
  // The edit is still there for the next save, and the window goes on.
  EXPECT_EQ(f.main->Context().report_set->GetReportByIndex(0)->report_name, "Changed");
  f.main->Modes().SwitchTo(0);
  EXPECT_EQ(f.main->Modes().Current(), 0);
}

TEST(MainWindow, AMissingHelpPageSaysSoAndNothingElseChanges) {
  TWindowFixture f;
  std::vector<std::string> seen;
  test::WithModalAnswers([&] { f.main->ShowHelp("no-such-topic.htm"); }, test::CloseDialog, &seen);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_NE(seen[0].find("no-such-topic.htm"), std::string::npos) << seen[0];
  EXPECT_EQ(f.main->Modes().Current(), 0);
}

TEST(MainWindow, TheInstructionTipComesOnEveryEntryUntilSwitchedOff) {
  TWindowFixture f(std::string(test::kQuietGui) + "ShowReportsInstructions=-1\r\n");
  int tips = 0;
  auto enter_reports = [&](bool tick) {
    test::WithModalAnswers(
        [&] {
          f.main->Modes().SwitchTo(1);
          f.main->Modes().SwitchTo(0);
        },
        [&](QDialog& dialog) {
          ++tips;
          if (tick) dialog.findChild<QCheckBox*>("chkDontShow")->setChecked(true);
          dialog.accept();
        });
  };
  enter_reports(false);
  enter_reports(false);
  EXPECT_EQ(tips, 2);
  enter_reports(true);
  EXPECT_EQ(tips, 3);
  EXPECT_FALSE(f.main->Gui().show_reports_instructions);
  enter_reports(false);
  EXPECT_EQ(tips, 3);
}

TEST(WindowTranslation, GermanFromTheLanguageMenuAndWindowsShownLater) {
  TWindowFixture f;
  TLangTranslator& translator = *f.main->Context().translator;
  const std::vector<std::string>& names = translator.Languages();
  const auto german = std::find(names.begin(), names.end(), "Deutsch");
  ASSERT_NE(german, names.end());
  translator.SelectByIndex(static_cast<int>(german - names.begin()));
  f.main->RetranslateTexts();
  auto* analyze = f.main->findChild<QPushButton*>("btnAnalyze");
  EXPECT_EQ(analyze->text().toStdString(), "&Analysieren");
  EXPECT_EQ(analyze->toolTip().toStdString(), "Die Logs der gewählten Site analysieren (F9)");
  EXPECT_EQ(f.main->findChild<QToolButton*>("btnModeSites")->text().toStdString(), "Sites");
  EXPECT_EQ(f.main->findChild<QToolButton*>("btnModeSchedule")->text().toStdString(), "Zeitplan");
  // Items of a list control.
  EXPECT_EQ(f.main->MainPage().PeriodUnit().itemText(3).toStdString(), "Jahre");
  // A window shown later is translated when it shows.
  f.main->ProgressWindow().show();
  EXPECT_EQ(f.main->ProgressWindow().windowTitle().toStdString(), "Fortschritt");
  EXPECT_EQ(f.main->ProgressWindow().CancelButton().text().toStdString(), "Abbrechen");
  f.main->ProgressWindow().hide();
}

// The program itself: a SIGTERM closes the window the way its Close command
// does, with the settings saved.
TEST(WindowedProgram, SigtermSavesTheSettings) {
  test::TTempDir data;
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("TRELVAR_DATA_DIR", data.path().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    execl(TRELVAR_BINARY, TRELVAR_BINARY, static_cast<char*>(nullptr));
    _exit(127);
  }
  // The window has opened when its settings files are there.
  for (int i = 0; i < 300 && !platform::PathExists(data / "gui.ini"); ++i) usleep(20000);
  usleep(500000);
  kill(pid, SIGTERM);
  int status = 0;
  for (int i = 0; i < 500 && waitpid(pid, &status, WNOHANG) == 0; ++i) usleep(20000);
  if (waitpid(pid, &status, WNOHANG) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    FAIL() << "the window did not close on SIGTERM";
  }
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(platform::PathExists(data / "gui.ini.bak"));
  EXPECT_TRUE(platform::PathExists(data / "main.ini.bak"));
  EXPECT_TRUE(platform::PathExists(data / "schedule.ini"));
}

}  // namespace
}  // namespace trelvar
