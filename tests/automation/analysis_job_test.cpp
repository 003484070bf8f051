// The analysis period taken from a choice of period.
#include "automation/analysis_job.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "config/gui_settings.h"
#include "reports/run_context.h"
#include "test_support.h"

namespace trelvar {
namespace {

// "The last 2147483647 years" once began long before the year 1, and its
// start went into the page's time range and the cache.
TEST(AnalysisPeriod, LastPeriodsBeginWithinTheCalendar) {
  const TDateTime first = EncodeDate(1, 1, 1);
  const TDateTime last = EncodeDate(9999, 12, 31) + EncodeTime(23, 59, 59, 999);
  struct TCase {
    int count, unit;
    double days_back;  // < 0: from the first date there is
  };
  const TCase cases[] = {
      {30, 1, 30},
      {2, 0, 2.0 / 24},
      {1, 3, 365.25},
      {7, 9, 7},  // an unknown unit counts days
      {10000, 3, -1},
      {INT_MAX, 3, -1},
      {INT_MAX, 0, -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " of unit " + std::to_string(c.unit));
    TPeriodChoice cmd;
    cmd.type = TPeriodType::Last;
    cmd.count = c.count;
    cmd.unit = c.unit;
    bool use_period = false;
    TDateTime from = 0, to = 0;
    ComputeAnalysisPeriod(cmd, use_period, from, to);
    EXPECT_TRUE(use_period);
    if (c.days_back < 0) {
      EXPECT_EQ(from, first);
    } else {
      EXPECT_NEAR(to - from, c.days_back, 1e-6);
    }
    EXPECT_GE(from, first);
    EXPECT_LE(from, last);
  }
  // A negative count reaches at most the last date there is.
  TPeriodChoice ahead;
  ahead.type = TPeriodType::Last;
  ahead.count = INT_MIN;
  ahead.unit = 3;
  bool use_period = false;
  TDateTime from = 0, to = 0;
  ComputeAnalysisPeriod(ahead, use_period, from, to);
  EXPECT_NEAR(from, last, 1e-9);
}

}  // namespace
}  // namespace trelvar

namespace trelvar {
namespace {

// Records the questions of the job and answers them as told.
class TAskingHost : public test::TCaptureHost {
 public:
  TAskingHost() : TCaptureHost(TRunMode::Console) {}
  bool Ask(const TQuestion& q) override {
    questions.push_back(q.text);
    if (q.dont_ask_again != nullptr) *q.dont_ask_again = tick_box;
    return answer;
  }
  void ClearOutput() override { ++clears; }

  bool answer = true;
  bool tick_box = false;
  std::vector<std::string> questions;
  int clears = 0;
};

const std::string kLine = "10.0.0.1 - - [07/Dec/2005:10:00:00 +0000] \"GET /a.htm HTTP/1.0\" 200 10";

// A data folder with the shipped settings, one site "T" of the NSCA format, its log
// written by each test, and one basic report.
struct JobTest : ::testing::Test {
  test::TTempDir dir;
  // The host outlives the context: its progress reporter leaves the host
  // when it goes.
  TAskingHost host;
  TRunContext ctx{TFolders(dir / "prog", dir / "data")};
  std::unique_ptr<TGUISettings> gui_settings;
  bool busy = false;
  TJobOptions options;

