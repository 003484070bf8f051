// The Schedule mode: editing tasks, the texts of the task list, and a due
// task run by the main window's tick.
#include "ui/schedule_mode.h"
#include "ui/ui_fixture.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimeEdit>
#include <QTimer>
#include <fstream>
#include <memory>
#include <sstream>

#include "automation/schedule.h"
#include "base/datetime.h"
#include "reports/run_context.h"
#include "platform/files.h"
#include "test_support.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace trelvar::ui {
namespace {

const std::string kDefaults = std::string(TRELVAR_SOURCE_DIR) + "/Default/";

// The first `lines` lines of a text file.
std::string Head(const std::string& path, int lines) {
  std::ifstream in(path, std::ios::binary);
  std::string out, line;
  for (int i = 0; i < lines && std::getline(in, line); ++i) out += line + "\n";
  return out;
}

// A data folder with the shipped settings and sample site (its log cut
// short so that an analysis is quick), no instruction tips, and the
// schedule the test gives; the main window opened on it.
struct ScheduleModeTest : ::testing::Test {
  test::TTempDir dir;
  std::unique_ptr<TfrmMainW> main;

  void Start(const std::string& schedule_ini) {
    for (const char* name : {"main.ini", "websites.ini", "reports.ini", "spiders.ini"})
      test::WriteFile(dir / name, test::ReadFile(kDefaults + name));
    test::WriteFile(dir / "ex0012.log", Head(kDefaults + "ex0012.log", 300));
    test::WriteFile(dir / "gui.ini", test::kQuietGui);
    test::WriteFile(dir / "schedule.ini", schedule_ini);
    main = test::OpenMainWindow(dir.path());
    ASSERT_TRUE(main->IsOpen());
  }
  void TearDown() override {
    main.reset();
    qunsetenv("TRELVAR_DATA_DIR");
  }

  TScheduleModePage& Page() { return main->SchedulePage(); }
  void EnterSchedule() { main->Modes().SwitchTo(static_cast<int>(TMode::Schedule)); }
  void LeaveSchedule() { main->Modes().SwitchTo(static_cast<int>(TMode::Main)); }
  QString Cell(int row, int column) {
    QTableWidgetItem* item = Page().TaskList().item(row, column);
    return item != nullptr ? item->text() : QStringLiteral("<none>");
  }
  std::string SavedSchedule() { return test::ReadFile(dir / "schedule.ini"); }
  // Answers the question that the next modal box asks, and remembers it.
  void AnswerNextQuestion(bool yes, QString* question) {
    QTimer::singleShot(0, [yes, question] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      if (question != nullptr) *question = box->text();
      box->button(yes ? QMessageBox::Yes : QMessageBox::No)->click();
    });
  }
};

TEST_F(ScheduleModeTest, NewTaskEditedAndSavedWhenTheModeIsLeft) {
  Start("");
  EnterSchedule();
  TScheduleModePage& page = Page();
  EXPECT_EQ(page.TaskList().rowCount(), 0);
  EXPECT_FALSE(page.findChild<QPushButton*>("btnTaskDelete")->isEnabled());
  EXPECT_EQ(page.TimeBox().displayFormat(), QStringLiteral("HH:mm"));

  page.findChild<QPushButton*>("btnTaskNew")->click();
  ASSERT_EQ(main->Schedule().Count(), 1u);
  EXPECT_EQ(page.SelectedTask(), 0);
  // A new task: all sites, every Monday at 00:00, never run.
  EXPECT_EQ(Cell(0, 0), QStringLiteral("All sites"));
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Every Monday at 00:00"));
  EXPECT_EQ(Cell(0, 2), QStringLiteral("Never"));
  EXPECT_EQ(page.SiteBox().currentText(), QStringLiteral("All sites"));
  EXPECT_TRUE(page.DownloadBox().isChecked());
  EXPECT_TRUE(page.AnalyzeBox().isChecked());
  EXPECT_FALSE(page.SendMailBox().isChecked());

  page.SiteBox().setCurrentIndex(page.SiteBox().findText(QStringLiteral("Sample site")));
  page.PeriodBox().setCurrentIndex(static_cast<int>(TSchedulePeriod::Month));
  page.MonthDayBox().setValue(15);
  page.TimeBox().setTime(QTime(14, 30));
  page.DownloadBox().setChecked(false);
  page.SendMailBox().setChecked(true);

  const TScheduleItem& task = main->Schedule().Get(0);
  EXPECT_EQ(task.name, "Sample site");
  EXPECT_EQ(task.period, TSchedulePeriod::Month);
  EXPECT_EQ(task.day, 15);
  EXPECT_NEAR(task.time, EncodeTime(14, 30, 0), 1e-9);
  EXPECT_EQ(Cell(0, 0), QStringLiteral("Sample site"));
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Every 15 of each month at 14:30"));

  LeaveSchedule();
  EXPECT_EQ(SavedSchedule(),
            "name=Sample site\r\nperiod=month\r\nday=15\r\nAnalyze=true\r\ndownload=false\r\n"
            "sendmail=true\r\ntime=14:30:00\r\n\r\n");

  // Back to "All sites": the file says "*".
  EnterSchedule();
  EXPECT_EQ(page.SelectedTask(), 0);
  page.SiteBox().setCurrentIndex(0);
  LeaveSchedule();
  EXPECT_EQ(SavedSchedule().rfind("name=*\r\n", 0), 0u) << SavedSchedule();
}

