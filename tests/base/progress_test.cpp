#include "base/progress.h"

#include <gtest/gtest.h>

#include "base/web_helpers.h"
#include "test_support.h"

namespace trelvar {
namespace {

int Occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// A reporter with a clock the test moves, on a capture host of the given
// run mode, which takes what it publishes.
struct TProgressRig {
  explicit TProgressRig(TRunMode mode)
      : capture(mode), progress(capture, [this] { return now_ms; }) {}

  test::TCaptureHost capture;
  int64_t now_ms = 5000;
  TfrmProg progress;
};

TEST(Progress, ConsoleAndCgiLinesAtHalfway) {
  struct TCase {
    TRunMode mode;
    std::string out;
  };
  const std::vector<TCase> cases = {
      {TRunMode::Console, "Processing ... 50.00% Left 5 secs, 0 msecs.\n"},
      {TRunMode::Web, "<p>Processing ... 50.00% Left 5 secs, 0 msecs.</p>\r\n"},
      {TRunMode::Windowed, ""},
  };
  for (const TCase& c : cases) {
    TProgressRig rig(c.mode);
    rig.progress.Start("Scanning", 10);
    rig.progress.SetPosition(5);
    rig.now_ms += 6000;  // 6 s for 5 of 10 steps: 5 s left
    rig.capture.ProcessMessages();
    EXPECT_EQ(rig.capture.stdout_text, c.out);
    EXPECT_EQ(rig.progress.BarPosition(), 5);
    EXPECT_EQ(rig.progress.TimeLeftText(), "5 secs, 0 msecs.");
    EXPECT_EQ(rig.progress.RateText(), "0.83");
  }
}

TEST(Progress, EstimateAtPositionZeroIsElapsedTimesSteps) {
  TProgressRig rig(TRunMode::Console);
  rig.progress.Start("Scanning", 10);
  rig.now_ms += 2000;
  rig.capture.ProcessMessages();
  EXPECT_EQ(rig.progress.TimeLeftText(), DurationText(20.0 / 86400));
  EXPECT_EQ(rig.capture.stdout_text, "Processing ... 0.00% Left 20 secs, 0 msecs.\n");
  EXPECT_EQ(rig.progress.RateText(), "0.00");
}

TEST(Progress, TicksOncePerSecondWhileTheTimerRuns) {
  TProgressRig rig(TRunMode::Web);
  rig.capture.ProcessMessages();  // not started: nothing
  rig.progress.Start("Scanning", 1000);
  for (int i = 0; i < 999; ++i) {  // 999 ms of lines
    rig.now_ms += 1;
    rig.capture.ProcessMessages();
  }
  EXPECT_EQ(rig.capture.stdout_text, "");
  rig.now_ms += 1;
  rig.progress.SetPosition(249);  // 1 s for 249 steps: 751 steps take 3.004 s
  rig.capture.ProcessMessages();
  rig.capture.ProcessMessages();
  EXPECT_EQ(rig.capture.stdout_text, "<p>Processing ... 24.90% Left 3 secs, 4 msecs.</p>\r\n");
  // A long stall gives one line, not one per missed second.
  rig.now_ms += 10000;
  rig.capture.ProcessMessages();
  rig.capture.ProcessMessages();
  rig.now_ms += 999;
  rig.capture.ProcessMessages();
  EXPECT_EQ(Occurrences(rig.capture.stdout_text, "Processing"), 2);
  rig.progress.StopTimer();
  const std::string before = rig.capture.stdout_text;
  rig.now_ms += 5000;
  rig.capture.ProcessMessages();
  EXPECT_EQ(rig.capture.stdout_text, before);
}

TEST(Progress, PercentUsesTheStepsAndTheEstimateTheBar) {
  TProgressRig rig(TRunMode::Console);
  rig.progress.Start("Saving", 3);
  rig.progress.SetPosition(1);
  rig.now_ms += 1000;
  rig.progress.TimerTick();
  EXPECT_EQ(rig.capture.stdout_text, "Processing ... 33.33% Left 1 sec, 0 msecs.\n");
  // Without steps there is no percentage and no line, but no failure either.
  rig.capture.stdout_text.clear();
  rig.progress.Start("Nothing", 0);
  rig.now_ms += 1000;
  rig.progress.TimerTick();
  EXPECT_EQ(rig.capture.stdout_text, "");
}

TEST(Progress, CancelLastsUntilTheNextStart) {
  TProgressRig rig(TRunMode::Windowed);
  EXPECT_FALSE(rig.progress.IsCancelled());
  rig.progress.Cancel();
  EXPECT_TRUE(rig.progress.IsCancelled());
  rig.progress.Start("Again", 5);
  EXPECT_FALSE(rig.progress.IsCancelled());
}

TEST(Progress, StartAndControlsKeepWhatTheWindowShows) {
  TProgressRig rig(TRunMode::Windowed);
  EXPECT_EQ(rig.progress.InfoCaption(), "Scanning log file  ...");
  EXPECT_EQ(rig.progress.FileName(), "none");
  EXPECT_FALSE(rig.progress.TimerEnabled());
  rig.progress.SetBarPosition(7);
  rig.progress.Start("Loading cache...", 12);
  EXPECT_EQ(rig.progress.InfoCaption(), "Loading cache...");
  EXPECT_EQ(rig.progress.BarMaximum(), 12);
  EXPECT_EQ(rig.progress.BarPosition(), 0);
  EXPECT_EQ(rig.progress.StepsTotal(), 12);
  EXPECT_TRUE(rig.progress.TimerEnabled());
  EXPECT_GT(rig.progress.StartedAt(), 0);
  rig.progress.SetFileName("/logs/a.log");
  EXPECT_EQ(rig.progress.FileName(), "/logs/a.log");
  rig.progress.ClearFileName();
  EXPECT_EQ(rig.progress.FileName(), "");
  rig.progress.SetUnitLabelVisible(false);
  EXPECT_FALSE(rig.progress.UnitLabelVisible());
  rig.progress.Show();
  EXPECT_TRUE(rig.progress.Visible());
  rig.progress.Hide();
  EXPECT_FALSE(rig.progress.Visible());
  rig.progress.SetFraction(0.25);
  EXPECT_EQ(rig.progress.Fraction(), 0.25);
}

TEST(Progress, LeavesTheHostWhenItGoes) {
  test::TCaptureHost capture(TRunMode::Console);
  int64_t now = 0;
  {
    TfrmProg progress(capture, [&] { return now; });
    progress.Start("x", 2);
  }
  now = 10000;
  capture.ProcessMessages();  // no reporter left to tick
  EXPECT_EQ(capture.stdout_text, "");
}

}  // namespace
}  // namespace trelvar