  void SetUp() override {
    test::WriteFile(dir / "data/main.ini",
                    test::ReadFile(std::string(TRELVAR_SOURCE_DIR) + "/Default/main.ini") +
                        "CleanOutputFolder=-1\r\nAutoStartBrowser=0\r\nReverseDNSLookup=0\r\n");
    test::WriteFile(dir / "data/websites.ini",
                    "name=T\r\nlogpath=access.log\r\noutputdir=out\r\nformat=NSCA Common\r\n"
                    "reportfile=reports.ini\r\n");
    test::WriteFile(dir / "data/reports.ini", "category=All\r\ntype=basic\r\nparam=href\r\n");
    ctx.formats = std::make_unique<TLogFmts>();
    ctx.settings = std::make_unique<TMainSettings>(ctx.folders, *ctx.formats, nullptr);
    ctx.progress = std::make_unique<TfrmProg>(RunControl());
    ctx.sites = std::make_unique<TWS>(ctx.folders);
    ctx.sites->LoadFromFile();
    test::WriteFile(dir / "data/gui.ini",
                    test::ReadFile(std::string(TRELVAR_SOURCE_DIR) + "/Default/gui.ini"));
    gui_settings = std::make_unique<TGUISettings>(ctx.folders);
    options.busy = &busy;
  }
  // A log of `kb` kilobytes and a few bytes less than the next one.
  void WriteLog(int64_t kb) {
    std::string text;
    while (text.size() + kLine.size() + 1 <= static_cast<size_t>(kb * 1024 + 1000))
      text += kLine + "\n";
    text.resize(static_cast<size_t>(kb * 1024 + 1000), ' ');
    test::WriteFile(dir / "data/access.log", text);
  }
};

TEST_F(JobTest, ReverseDnsQuestionOnlyWithWindowsAndItsAnswerKept) {
  WriteLog(1);
  ctx.settings->reverse_dns_lookup = true;
  Analyze(ctx, options, "T");  // no windows: nothing asked
  EXPECT_TRUE(host.questions.empty());

  options.gui = gui_settings.get();
  host.answer = false;
  host.tick_box = true;
  const TAnalysisResult r = Analyze(ctx, options, "T");
  EXPECT_TRUE(r.completed);
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], "Are you sure you want to do reverse DNS look up ?\r\nThis could "
                               "significantly slowdown analysis time.");
  EXPECT_FALSE(gui_settings->show_dns_lookup_warning);       // the box said: do not ask again
  EXPECT_TRUE(ctx.settings->reverse_dns_lookup);   // "No" held for that analysis only
  Analyze(ctx, options, "T");
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_FALSE(busy);
}

TEST_F(JobTest, ApproximateAnalysisHintAboveTwoMegabytes) {
  options.gui = gui_settings.get();
  struct Case {
    int64_t kb;
    bool answer;
    bool asked;
    bool approximate;
  } cases[] = {
      {2048, true, false, false},  // exactly 2048 KB: no hint
      {2049, false, true, false},
      {2049, true, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.kb) + (c.answer ? " yes" : " no"));
    WriteLog(c.kb);
    host.questions.clear();
    host.answer = c.answer;
    ctx.settings->approximate_analysis = false;
    ctx.settings->approximate_tolerance = 100;
    EXPECT_TRUE(Analyze(ctx, options, "T").completed);
    ASSERT_EQ(host.questions.size(), c.asked ? 1u : 0u);
    if (c.asked) {
      EXPECT_EQ(host.questions[0], "Your log file(s) is 2 MB.\r\nWe suggest approximate analysis.");
    }
    EXPECT_EQ(ctx.settings->approximate_analysis, c.approximate);
    EXPECT_EQ(ctx.settings->approximate_tolerance, c.approximate ? 1000 : 100);
  }
  // Once on, or once the user asked not to be asked, there is no hint.
  host.questions.clear();
  Analyze(ctx, options, "T");
  EXPECT_TRUE(host.questions.empty());
  ctx.settings->approximate_analysis = false;
  host.tick_box = true;
  host.answer = false;
  Analyze(ctx, options, "T");
  Analyze(ctx, options, "T");
  EXPECT_EQ(host.questions.size(), 1u);
  EXPECT_FALSE(gui_settings->ask_approximate_analysis);
}

TEST_F(JobTest, DeletedSiteStatusPaneAndErrors) {
  // A task for a site that is gone does nothing and writes nothing.
  options.started_with_parameters = false;
  const TAnalysisResult gone = Analyze(ctx, options, "Gone");
  EXPECT_FALSE(gone.found);
  EXPECT_EQ(host.stdout_text, "");
  EXPECT_EQ(host.clears, 1);  // the pane is cleared before the lookup
  options.started_with_parameters = true;
  Analyze(ctx, options, "Gone");
  EXPECT_EQ(host.clears, 1);

  // An error ends the job with its paragraph and leaves the flag clear.
  ctx.sites->GetSiteByName("T")->format = "nonsense";
  const TAnalysisResult failed = Analyze(ctx, options, "T");
  EXPECT_TRUE(failed.found);
  EXPECT_FALSE(failed.completed);
  EXPECT_NE(host.stdout_text.find("Error: The log format \"nonsense\" of the site \"T\" is not a "
                                  "known format."),
            std::string::npos)
      << host.stdout_text;
  EXPECT_NE(host.stdout_text.find("EInvalidOperation"), std::string::npos);
  EXPECT_FALSE(busy);
}

}  // namespace
}  // namespace trelvar