// Changing the repeat keeps the day's number where the new period has it.
TEST_F(ScheduleModeTest, RepeatAndDayChoices) {
  struct Case {
    TSchedulePeriod from;
    int day;
    TSchedulePeriod to;
    int expected_day;
    const char* description;
  };
  const Case cases[] = {
      {TSchedulePeriod::Week, 3, TSchedulePeriod::Month, 3, "Every 3 of each month at 07:05"},
      {TSchedulePeriod::Month, 15, TSchedulePeriod::Week, 1, "Every Monday at 07:05"},
      {TSchedulePeriod::Month, 7, TSchedulePeriod::Week, 7, "Every Sunday at 07:05"},
      {TSchedulePeriod::Month, 31, TSchedulePeriod::Day, 31, "Every day at 07:05"},
      // A hand-edited day out of range gets a valid one with the new period.
      {TSchedulePeriod::Day, 0, TSchedulePeriod::Month, 1, "Every 1 of each month at 07:05"},
      {TSchedulePeriod::Day, 9, TSchedulePeriod::Week, 1, "Every Monday at 07:05"},
  };
  Start("");
  EnterSchedule();
  TScheduleModePage& page = Page();
  for (const Case& c : cases) {
    page.NewTask();
    TScheduleItem& task = main->Schedule().Get(main->Schedule().Count() - 1);
    task.period = c.from;
    task.day = c.day;
    task.time = EncodeTime(7, 5, 0);
    page.Refresh();
    page.PeriodBox().setCurrentIndex(static_cast<int>(c.to));
    EXPECT_EQ(task.period, c.to) << c.description;
    EXPECT_EQ(task.day, c.expected_day) << c.description;
    EXPECT_EQ(Cell(page.SelectedTask(), 1), QString::fromLatin1(c.description));
    // Only the day control of the period is offered.
    EXPECT_EQ(page.WeekdayBox().isVisibleTo(&page), c.to == TSchedulePeriod::Week) << c.description;
    EXPECT_EQ(page.MonthDayBox().isVisibleTo(&page), c.to == TSchedulePeriod::Month) << c.description;
  }

  // The weekday box sets the weekday, Monday first.
  page.PeriodBox().setCurrentIndex(static_cast<int>(TSchedulePeriod::Week));
  page.WeekdayBox().setCurrentIndex(2);
  EXPECT_EQ(main->Schedule().Get(main->Schedule().Count() - 1).day, 3);
  EXPECT_EQ(Cell(page.SelectedTask(), 1), QStringLiteral("Every Wednesday at 07:05"));
}

