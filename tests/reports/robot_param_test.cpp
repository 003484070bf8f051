// The "robot" report parameter: its value on lines and on visits, the memo
// behind it and the visit filters that leave robots out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logread/visit_tracker.h"
#include "reports/report_base.h"
#include "reports/report_params.h"
#include "reports/robot_memo.h"
#include "sites/robots.h"
#include "test_support.h"

namespace trelvar {
namespace {

// Counts the lines its filters accept.
class TFilterProbe : public TCustomFiltredRep {
 public:
  using TCustomFiltredRep::TCustomFiltredRep;
  std::unique_ptr<TCustomWReport> Clone() const override {
    auto r = std::make_unique<TFilterProbe>(ctx_);
    CopyTo(*r);
    return r;
  }
  void ProcessLine() override {
    if (PassesFilters()) ++count;
  }
  void Display() override {}
  void Clear() override { count = 0; }
  std::string TypeCaption() const override { return "Probe"; }
  int count = 0;
};

const char kGoogle[] = "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)";
const char kFirefox[] = "Mozilla/5.0 (X11; Linux x86_64; rv:27.0) Gecko/20100101 Firefox/27.0";

struct RobotParamTest : ::testing::Test {
  TCurrentLine current;
  TVisLine visits{current};
  TReportContext ctx;
  TRobots robots;
  test::TCaptureHost host{TRunMode::Console};

