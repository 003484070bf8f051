// Reports that leave robots out: the visit, path and model reports count
// only the visits (or lines) their filters accept, and the shipped robot
// list and filters work through a whole analysis.
#include <gtest/gtest.h>

#include <functional>
#include <numeric>

#include "reports/referrer_reports.h"
#include "reports/report_types.h"
#include "reports/user_models.h"
#include "reports/visit_reports.h"
#include "reports/web_model.h"
#include "sites/robots.h"
#include "visit_log.h"

namespace trelvar {
namespace {

using test::Count;
using test::Flush;
using test::Hit;
using test::Report;

const char kGoogle[] = "Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)";
const char kFirefox[] = "Mozilla/5.0 (X11; Linux x86_64; rv:27.0) Gecko/20100101 Firefox/27.0";

TVisPathTable AgentVisit(const std::string& agent, const std::vector<std::string>& urls) {
  TVisPathTable v;
  v.address = "10.0.0.1";
  v.referrer = "http://www.example.com/";
  v.referrer_split = MakeSplit(v.referrer);
  v.agent = agent;
  for (const std::string& u : urls) v.hits.push_back({u, MakeSplit(u), 0, 0});
  return v;
}

// Regression: these types had no filters at all, so "filter=" lines were
// dropped (and not saved) and robots' visits shaped paths and models.
TEST(RobotReports, VisitReportsCountOnlyTheVisitsTheirFiltersAccept) {
  TReportContext ctx;
  TRobots robots;
  robots.LoadFromText("Googlebot\r\n");
  ctx.robots.Use(&robots);

  struct TCase {
    const char* type;
    std::function<int(TCustomWReport&)> visits;  // the visits the report counted
  };
  const TCase cases[] = {
      {"common_path", [](TCustomWReport& r) { return dynamic_cast<TCommonPathRep&>(r).total_visits; }},
      {"ref_analysis",
       [](TCustomWReport& r) {
         int n = 0;
         for (const auto& row : dynamic_cast<TRefAn&>(r).Rows().Rows()) n += row.visits;
         return n;
       }},
      {"indirect_ref_analysis",
       [](TCustomWReport& r) {
         int n = 0;  // each test visit has two hits
         for (const auto& row : dynamic_cast<TIndirectRefAn&>(r).Rows().Rows()) n += row.hits;
         return n / 2;
       }},
      {"web_model",
       [](TCustomWReport& r) {
         const auto* home = dynamic_cast<TWebModel&>(r).FindPage("/home.htm");
         return home == nullptr ? 0 : home->visits;
       }},
      {"user_model", [](TCustomWReport& r) { return dynamic_cast<TUserModel&>(r).Visits(); }},
      {"user_profile", [](TCustomWReport& r) { return dynamic_cast<TUserModel&>(r).Visits(); }},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.type);
    std::unique_ptr<TCustomWReport> r = FindReportType(c.type)->create(ctx);
    r->LoadParams("name=N\r\nfilter=robot;equals;");
    auto* filtered = dynamic_cast<TCustomFiltredRep*>(r.get());
    ASSERT_NE(filtered, nullptr);
    ASSERT_EQ(filtered->filters.size(), 1u);
    EXPECT_NE(r->SaveParams(false).find("\r\nfilter=robot;equals;\r\n"), std::string::npos);
    EXPECT_NE(r->Clone()->SaveParams(false).find("\r\nfilter=robot;equals;\r\n"),
              std::string::npos);
    // A robot filter reads the visit only, so the visits may be counted aside.
    EXPECT_TRUE(r->CountsVisitsOnly());

    r->CountVisit(AgentVisit(kGoogle, {"/home.htm", "/a.htm"}));
    r->CountVisit(AgentVisit(kFirefox, {"/home.htm", "/b.htm"}));
    r->CountVisit(AgentVisit(kGoogle, {"/home.htm", "/c.htm"}));
    EXPECT_EQ(c.visits(*r), 1);

    // A filter on a value of the current line keeps the counting inline.
    r->LoadParam("filter=status;equals;200");
    EXPECT_FALSE(r->CountsVisitsOnly());
  }
}

// One person, two robots and a late hit that finishes every visit.
std::string RobotLog() {
  return Hit("10.0.0.1", "10:00:00", "/home.htm", "http://www.example.org/", "-", kFirefox) +
         Hit("10.0.0.2", "10:01:00", "/a.htm", "-", "-", kGoogle) +
         Hit("10.0.0.2", "10:02:00", "/b.htm", "-", "-", kGoogle) +
         Hit("10.0.0.3", "10:03:00", "/a.htm", "-", "-",
             "Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)") +
         Hit("10.0.0.1", "10:05:00", "/news.htm", "-", "-", kFirefox) +
         Hit("10.0.0.2", "10:06:00", "/c.htm", "-", "-", kGoogle) + Flush();
}

const std::string kNoRobots = "filter=robot;equals;\r\n";

TEST(RobotReports, AnalysisCountsRobotsApartAndLeavesThemOutOfVisits) {
  test::Analysis a(
      "Apache combined", test::kNoBar,
      Report("basic", "Robots",
             "param=robot\r\npagesonly=false\r\nfilter=robot;not_equals;\r\nlimit=10\r\n") +
          Report("terminal", "Entries", kNoRobots + "is_entry_page=true\r\n") +
          Report("terminal", "All entries", "is_entry_page=true\r\n") +
          Report("timeonsite", "On site", kNoRobots) +
          Report("visitor_path", "Paths", kNoRobots) +
          Report("common_path", "Common", kNoRobots));
  test::RunOn(a, RobotLog());
  const std::string details = a.Details();

  // The robot report: the named robots by their lines, no people.
  const size_t robots = details.find("<h2>Robots</h2>");
  ASSERT_NE(robots, std::string::npos) << details;
  const std::string section = details.substr(robots, details.find("<h2>", robots + 1) - robots);
  EXPECT_NE(section.find(">Googlebot</TD><TD align=\"right\">3</TD>"), std::string::npos)
      << section;
  EXPECT_NE(section.find(">bingbot</TD><TD align=\"right\">1</TD>"), std::string::npos);
  EXPECT_EQ(Count(section, "<TR class="), 2u) << section;

  // Regression: the terminal report ignored its filters.
  const size_t entries = details.find("<h2>Entries</h2>");
  const std::string entry_section =
      details.substr(entries, details.find("<h2>", entries + 1) - entries);
  EXPECT_NE(entry_section.find("/home.htm"), std::string::npos) << entry_section;
  EXPECT_EQ(entry_section.find("/a.htm"), std::string::npos) << entry_section;
  const size_t all = details.find("<h2>All entries</h2>");
  EXPECT_NE(details.find("/a.htm", all), std::string::npos);  // without the filter robots count

  // Regression: time on site ignored its filters (the robot's three-hit
  // visit counted).
  EXPECT_NE(details.find("<TD>Total counted visits</TD><TD>1</TD>"), std::string::npos)
      << details;

  const std::string paths = test::ReadFile(a.out + "vis_paths.htm");
  EXPECT_NE(paths.find("10.0.0.1"), std::string::npos);
  EXPECT_EQ(paths.find("10.0.0.2"), std::string::npos);
  EXPECT_EQ(paths.find("10.0.0.3"), std::string::npos);
  const std::string common = test::ReadFile(a.out + "common_paths.htm");
  EXPECT_NE(common.find("<p>Total 1 paths, and"), std::string::npos) << common;
}

}  // namespace
}  // namespace trelvar