TEST_F(ScheduleModeTest, ListTextsAndSelectionKeptOnEntry) {
  Start("name=*\r\nperiod=day\r\nAnalyze=true\r\ndownload=false\r\nsendmail=false\r\n"
        "time=03:00:00\r\n\r\n"
        "name=Sample site\r\nperiod=week\r\nday=3\r\ntime=14:30:00\r\n"
        "lasttime=2024-02-29 23:59:58\r\n\r\n"
        "name=Gone\r\nperiod=week\r\nday=9\r\ntime=12:30:15\r\nlasttime=2000-01-02 03:04:05\r\n");
  EnterSchedule();
  TScheduleModePage& page = Page();
  ASSERT_EQ(page.TaskList().rowCount(), 3);
  EXPECT_EQ(Cell(0, 0), QStringLiteral("All sites"));
  EXPECT_EQ(Cell(0, 1), QStringLiteral("Every day at 03:00"));
  EXPECT_EQ(Cell(0, 2), QStringLiteral("Never"));
  EXPECT_EQ(Cell(1, 0), QStringLiteral("Sample site"));
  EXPECT_EQ(Cell(1, 1), QStringLiteral("Every Wednesday at 14:30"));
  EXPECT_EQ(Cell(1, 2), QStringLiteral("29-02-2024 23:59"));
  EXPECT_EQ(Cell(2, 0), QStringLiteral("Gone"));
  EXPECT_EQ(Cell(2, 2), QStringLiteral("02-01-2000 03:04"));
  // The first task is selected on entry.
  EXPECT_EQ(page.SelectedTask(), 0);
  EXPECT_EQ(page.TimeBox().time(), QTime(3, 0));

  // A site the registry no longer has is shown as it is and not changed;
  // neither are the day out of range and the seconds of its time.
  page.SelectTask(2);
  EXPECT_EQ(page.SiteBox().currentText(), QStringLiteral("Gone"));
  EXPECT_EQ(page.WeekdayBox().currentIndex(), -1);
  EXPECT_EQ(page.TimeBox().time(), QTime(12, 30));
  const TScheduleItem& gone = main->Schedule().Get(2);
  EXPECT_EQ(gone.name, "Gone");
  EXPECT_EQ(gone.day, 9);
  EXPECT_NEAR(gone.time, EncodeTime(12, 30, 15), 1e-9);

  // Leaving and entering again selects the same task.
  page.SelectTask(1);
  LeaveSchedule();
  EnterSchedule();
  EXPECT_EQ(page.SelectedTask(), 1);
  EXPECT_EQ(page.SiteBox().currentText(), QStringLiteral("Sample site"));
  EXPECT_EQ(page.WeekdayBox().currentIndex(), 2);
}

TEST_F(ScheduleModeTest, DeleteAsksFirst) {
  Start("name=First\r\nperiod=day\r\ntime=01:00:00\r\n\r\n"
        "name=Second\r\nperiod=day\r\ntime=02:00:00\r\n\r\n");
  EnterSchedule();
  TScheduleModePage& page = Page();
  auto* remove = page.findChild<QPushButton*>("btnTaskDelete");
  page.SelectTask(0);

  QString question;
  AnswerNextQuestion(false, &question);
  remove->click();
  EXPECT_TRUE(question.contains(QStringLiteral("First: Every day at 01:00"))) << S(question);
  EXPECT_EQ(main->Schedule().Count(), 2u);

  AnswerNextQuestion(true, nullptr);
  remove->click();
  ASSERT_EQ(main->Schedule().Count(), 1u);
  EXPECT_EQ(main->Schedule().Get(0).name, "Second");
  ASSERT_EQ(page.TaskList().rowCount(), 1);
  EXPECT_EQ(Cell(0, 0), QStringLiteral("Second"));
  // The next task takes the deleted one's place in the selection.
  EXPECT_EQ(page.SelectedTask(), 0);
  EXPECT_EQ(page.SiteBox().currentText(), QStringLiteral("Second"));

  AnswerNextQuestion(true, nullptr);
  remove->click();
  EXPECT_EQ(main->Schedule().Count(), 0u);
  EXPECT_EQ(page.SelectedTask(), -1);
  EXPECT_FALSE(remove->isEnabled());
  LeaveSchedule();
  EXPECT_EQ(SavedSchedule(), "");
}

TEST_F(ScheduleModeTest, DueTaskRunByTheTickUnlessBusy) {
  Start("");
  const TDateTime now = EncodeDate(2024, 3, 5) + EncodeTime(10, 30, 0);
  main->SetScheduleClock([now] { return now; });
  TScheduleItem& task = main->Schedule().Add();
  task.name = "Sample site";
  task.period = TSchedulePeriod::Day;
  task.time = EncodeTime(10, 0, 0);
  task.download = false;
  task.analyze = true;
  task.sendmail = false;
  // The list and details pages (the frame page "index.htm" is a support
  // file, copied from the program's defaults, which the tests do not have).
  const std::string index = dir / "sample_out/indexdetails.htm";

  main->Busy() = true;
  main->ScheduleTick();
  EXPECT_FALSE(platform::PathExists(index));
  EXPECT_EQ(task.lasttime, 0);

  main->Busy() = false;
  main->ScheduleTick();
  EXPECT_TRUE(platform::PathExists(index));
  EXPECT_TRUE(platform::PathExists(dir / "sample_out/indexlist.htm"));
  EXPECT_EQ(task.lasttime, now);
  EXPECT_FALSE(main->Busy());

  Page().Refresh();
  EXPECT_EQ(Cell(0, 2), QStringLiteral("05-03-2024 10:30"));
  // Ran today: the next tick leaves it alone.
  platform::RemoveFile(index);
  main->ScheduleTick();
  EXPECT_FALSE(platform::PathExists(index));
}

}  // namespace
}  // namespace trelvar::ui