  void SetUp() override {
    ctx.current = &current;
    ctx.visits = &visits;
    robots.LoadFromText("Googlebot\r\nbot\r\n");
    ctx.robots.Use(&robots);
  }
  static TVisPathTable Visit(const std::string& agent, size_t hits = 1) {
    TVisPathTable v;
    v.address = "10.0.0.1";
    v.agent = agent;
    for (size_t i = 0; i < hits; ++i) v.hits.push_back({"/a.htm", MakeSplit("/a.htm"), 0, 0});
    return v;
  }
};

TEST_F(RobotParamTest, KeyCaptionAndTheAgentFieldItNeeds) {
  EXPECT_EQ(ParamFromKey(" Robot "), ReportParam::kRobot);
  EXPECT_EQ(ParamKey(ReportParam::kRobot), "robot");
  EXPECT_EQ(ParamCaption(ReportParam::kRobot), "Robot");
  EXPECT_TRUE(IsParamSupported({kFieldHref, kFieldAgent}, ReportParam::kRobot));
  EXPECT_FALSE(IsParamSupported({kFieldHref, kFieldIp, kFieldReferrer}, ReportParam::kRobot));
}

TEST_F(RobotParamTest, LineValueAndLineFilters) {
  TFilterProbe people(ctx), only_robots(ctx);
  people.LoadParams("filter=robot;equals;");
  only_robots.LoadParams("filter=robot;not_equals;");
  struct TCase {
    const char* agent;
    const char* robot;
  };
  const TCase cases[] = {
      {kGoogle, "Googlebot"}, {"LumiBot 2.0", "bot"}, {kFirefox, ""}, {"-", ""}, {"", ""},
      {"googlebot-image/1.0", "Googlebot"},  // any letter case
  };
  int robot_lines = 0;
  for (const TCase& c : cases) {
    current.fields[kFieldAgent] = c.agent;
    ctx.values.NextLine();
    EXPECT_EQ(people.LineValue(ReportParam::kRobot), c.robot) << c.agent;
    people.ProcessLine();
    only_robots.ProcessLine();
    if (*c.robot != '\0') ++robot_lines;
  }
  EXPECT_EQ(only_robots.count, robot_lines);
  EXPECT_EQ(people.count, static_cast<int>(std::size(cases)) - robot_lines);

  // Without a catalogue every agent is a person.
  TReportContext bare;
  bare.current = &current;
  TFilterProbe r(bare);
  current.fields[kFieldAgent] = kGoogle;
  EXPECT_EQ(r.LineValue(ReportParam::kRobot), "");
}

TEST_F(RobotParamTest, VisitFiltersTestTheVisitsAgent) {
  TFilterProbe people(ctx), robots_only(ctx);
  people.LoadParams("filter=robot;equals;");
  robots_only.LoadParams("filter=robot;not_equals;");
  EXPECT_FALSE(people.PassesVisitFilters(Visit(kGoogle, 3)));
  EXPECT_TRUE(robots_only.PassesVisitFilters(Visit(kGoogle, 3)));
  EXPECT_TRUE(people.PassesVisitFilters(Visit(kFirefox, 2)));
  EXPECT_FALSE(robots_only.PassesVisitFilters(Visit(kFirefox, 2)));
  // A visit without hits fails a filter, as every other hit-based filter.
  EXPECT_FALSE(people.PassesVisitFilters(Visit(kFirefox, 0)));
}

TEST_F(RobotParamTest, VisitsNamedByTheTrackerKeepTheirNameWhileTheCatalogueStays) {
  // The tracker names a new visit's robot through the memo once.
  TVisLine tracker(current);
  tracker.SetRobotFinder({[&](const std::string& agent) -> const std::string& {
                            return ctx.robots.RobotOf(agent);
                          },
                          [&] { return ctx.robots.Generation(); }});
  current.fields[kFieldIp] = "10.0.0.9";
  current.fields[kFieldAgent] = kGoogle;
  current.line.is_hit = true;
  current.line.timestamp = 38000;
  tracker.Update();
  const TVisPathTable& seen = *tracker.OpenVisits().at(0);
  ASSERT_NE(seen.robot, nullptr);
  EXPECT_EQ(*seen.robot, "Googlebot");

  TFilterProbe people(ctx);
  people.LoadParams("filter=robot;equals;");
  EXPECT_FALSE(people.PassesVisitFilters(seen));
  // The stored name counts, not the agent, while the catalogue stays...
  TVisPathTable named = Visit(kFirefox, 2);
  named.robot = seen.robot;
  named.robot_generation = seen.robot_generation;
  EXPECT_FALSE(people.PassesVisitFilters(named));
  // ...and a new catalogue makes it stale: the agent is asked again.
  TRobots other;
  other.LoadFromText("Googlebot\r\n");
  ctx.robots.Use(&other);
  EXPECT_TRUE(people.PassesVisitFilters(named));
}

TEST_F(RobotParamTest, WhichVisitFiltersNeedTheCurrentLine) {
  struct TCase {
    const char* filter;
    bool reads_line;
  };
  const TCase cases[] = {
      {"robot;equals;", false}, {"agent;includes;bot", false}, {"href;includes;/a", false},
      {"visit_length;equals;2", false}, {"status;equals;200", true}, {"year;equals;2005", true},
      {"userdomain;equals;x", true},
  };
  for (const TCase& c : cases) {
    TFilterProbe r(ctx);
    r.LoadParams(std::string("filter=") + c.filter);
    EXPECT_EQ(r.VisitFiltersReadLine(), c.reads_line) << c.filter;
  }
  TFilterProbe mixed(ctx);
  mixed.LoadParams("filter=robot;equals;\r\nfilter=status;equals;200");
  EXPECT_TRUE(mixed.VisitFiltersReadLine());
}

TEST_F(RobotParamTest, NewCatalogueReplacesRememberedAnswers) {
  TFilterProbe r(ctx);
  current.fields[kFieldAgent] = kGoogle;
  EXPECT_EQ(r.LineValue(ReportParam::kRobot), "Googlebot");
  // The same agent on the next line after the list changed: the memo's
  // answer is stale.
  TRobots other;
  other.LoadFromText("Mozilla\r\n");
  ctx.robots.Use(&other);
  ctx.values.NextLine();
  EXPECT_EQ(r.LineValue(ReportParam::kRobot), "Mozilla");
  ctx.robots.Use(nullptr);
  ctx.values.NextLine();
  EXPECT_EQ(r.LineValue(ReportParam::kRobot), "");
}

TEST(TRobotMemo, RemembersEachAgentWithinItsLimit) {
  TRobots robots;
  robots.LoadFromText("bot\r\n");
  TRobotMemo memo;
  memo.Use(&robots);
  for (size_t i = 0; i < TRobotMemo::kLimit + 10; ++i) {
    const std::string agent = "agent " + std::to_string(i) + (i % 2 == 0 ? " bot" : "");
    ASSERT_EQ(memo.RobotOf(agent), i % 2 == 0 ? "bot" : "") << agent;
    ASSERT_LE(memo.Size(), TRobotMemo::kLimit);
  }
  EXPECT_EQ(memo.Size(), 10u);  // emptied once when it was full
  const uint64_t before = memo.Generation();
  memo.Use(&robots);
  EXPECT_EQ(memo.Size(), 0u);
  EXPECT_NE(memo.Generation(), before);
}

}  // namespace
}  // namespace trelvar
