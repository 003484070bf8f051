// The schedule: schedule.ini, the task texts, when a task is due, the tick.
#include "automation/schedule.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>

#include "automation/scheduler.h"
#include "base/errors.h"
#include "test_support.h"

namespace trelvar {
namespace {

TDateTime At(int y, int m, int d, int h = 0, int n = 0) {
  return EncodeDate(y, m, d) + EncodeTime(h, n, 0);
}

struct TScheduleFixture {
  test::TTempDir dir;
  TFolders folders{dir / "prog", dir / "data"};  // no defaults folder
  TSchedule schedule{folders};
  std::string File() const { return folders.Data() + "schedule.ini"; }
};

TEST(ScheduleFile, LoadKeepsWhatParsesAndIgnoresTheRest) {
  TScheduleFixture f;
  f.schedule.LoadFromText(
      "period=day\r\nday=5\r\n"  // before the first task: no effect
      "name=*\r\nPERIOD=Month\r\nday=31\r\nAnalyze=FALSE\r\nsendmail=yes\r\ntime=7:05\r\n"
      "lasttime=2024-02-29 23:59:58\r\ncolour=red\r\nno equals sign\r\n\r\n"
      "name=Shop\nperiod=fortnight\nday=x\ndownload= false \ntime=25:00\nlasttime=\n"
      "name=* \nday=-3\ntime=12:30:15\nlasttime=yesterday\n");
  // Written back, the tasks show what was read; bad values kept the defaults.
  EXPECT_EQ(f.schedule.SaveToText(),
            "name=*\r\nperiod=month\r\nday=31\r\nAnalyze=false\r\ndownload=true\r\n"
            "sendmail=true\r\ntime=07:05:00\r\nlasttime=2024-02-29 23:59:58\r\n\r\n"
            "name=Shop\r\nperiod=week\r\nday=1\r\nAnalyze=true\r\ndownload=false\r\n"
            "sendmail=false\r\ntime=00:00:00\r\n\r\n"
            // Only "*" itself stands for all sites; a day out of range is kept.
            "name=* \r\nperiod=week\r\nday=-3\r\nAnalyze=true\r\ndownload=true\r\n"
            "sendmail=false\r\ntime=12:30:15\r\n\r\n");
}

TEST(ScheduleFile, FlagsAreFalseOnlyForFalse) {
  const std::pair<const char*, bool> cases[] = {
      {"false", false}, {" False ", false}, {"true", true}, {"", true}, {"0", true}, {"no", true}};
  for (const auto& [text, expected] : cases) {
    TScheduleFixture f;
    f.schedule.LoadFromText(std::string("name=x\nanalyze=") + text + "\ndownload=" + text +
                            "\nsendmail=" + text + "\n");
    const TScheduleItem& t = f.schedule.Get(0);
    EXPECT_EQ(t.analyze, expected) << text;
    EXPECT_EQ(t.download, expected) << text;
    EXPECT_EQ(t.sendmail, expected) << text;
  }
}

TEST(ScheduleFile, SaveWritesBlocksThatLoadBackByteForByte) {
  TScheduleFixture f;
  f.schedule.Add().time = 2.75;  // whole days are not written
  TScheduleItem& day = f.schedule.Add();
  day.name = "Shop\r\nname=Injected";
  day.period = TSchedulePeriod::Day;
  day.analyze = false;
  day.lasttime = At(2025, 1, 31, 8, 15);
  TScheduleItem& month = f.schedule.Add();
  month.period = TSchedulePeriod::Month;
  month.day = 31;
  month.sendmail = true;
  month.lasttime = std::nan("");  // nothing a date could show
  f.schedule.Save();
  const std::string text = test::ReadFile(f.File());
  EXPECT_EQ(text,
            "name=*\r\nperiod=week\r\nday=1\r\nAnalyze=true\r\ndownload=true\r\n"
            "sendmail=false\r\ntime=18:00:00\r\n\r\n"
            "name=Shopname=Injected\r\nperiod=day\r\nAnalyze=false\r\ndownload=true\r\n"
            "sendmail=false\r\ntime=00:00:00\r\nlasttime=2025-01-31 08:15:00\r\n\r\n"
            "name=*\r\nperiod=month\r\nday=31\r\nAnalyze=true\r\ndownload=true\r\n"
            "sendmail=true\r\ntime=00:00:00\r\n\r\n");
  TSchedule again(f.folders);
  again.Load();
  ASSERT_EQ(again.Count(), 3u);
  EXPECT_FALSE(again.Get(1).analyze);
  EXPECT_EQ(again.Get(1).lasttime, At(2025, 1, 31, 8, 15));
  again.Save();
  EXPECT_EQ(test::ReadFile(f.File()), text);
  EXPECT_EQ(test::ReadFile(f.File() + ".bak"), text);
}

TEST(ScheduleFile, FirstUseCopiesTheShippedDefault) {
  test::TTempDir dir;
  TFolders folders(TRELVAR_SOURCE_DIR, dir / "data");
  for (int round = 0; round < 2; ++round) {
    TSchedule s(folders);
    s.Load();
    ASSERT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.Get(0).name, "");
    EXPECT_FALSE(s.Get(0).download);
    EXPECT_FALSE(s.Get(0).sendmail);
    EXPECT_TRUE(std::filesystem::exists(dir / "data/schedule.ini"));
    std::filesystem::remove(dir / "data/schedule.ini");
  }
}

TEST(ScheduleFile, MissingOrUnreadableFilesGiveNoTasksAndNoError) {
  TScheduleFixture missing;
  missing.schedule.Load();
  EXPECT_EQ(missing.schedule.Count(), 0u);
  missing.schedule.Add();
  missing.schedule.Save();  // a missing file is created
  EXPECT_TRUE(std::filesystem::exists(missing.File()));

  TScheduleFixture folder;  // schedule.ini is a folder: cannot be read nor written
  std::filesystem::create_directories(folder.File());
  folder.schedule.Load();
  EXPECT_EQ(folder.schedule.Count(), 0u);
  folder.schedule.Add();
  EXPECT_NO_THROW(folder.schedule.Save());
  EXPECT_TRUE(std::filesystem::is_directory(folder.File()));
}

// A passing read error must not lead Save to replace the user's tasks with none.
TEST(ScheduleFile, AFileThatCouldNotBeReadIsNotOverwritten) {
  if (geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
  TScheduleFixture closed;
  std::filesystem::create_directories(closed.folders.Data());
  test::WriteFile(closed.File(), "name=Kept\r\n");
  ASSERT_EQ(chmod(closed.File().c_str(), 0), 0);
  closed.schedule.Load();
  EXPECT_EQ(closed.schedule.Count(), 0u);
  closed.schedule.Save();
  chmod(closed.File().c_str(), 0600);
  EXPECT_EQ(test::ReadFile(closed.File()), "name=Kept\r\n");
}

TEST(ScheduleList, AddGetDeleteClear) {
  TScheduleFixture f;
  const TScheduleItem& fresh = f.schedule.Add();
  EXPECT_TRUE(fresh.download && fresh.analyze && !fresh.sendmail);
  EXPECT_EQ(fresh.period, TSchedulePeriod::Week);
  EXPECT_EQ(fresh.day, 1);
  f.schedule.Add().name = "b";
  f.schedule.Add().name = "c";
  f.schedule.Delete(0);
  ASSERT_EQ(f.schedule.Count(), 2u);
  EXPECT_EQ(f.schedule.Get(0).name, "b");
  EXPECT_EQ(f.schedule.Get(1).name, "c");
  EXPECT_THROW(f.schedule.Get(2), EListError);
  EXPECT_THROW(f.schedule.Delete(2), EListError);
  f.schedule.Clear();
  EXPECT_EQ(f.schedule.Count(), 0u);
}

TEST(ScheduleTexts, DescriptionsAndListColumns) {
  struct TCase {
    TSchedulePeriod period;
    int day;
    TDateTime time;
    const char* text;
  };
  const TCase cases[] = {
      {TSchedulePeriod::Day, 3, EncodeTime(6, 5, 59), "Every day at 06:05"},
      {TSchedulePeriod::Week, 3, EncodeTime(14, 30, 0), "Every Wednesday at 14:30"},
      {TSchedulePeriod::Week, 7, 1 + EncodeTime(23, 59, 0), "Every Sunday at 23:59"},
      {TSchedulePeriod::Week, 8, 0, "Every 8 at 00:00"},
      {TSchedulePeriod::Month, 15, EncodeTime(9, 0, 0), "Every 15 of each month at 09:00"},
  };
  for (const TCase& c : cases) {
    TScheduleItem t;
    t.period = c.period;
    t.day = c.day;
    t.time = c.time;
    EXPECT_EQ(TSchedule::Describe(t), c.text);
  }
  TScheduleItem t;
  EXPECT_EQ(ScheduleSiteText(t), "All sites");
  EXPECT_EQ(ScheduleLastRunText(t), "Never");
  t.name = "Shop";
  t.lasttime = At(2024, 3, 6, 7, 8) + EncodeTime(0, 0, 9);
  EXPECT_EQ(ScheduleSiteText(t), "Shop");
  EXPECT_EQ(ScheduleLastRunText(t), "06-03-2024 07:08");
}

// 2024-03-04 is a Monday.
TEST(ScheduleDue, DailyAndWeeklyTasks) {
  struct TCase {
    TSchedulePeriod period;
    int day;
    int hour;
    TDateTime lasttime;
    TDateTime now;
    bool due;
  };
  const TDateTime never = 0;
  const TCase cases[] = {
      {TSchedulePeriod::Day, 1, 0, never, At(2024, 3, 4), true},
      {TSchedulePeriod::Day, 1, 0, At(2024, 3, 3, 23, 59), At(2024, 3, 4), true},
      {TSchedulePeriod::Day, 1, 10, At(2024, 3, 3, 10), At(2024, 3, 4, 9, 59), false},
      {TSchedulePeriod::Day, 1, 10, At(2024, 3, 3, 10), At(2024, 3, 4, 10), true},
      {TSchedulePeriod::Day, 1, 10, At(2024, 3, 4, 0, 1), At(2024, 3, 4, 23, 59), false},
      {TSchedulePeriod::Month, 4, 0, At(2024, 3, 4, 0, 1), At(2024, 3, 4, 23, 59), false},
      // Wednesday 10:00, never run.
      {TSchedulePeriod::Week, 3, 10, never, At(2024, 3, 4, 23), false},
      {TSchedulePeriod::Week, 3, 10, never, At(2024, 3, 5, 12), false},
      {TSchedulePeriod::Week, 3, 10, never, At(2024, 3, 6, 9, 59), false},
      {TSchedulePeriod::Week, 3, 10, never, At(2024, 3, 6, 10), true},
      {TSchedulePeriod::Week, 3, 10, never, At(2024, 3, 7, 10, 1), true},
      {TSchedulePeriod::Week, 3, 10, never, At(2024, 3, 10, 22), true},
      // Last run on Monday.
      {TSchedulePeriod::Week, 3, 10, At(2024, 3, 4, 12), At(2024, 3, 6, 9), false},
      {TSchedulePeriod::Week, 3, 10, At(2024, 3, 4, 12), At(2024, 3, 6, 10), true},
      {TSchedulePeriod::Week, 3, 10, At(2024, 3, 4, 12), At(2024, 3, 7, 0), true},
      // Last run on Wednesday: more than seven days back is due at once.
      {TSchedulePeriod::Week, 3, 10, At(2024, 3, 6, 10), At(2024, 3, 12, 23), false},
      {TSchedulePeriod::Week, 3, 10, At(2024, 3, 6, 10), At(2024, 3, 14, 0), true},
      {TSchedulePeriod::Week, 3, 10, At(2024, 2, 20, 10), At(2024, 3, 4, 0), true},
      {TSchedulePeriod::Week, 3, 10, At(2024, 3, 6, 10), At(2024, 3, 6, 23), false},
  };
  for (const TCase& c : cases) {
    TScheduleItem t;
    t.period = c.period;
    t.day = c.day;
    t.time = 5 + EncodeTime(c.hour, 0, 0);
    t.lasttime = c.lasttime;
    EXPECT_EQ(TSchedule::IsDue(t, c.now), c.due)
        << DateTimeToStr(c.now) << " last " << c.lasttime << " period " << int(c.period);
    EXPECT_NEAR(t.time, EncodeTime(c.hour, 0, 0), 1e-9);  // reduced and kept
  }
}

// A weekly task that ran on its day once became due only at midnight of
// the following week's next day, so its run moved a weekday later every
// week.
TEST(ScheduleDue, RegressionWeeklyTaskRunsOnItsDayEveryWeek) {
  for (int day = 1; day <= 7; ++day) {
    TScheduleItem t;
    t.period = TSchedulePeriod::Week;
    t.day = day;
    t.time = EncodeTime(10, 0, 0);
    int runs = 0;
    for (int hour = 0; hour < 24 * 7 * 10; ++hour) {  // ten weeks from a Monday
      const TDateTime now = At(2024, 3, 4) + hour / 24.0;
      if (!TSchedule::IsDue(t, now)) continue;
      ++runs;
      const TDateParts p = DecodeDateTime(now);
      EXPECT_EQ((DayOfWeek(now) + 5) % 7 + 1, day) << DateTimeToStr(now);
      EXPECT_EQ(p.hour, 10) << DateTimeToStr(now);
      t.lasttime = now + EncodeTime(0, 5, 0);  // the run took five minutes
    }
    EXPECT_EQ(runs, 10) << "day " << day;
  }
}

// A monthly task walked hour by hour from November 2023 to February 2025
// (a leap February, months of 30 and 31 days, two year changes), run
// whenever it is due.
TEST(ScheduleDue, MonthlyTasksRunOnceAMonthOnTheirDayOrTheMonthsLast) {
  const std::pair<int, std::vector<int>> cases[] = {
      {31, {30, 31, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 31, 28}},
      {30, {30, 30, 30, 29, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 28}},
      {29, {29, 29, 29, 29, 29, 29, 29, 29, 29, 29, 29, 29, 29, 29, 29, 28}},
      {1, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {0, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
      {99, {30, 31, 31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31, 31, 28}},
  };
  for (const auto& [day, expected] : cases) {
    TScheduleItem t;
    t.period = TSchedulePeriod::Month;
    t.day = day;
    t.time = EncodeTime(14, 30, 0);
    std::vector<int> run_days;
    for (int hour = 0; At(2023, 11, 1) + hour / 24.0 < At(2025, 3, 1); ++hour) {
      const TDateTime now = At(2023, 11, 1) + hour / 24.0;
      if (!TSchedule::IsDue(t, now)) continue;
      const TDateParts p = DecodeDateTime(now);
      EXPECT_EQ(p.hour, 15) << "day " << day;  // the first tick after 14:30
      run_days.push_back(p.day);
      t.lasttime = now;
    }
    EXPECT_EQ(run_days, expected) << "day " << day;
  }
  TScheduleItem t;  // for the 31st: ran on 30 April, due again on 31 May
  t.period = TSchedulePeriod::Month;
  t.day = 31;
  t.lasttime = At(2024, 4, 30, 1);
  EXPECT_FALSE(TSchedule::IsDue(t, At(2024, 5, 1, 12)));
  EXPECT_FALSE(TSchedule::IsDue(t, At(2024, 5, 30, 23, 59)));
  EXPECT_TRUE(TSchedule::IsDue(t, At(2024, 5, 31)));
  t.lasttime = At(2025, 1, 1);  // the clock was put back a year
  EXPECT_TRUE(TSchedule::IsDue(t, At(2024, 5, 31)));
}

// Records the jobs; a hook may act in the middle of one, as window events do.
struct TRecordingRunner : TTaskRunner {
  std::vector<std::string> jobs;
  std::vector<std::string> sites = {"a", "b"};
  std::function<void()> during_job;
  TDateTime* clock = nullptr;
  void Job(const std::string& text) {
    jobs.push_back(text);
    if (clock) *clock += 1.0 / 24;  // every job takes an hour
    if (auto hook = during_job) hook();  // a copy: the hook may replace itself
  }
  void Download(const std::string& site) override { Job("download " + site); }
  void Analyze(const std::string& site, bool mail) override {
    Job("analyze " + site + (mail ? " mail" : ""));
  }
  std::vector<std::string> SiteNames() override { return sites; }
};

TEST(ScheduleTick, RunsTheFirstDueTaskUnlessBusy) {
  TScheduleFixture f;
  TDateTime now = At(2024, 3, 4, 12);
  TScheduler scheduler([&] { return now; });
  TRecordingRunner runner;
  runner.clock = &now;
  TScheduleItem& later = f.schedule.Add();  // not due before 13:00
  later.period = TSchedulePeriod::Day;
  later.time = EncodeTime(13, 0, 0);
  TScheduleItem& all = f.schedule.Add();
  all.period = TSchedulePeriod::Day;
  all.sendmail = true;
  TScheduleItem& shop = f.schedule.Add();
  shop.period = TSchedulePeriod::Day;
  shop.name = "shop";
  shop.download = false;

  EXPECT_FALSE(scheduler.Tick(f.schedule, true, runner));
  EXPECT_TRUE(runner.jobs.empty());
  EXPECT_TRUE(scheduler.Tick(f.schedule, false, runner));
  EXPECT_EQ(runner.jobs, (std::vector<std::string>{"download a", "analyze a mail", "download b",
                                                   "analyze b mail"}));
  EXPECT_EQ(DateTimeToStr(all.lasttime), "2024-03-04 16:00:00");  // after four hours of jobs
  EXPECT_EQ(shop.lasttime, 0);
  runner.jobs.clear();
  EXPECT_TRUE(scheduler.Tick(f.schedule, false, runner));  // 16:00: the first task now
  EXPECT_EQ(runner.jobs, (std::vector<std::string>{"download a", "analyze a", "download b",
                                                   "analyze b"}));
  runner.jobs.clear();
  EXPECT_TRUE(scheduler.Tick(f.schedule, false, runner));
  EXPECT_EQ(runner.jobs, (std::vector<std::string>{"analyze shop"}));
  EXPECT_FALSE(scheduler.Tick(f.schedule, false, runner));  // all ran today
}

TEST(ScheduleTick, EventsDuringARunCannotStartAnotherOrLeaveADanglingTask) {
  TScheduleFixture f;
  TScheduler scheduler([] { return At(2024, 3, 4, 12); });
  TRecordingRunner runner;
  f.schedule.Add().name = "first";
  f.schedule.Add().name = "second";
  bool nested = true;
  runner.during_job = [&] {
    runner.during_job = nullptr;
    nested = scheduler.Tick(f.schedule, false, runner);
    f.schedule.Delete(0);  // the user deletes the running task
  };
  EXPECT_TRUE(scheduler.Tick(f.schedule, false, runner));
  EXPECT_FALSE(nested);
  EXPECT_EQ(runner.jobs, (std::vector<std::string>{"download first", "analyze first"}));
  ASSERT_EQ(f.schedule.Count(), 1u);
  EXPECT_EQ(f.schedule.Get(0).lasttime, 0);  // "second" has not run

  // A job that raises: the error goes on, the task counts as run.
  f.schedule.Clear();
  f.schedule.Add().name = "broken";
  runner.during_job = [] { throw EInOutError("gone"); };
  EXPECT_THROW(scheduler.Tick(f.schedule, false, runner), EInOutError);
  EXPECT_EQ(f.schedule.Get(0).lasttime, At(2024, 3, 4, 12));
  EXPECT_FALSE(scheduler.Running());
}

}  // namespace
}  // namespace trelvar
