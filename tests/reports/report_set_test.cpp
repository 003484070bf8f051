#include "reports/report_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "base/errors.h"
#include "reports/experimental_report.h"
#include "reports/web_model.h"
#include "reports/report_params.h"
#include "reports/report_types.h"
#include "reports/reports_cache.h"
#include "reports/run_context.h"
#include "reports/standard_reports.h"
#include "test_support.h"

namespace trelvar {
namespace {

struct ReportSetTest : ::testing::Test {
  test::TTempDir dir;
  TRunContext app{TFolders(dir / "prog", dir / "data")};
  std::unique_ptr<TRepParser> set;
  test::TCaptureHost host{TRunMode::Console};

  void SetUp() override {
    test::WriteFile(dir / "data/main.ini", "CleanOutputFolder=-1\r\n");
    app.formats = std::make_unique<TLogFmts>();
    app.settings = std::make_unique<TMainSettings>(app.folders, *app.formats, nullptr);
    set = std::make_unique<TRepParser>(app);
  }
};

TEST_F(ReportSetTest, ReadingBlocksCategoriesAndUnknownTypes) {
  set->LoadFromText(
      "# comment\r\ncategory=Pages\r\ncategory=Visitors\r\n"
      "type=basic\r\ntype=basic\r\nname=Second\r\ncategoryno=1\r\n"
      "type=Basic\r\nname=Capital\r\n"
      "type=nonsense\r\nname=Unknown\r\n"
      "type=terminal\r\nname=Exits\r\nis_exit_page=true\r\n"
      "type=basic\r\n");
  ASSERT_EQ(set->reports.size(), 2u);  // empty blocks and unknown keys make nothing
  EXPECT_EQ(set->reports[0]->report_name, "Second");
  EXPECT_EQ(set->reports[0]->category_no, 1);
  EXPECT_EQ(set->reports[1]->report_name, "Exits");
  ASSERT_EQ(set->categories.size(), 2u);
  EXPECT_EQ(set->categories[1].name, "Visitors");

  const std::string text = set->SaveToText();
  EXPECT_EQ(text.rfind("\r\ncategory=Pages\r\ncategory=Visitors\r\n\r\n\r\ntype=basic\r\nname=Second\r\n", 0),
            0u)
      << text;
  TRepParser again(app);
  again.LoadFromText(text);
  ASSERT_EQ(again.reports.size(), 2u);
  EXPECT_EQ(again.reports[1]->SaveParams(false), set->reports[1]->SaveParams(false));
}

TEST_F(ReportSetTest, RegressionIndentedTypeLineKeepsTheReportsKind) {
  // " type=basic" is no new block, and once made the exit-page report save
  // as a basic one, which the next load read as a report of another kind.
  set->LoadFromText("type=terminal\r\nname=Exits\r\n type=basic\r\nis_exit_page=true\r\n");
  ASSERT_EQ(set->reports.size(), 1u);
  EXPECT_EQ(set->reports[0]->report_type, "terminal");
  TRepParser again(app);
  again.LoadFromText(set->SaveToText());
  ASSERT_EQ(again.reports.size(), 1u);
  EXPECT_EQ(again.reports[0]->report_type, "terminal");
  EXPECT_EQ(again.SaveToText(), set->SaveToText());
}

// A site named "../../esc" once wrote its cache two folders above the
// cache folder.
TEST_F(ReportSetTest, SiteNamedDotDotKeepsItsCacheInsideTheCacheFolder) {
  const std::filesystem::path folder =
      std::filesystem::path(app.folders.Data() + "Cache").lexically_normal();
  for (const char* name : {"../../esc", "..", ".", "/tmp/esc", "a/../../b", "T"}) {
    SCOPED_TRACE(name);
    set->SetSiteName(name);
    const std::string path = set->CachePath();
    EXPECT_EQ(std::filesystem::path(path).lexically_normal().parent_path(), folder) << path;
    EXPECT_EQ(std::filesystem::path(path + "_").lexically_normal().parent_path(), folder);
  }
  // A cache saved under the hostile name lies in the cache folder.
  set->SetSiteName("../../esc");
  ASSERT_TRUE(TReportsCache().Save(set->CachePath(), set->reports,
      test::CacheHeader(100, false, 0, 0, false, 2, 1)));
  EXPECT_FALSE(std::filesystem::exists(dir / "esc.cache"));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    EXPECT_EQ(entry.path().parent_path(), folder);
    ++files;
  }
  EXPECT_EQ(files, 2);  // the data file and the index file
}

TEST_F(ReportSetTest, ListOperations) {
  set->AddNewReport();
  set->AddNewReport();
  set->AddNewReport();
  set->RemoveReport("New report 2");
  EXPECT_EQ(set->AddNewReport(), "New report 2");

  auto visits = std::make_unique<TPrRep>(set->Context());
  visits->report_name = "Visits";
  set->AddReport(std::move(visits));
  auto copy = set->GetReportByName("Visits")->Clone();
  copy->report_name = "visits";
  set->AddReport(std::move(copy));
  EXPECT_EQ(set->reports.back()->report_name, "visits1");

  EXPECT_EQ(set->GetReportIndex("New report 3"), 1);
  set->MoveReport("visits1", "New report 1");
  EXPECT_EQ(set->reports[0]->report_name, "visits1");
  EXPECT_THROW(set->MoveReport("missing", "Visits"), EListError);
  EXPECT_EQ(set->FindPrRep(0), 0);
  EXPECT_EQ(set->FindPrRep(9), -1);
  EXPECT_EQ(set->GetReportByIndex(99), nullptr);
  set->RemoveReportByIndex(99);  // nothing
  set->reports[2]->category_no = 3;
  set->SetNewRepCatNo(3, 1);
  EXPECT_EQ(set->reports[2]->category_no, 1);

  EXPECT_EQ(GetReportTypeName("terminal"), "Terminal Report");
  EXPECT_EQ(GetReportType("Search Words"), "search_words");
  EXPECT_EQ(GetReportTypeName("Basic"), "");
  set->Clear();
  EXPECT_TRUE(set->reports.empty());
  EXPECT_TRUE(set->categories.empty());
}

TEST_F(ReportSetTest, PrepareOutputDirCreatesCleansAndCopies) {
  test::WriteFile(dir / "prog/Default/zeb_out/zeb.css", "css");
  test::WriteFile(dir / "prog/Default/zeb_out/plus.gif", "gif");
  set->SetOutputFolder(dir / "out");
  set->PrepareOutputDir();
  EXPECT_EQ(test::ReadFile(dir / "out/zeb.css"), "css");
  EXPECT_NE(host.stdout_text.find("was automatically created"), std::string::npos);

  test::WriteFile(dir / "out/zeb.css", "mine");
  test::WriteFile(dir / "out/old.htm", "old");
  test::WriteFile(dir / "out/access.log", "log");
  test::WriteFile(dir / "out/plus.gif", "changed");
  std::filesystem::create_directories(dir / "out/sub");
  set->PrepareOutputDir();
  EXPECT_EQ(test::ReadFile(dir / "out/zeb.css"), "mine");     // kept
  EXPECT_EQ(test::ReadFile(dir / "out/plus.gif"), "gif");     // deleted and copied again
  EXPECT_EQ(test::ReadFile(dir / "out/access.log"), "log");   // logs are kept
  EXPECT_FALSE(std::filesystem::exists(dir / "out/old.htm"));
  EXPECT_TRUE(std::filesystem::exists(dir / "out/sub"));
  EXPECT_NE(host.stdout_text.find("Needed file plus.gif was automatically copied into output directory"),
            std::string::npos);
}

TEST_F(ReportSetTest, ReportFilesBringTheRobotList) {
  test::WriteFile(dir / "data/reports.ini", "type=basic\r\nname=Robots\r\nparam=robot\r\n");
  test::WriteFile(dir / "data/spiders.ini", "# crawlers\r\nGooglebot\r\nbot\r\n");
  TReportContext& ctx = set->Context();
  EXPECT_EQ(ctx.robots.RobotOf("Googlebot/2.1"), "");  // nothing read yet
  set->LoadReportFile("");
  ASSERT_EQ(set->reports.size(), 1u);
  EXPECT_EQ(ctx.robots.RobotOf("Googlebot/2.1"), "Googlebot");
  EXPECT_EQ(ctx.robots.RobotOf("LumiBot 2.0"), "bot");

  // Every report file reads the list again; old answers are forgotten.
  test::WriteFile(dir / "data/spiders.ini", "LumiBot\r\n");
  set->Clear();
  set->LoadReportFile("reports.ini");
  EXPECT_EQ(ctx.robots.RobotOf("Googlebot/2.1"), "");
  EXPECT_EQ(ctx.robots.RobotOf("LumiBot 2.0"), "LumiBot");

  // A list that cannot be read is no list, and no error.
  std::filesystem::remove(dir / "data/spiders.ini");
  std::filesystem::create_directories(dir / "data/spiders.ini");
  set->Clear();
  EXPECT_NO_THROW(set->LoadReportFile(""));
  EXPECT_EQ(ctx.robots.RobotOf("LumiBot 2.0"), "");
  EXPECT_EQ(set->reports.size(), 1u);
}

// The shipped report set: every block makes a report of a known type,
// titles say when only pages are counted, robots have their own report
// and the visit, path and model reports leave them out.
TEST_F(ReportSetTest, ShippedReportSetLoadsWholeAndHonest) {
  const std::string text = test::ReadFile(std::string(TRELVAR_SOURCE_DIR) + "/Default/reports.ini");
  set->LoadFromText(text);
  size_t blocks = 0;
  for (size_t at = text.find("\ntype="); at != std::string::npos; at = text.find("\ntype=", at + 1))
    ++blocks;
  ASSERT_EQ(set->reports.size(), blocks);
  ASSERT_FALSE(set->categories.empty());

  const std::string suffix = " (page views)";
  auto ends_with = [](const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  };
  auto has_filter = [](const TCustomWReport& r, ReportParam kind, const char* condition) {
    const auto* f = dynamic_cast<const TCustomFiltredRep*>(&r);
    if (f == nullptr) return false;
    for (const TReportFilter& filter : f->filters)
      if (filter.kind == kind && ConditionName(filter.condition) == condition &&
          filter.value.empty())
        return true;
    return false;
  };
  const std::set<std::string> visit_types = {
      "terminal",   "timeonsite", "visitor_path", "common_path", "ref_analysis",
      "indirect_ref_analysis",    "web_model",    "user_model",  "user_profile"};
  int robot_reports = 0;
  for (const auto& r : set->reports) {
    SCOPED_TRACE(r->report_name);
    ASSERT_NE(FindReportType(r->report_type), nullptr);
    EXPECT_LT(r->category_no, static_cast<int>(set->categories.size()));
    // What was read is what would be written.
    TRepParser again(app);
    again.LoadFromText(r->SaveParams(false));
    ASSERT_EQ(again.reports.size(), 1u);
    EXPECT_EQ(again.reports[0]->SaveParams(false), r->SaveParams(false));

    if (const auto* basic = dynamic_cast<const TPrRep*>(r.get())) {
      EXPECT_EQ(ends_with(r->report_name, suffix), basic->pages_only);
      if (basic->param == ReportParam::kRobot) {
        ++robot_reports;
        EXPECT_FALSE(basic->pages_only);
        EXPECT_TRUE(has_filter(*r, ReportParam::kRobot, "not_equals"));
      }
    }
    if (visit_types.count(r->report_type) != 0) {
      EXPECT_TRUE(has_filter(*r, ReportParam::kRobot, "equals"));
      // Counted aside from the lines where the type can be.
      if (r->report_type != "terminal" && r->report_type != "timeonsite" &&
          r->report_type != "visitor_path") {
        EXPECT_TRUE(r->CountsVisitsOnly());
      }
    }
    if (r->report_name == "Visitors per day") {
      EXPECT_TRUE(has_filter(*r, ReportParam::kRobot, "equals"));
    }
  }
  EXPECT_EQ(robot_reports, 1);
  ASSERT_NE(set->GetReportByName("Robots and crawlers"), nullptr);
}

TEST_F(ReportSetTest, ListPageWithoutCategoriesHoldsOnlyTheScript) {
  set->LoadFromText("type=basic\r\nname=Pages\r\n");
  set->SetOutputFolder(dir / "out");
  set->PrepareOutputDir();
  ASSERT_TRUE(set->Display());
  const std::string list = test::ReadFile(dir / "out/indexlist.htm");
  EXPECT_NE(list.find("reportstree.stTarget = \"details\";document.write(reportstree.GetHTMLCode());"),
            std::string::npos)
      << list;
  EXPECT_EQ(list.find("Pages"), std::string::npos);
}

}  // namespace
}  // namespace trelvar

namespace trelvar {
namespace {

TEST_F(ReportSetTest, ReplacedReportsKeepTheExperimentOnItsWebModel) {
  set->LoadFromText(
      "type=web_model\r\nname=Model\r\n"
      "type=exp_rep\r\nname=Experiment\r\n"
      "type=basic\r\nname=Pages\r\n");
  ASSERT_EQ(set->reports.size(), 3u);
  auto* exp = dynamic_cast<TExpRep*>(set->reports[1].get());
  ASSERT_NE(exp, nullptr);
  ASSERT_EQ(static_cast<TCustomWReport*>(exp->web_model), set->reports[0].get());

  // A new web model in the old one's place is the one measured.
  auto model = FindReportType("web_model")->create(set->Context());
  model->LoadParams("name=Model 2");
  set->ReplaceReport(0, std::move(model));
  EXPECT_EQ(static_cast<TCustomWReport*>(exp->web_model), set->reports[0].get());

  // A new experiment measures what the old one did and is the set's.
  auto again = FindReportType("exp_rep")->create(set->Context());
  set->ReplaceReport(1, std::move(again));
  auto* exp2 = dynamic_cast<TExpRep*>(set->reports[1].get());
  ASSERT_NE(exp2, nullptr);
  EXPECT_EQ(static_cast<TCustomWReport*>(exp2->web_model), set->reports[0].get());
  EXPECT_EQ(set->exp_report, static_cast<TCustomWReport*>(exp2));

  // A web model that goes for another kind of report is measured no more.
  auto pages = FindReportType("basic")->create(set->Context());
  set->ReplaceReport(0, std::move(pages));
  EXPECT_EQ(exp2->web_model, nullptr);
  EXPECT_THROW(set->ReplaceReport(3, FindReportType("basic")->create(set->Context())), EListError);
  EXPECT_THROW(set->ReplaceReport(-1, FindReportType("basic")->create(set->Context())), EListError);
}

}  // namespace
}  // namespace trelvar
