#include "reports/report_base.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "config/folders.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "reports/report_params.h"
#include "reports/reports_cache.h"
#include "test_support.h"

namespace trelvar {
namespace {

// A report that counts lines and keeps the count in its cache block.
class TCountingReport : public TCustomFiltredRep {
 public:
  explicit TCountingReport(TReportContext& ctx) : TCustomFiltredRep(ctx) { report_type = "count"; }
  std::unique_ptr<TCustomWReport> Clone() const override {
    auto r = std::make_unique<TCountingReport>(ctx_);
    CopyTo(*r);
    return r;
  }
  void ProcessLine() override {
    if (PassesFilters()) ++count;
  }
  void Display() override {}
  void Clear() override { count = 0; }
  std::string TypeCaption() const override { return "Counting"; }
  void SaveToCache(TReportsCache& c) override {
    c.WriteInteger(count);
    c.WriteString(std::string(static_cast<size_t>(count), 'x'));
  }
  void LoadFromCache(TReportsCache& c) override {
    count = c.ReadInteger();
    if (c.ReadString().size() != static_cast<size_t>(count)) throw EInOutError("bad block");
  }
  int count = 0;
};

struct ReportBaseTest : ::testing::Test {
  TCurrentLine current;
  TVisLine visits{current};
  TReportContext ctx;
  test::TCaptureHost host{TRunMode::Console};
  void SetUp() override {
    ctx.current = &current;
    ctx.visits = &visits;
  }
};

TEST_F(ReportBaseTest, DefinitionLinesRoundTrip) {
  TCountingReport r(ctx);
  r.LoadParams("type= Count \r\nname=Top 10 pages\r\ncategoryno= 3\r\nrem=first\r\nrem=\r\n"
               "rem=second\r\nfooter= FALSE \r\nfilter=referrer;includes;a;b\r\nfilter=ip\r\n"
               "no equals sign\r\nunknown=1");
  EXPECT_EQ(r.report_type, "count");
  EXPECT_EQ(r.report_name, "Top 10 pages");
  EXPECT_EQ(r.AnchorName(), "Top_10_pages");
  EXPECT_EQ(r.DetailsLink(), "indexdetails.htm#Top_10_pages");
  EXPECT_EQ(r.category_no, 3);
  EXPECT_FALSE(r.show_footer);
  ASSERT_EQ(r.filters.size(), 2u);
  EXPECT_EQ(r.filters[0].kind, ReportParam::kReferrer);
  EXPECT_EQ(r.filters[0].value, "a;b");
  EXPECT_EQ(r.filters[1].kind, ReportParam::kNone);
  EXPECT_EQ(r.filters[1].value, "ip");
  EXPECT_EQ(r.SaveParams(false),
            "type=count\r\nname=Top 10 pages\r\ncategoryno=3\r\nfooter=false\r\nrem=first\r\n"
            "rem=\r\nrem=second\r\nfilter=referrer;includes;a;b\r\nfilter=none;includes;ip\r\n");
  EXPECT_EQ(r.SaveParams(true),
            "type=count\r\nname=Top 10 pages\r\ncategoryno=3\r\nfilter=referrer;includes;a;b\r\n"
            "filter=none;includes;ip\r\n");
  auto copy = r.Clone();
  EXPECT_EQ(copy->category_no, 0);  // a copy goes to category 0
  EXPECT_EQ(copy->report_name, "Top 10 pages");
  EXPECT_EQ(dynamic_cast<TCountingReport&>(*copy).filters.size(), 2u);

  TCountingReport footer(ctx);
  footer.LoadParam("footer=no");
  EXPECT_TRUE(footer.show_footer);
  EXPECT_THROW(footer.LoadParam("categoryno=two"), EConvertError);
  EXPECT_EQ(footer.SaveParams(false).find("rem="), std::string::npos);
}

TEST_F(ReportBaseTest, LineValuesAndFilters) {
  current.fields[kFieldIp] = "10.0.0.1";
  current.fields[kFieldAgent] = "GoogleBot";
  current.line.browser = "Netscape";
  current.line.browser_version = "4";
  current.line.request = MakeSplit("http://www.example.com/a/b.htm");
  TCountingReport r(ctx);
  EXPECT_EQ(r.LineValue(ReportParam::kBrowserVersion), "Netscape 4");
  EXPECT_EQ(r.LineValue(ReportParam::kPath), "/a/");
  EXPECT_EQ(r.LineValue(ReportParam::kCountry), "N/A");  // no database
  EXPECT_EQ(r.LineValue(ReportParam::kTimeTaken), "");

  r.LoadParams("filter=agent;includes;bot");
  ctx.values.NextLine();
  r.ProcessLine();
  EXPECT_EQ(r.count, 0);  // "Bot" is not "bot"
  current.fields[kFieldAgent] = "msnbot";
  ctx.values.NextLine();
  r.ProcessLine();
  EXPECT_EQ(r.count, 1);

  TCountingReport empty(ctx);
  empty.LoadParams("filter=agent;includes;");
  ctx.values.NextLine();
  empty.ProcessLine();
  EXPECT_EQ(empty.count, 0);
  TCountingReport not_empty(ctx);
  not_empty.LoadParams("filter=agent;not_includes;");
  ctx.values.NextLine();
  not_empty.ProcessLine();
  EXPECT_EQ(not_empty.count, 1);
}

TEST_F(ReportBaseTest, VisitFilters) {
  TVisPathTable visit;
  visit.address = "1.2.3.4";
  visit.hits.push_back({"/a.htm", MakeSplit("/a.htm"), 0, 0});
  visit.hits.push_back({"/b.htm", MakeSplit("/b.htm"), 0, 0});
  TCountingReport r(ctx);
  r.LoadParams("filter=href;equals;/b.htm\r\nfilter=visit_length;equals;2\r\nfilter=ip;includes;1.2");
  EXPECT_TRUE(r.PassesVisitFilters(visit));
  r.LoadParams("filter=visit_length;equals;3");
  EXPECT_FALSE(r.PassesVisitFilters(visit));
  TVisPathTable no_hits;
  TCountingReport h(ctx);
  h.LoadParams("filter=href;not_includes;x");
  EXPECT_FALSE(h.PassesVisitFilters(no_hits));
}

TEST_F(ReportBaseTest, FileFiltersOncePerAnalysis) {
  test::TTempDir dir;
  TFolders folders(dir / "prog", dir / "data");
  ctx.folders = &folders;
  test::WriteFile(dir / "data/pages.txt", "/a\r\n/b\r\n");
  TCountingReport r(ctx);
  r.LoadParams("filter=href;included_in_file_once;pages.txt");
  r.LoadFilterLists();
  for (const char* href : {"/a", "/a", "/b", "/b", "/c"}) {
    current.fields[kFieldHref] = href;
    ctx.values.NextLine();
    r.ProcessLine();
  }
  EXPECT_EQ(r.count, 2);
  r.LoadFilterLists();  // the next analysis sees the whole file again
  current.fields[kFieldHref] = "/a";
  ctx.values.NextLine();
  r.ProcessLine();
  EXPECT_EQ(r.count, 3);
}

TEST_F(ReportBaseTest, LogFormatCheckAndWarning) {
  EXPECT_FALSE(IsParamSupported({kFieldHref}, ReportParam::kCountry));
  EXPECT_TRUE(IsParamSupported({kFieldIp}, ReportParam::kCountry));
  for (ReportParam always : {ReportParam::kSite, ReportParam::kPath, ReportParam::kBrowser,
                             ReportParam::kMethod, ReportParam::kBytes, ReportParam::kCookie,
                             ReportParam::kStatus})
    EXPECT_TRUE(IsParamSupported({}, always)) << int(always);
  EXPECT_FALSE(IsParamSupported({0, 1, 2, 3}, ReportParam::kNone));
  EXPECT_EQ(UnsupportedWarning(ReportParam::kCountry, "Countries"),
            "<p>Warning: Your log file does not support Country. So report \"Countries\" will be "
            "not shown. Read FAQ.</p>");
  EXPECT_EQ(ParamFromKey(" COOKI "), ReportParam::kCookie);
  EXPECT_EQ(ParamFromKey("cookie"), ReportParam::kNone);
}

TEST(Cells, RenderingAndEscaping) {
  EXPECT_EQ(HtmlCell(ReportParam::kDayOfWeek, "2"), "2. Mon");
  EXPECT_EQ(HtmlCell(ReportParam::kDayOfWeek, "9"), "9. -");
  EXPECT_THROW(HtmlCell(ReportParam::kDayOfWeek, "x"), EConvertError);
  EXPECT_EQ(HtmlCell(ReportParam::kStatus, "404"), "Code 404 Not Found");
  EXPECT_EQ(HtmlCell(ReportParam::kAgent, "Mozilla/4.0+(compatible)"), "Mozilla/4.0 (compatible)");
  EXPECT_EQ(HtmlCell(ReportParam::kRefSite, "http://www.example.com"),
            "<a href=\"http://www.example.com\">http://www.example.com</a>");
  EXPECT_EQ(CsvCell(ReportParam::kRefSite, "http://a%20b"), "http://a b");
  EXPECT_EQ(CsvCell(ReportParam::kReferrer, "http://x/?q=a+b"), "http://x/?q=a+b");
  // Log text never reaches a page as markup, and only web links are links.
  EXPECT_EQ(HtmlCell(ReportParam::kHref, "/<script>alert(1)</script>"),
            "/&lt;script&gt;alert(1)&lt;/script&gt;");
  EXPECT_EQ(HtmlCell(ReportParam::kAgent, "<b>\"x\""), "&lt;b&gt;&quot;x&quot;");
  EXPECT_EQ(HtmlCell(ReportParam::kReferrer, "javascript:alert(1)"), "javascript:alert(1)");
  EXPECT_EQ(HtmlCell(ReportParam::kReferrer, "http://x/\"><script>"),
            "<a href=\"http://x/&quot;&gt;&lt;script&gt;\">http://x/&quot;&gt;&lt;script&gt;</a>");
  const std::string long_ref = "http://www.example.com/search?q=" + std::string(100, 'w') + "&x=1";
  const std::string cell = HtmlCell(ReportParam::kReferrer, long_ref);
  EXPECT_NE(cell.find("q=<br>"), std::string::npos) << cell;
  EXPECT_EQ(JsEscape("a\"</script>\\"), "a\\x22\\x3c/script\\x3e\\x5c");
}

TEST_F(ReportBaseTest, CacheRoundTripAndItsRules) {
  test::TTempDir dir;
  const std::string path = dir / "Cache/Site.cache";
  auto make = [&](std::vector<int> counts, std::vector<std::string> names) {
    TReportsCache::TReports reports;
    for (size_t i = 0; i < counts.size(); ++i) {
      auto r = std::make_unique<TCountingReport>(ctx);
      r->report_name = names[i];
      r->count = counts[i];
      reports.push_back(std::move(r));
    }
    return reports;
  };
  auto count = [](TReportsCache::TReports& rs, size_t i) {
    return dynamic_cast<TCountingReport&>(*rs[i]).count;
  };
  auto saved = make({3, 5}, {"A", "B"});
  ASSERT_TRUE(TReportsCache().Save(path, saved,
      test::CacheHeader(100, false, 0, 0, false, 2.5, 1.5)));
  EXPECT_EQ(test::ReadFile(path).substr(0, 17), std::string("\x0d\0\0\0ZEB 1.4 cache", 17));
  EXPECT_EQ(test::ReadFile(path + "_").size(), 8u);

  auto loaded = make({0, 0}, {"A", "B"});
  TReportsCache cache;
  ASSERT_TRUE(cache.Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_EQ(count(loaded, 0), 3);
  EXPECT_EQ(count(loaded, 1), 5);
  EXPECT_EQ(cache.Stored().first_line_time, 1.5);
  EXPECT_EQ(cache.Stored().last_line_time, 2.5);

  // A changed definition drops only that report's data.
  auto renamed = make({0, 0}, {"A", "C"});
  ASSERT_TRUE(TReportsCache().Load(path, renamed, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_EQ(count(renamed, 0), 3);
  EXPECT_EQ(count(renamed, 1), 0);

  // Other settings, too few reports: the whole cache is refused.
  host.stdout_text.clear();
  auto other = make({0, 0}, {"A", "B"});
  EXPECT_FALSE(TReportsCache().Load(path, other, test::CacheHeader(100, true, 0, 0, false)));
  EXPECT_FALSE(TReportsCache().Load(path, other, test::CacheHeader(100, false, 1, 0, true)));
  auto one = make({0}, {"A"});
  EXPECT_FALSE(TReportsCache().Load(path, one, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_NE(host.stdout_text.find("Cache does not match. Analysis started from beginning."),
            std::string::npos);

  // A period whose end moved later is accepted; a moved start is not.
  auto period = make({7, 8}, {"A", "B"});
  ASSERT_TRUE(TReportsCache().Save(path, period, test::CacheHeader(50, true, 10, 5, true, 9, 6)));
  EXPECT_TRUE(TReportsCache().Load(path, period, test::CacheHeader(50, true, 11, 5, true)));
  EXPECT_FALSE(TReportsCache().Load(path, period, test::CacheHeader(50, true, 11, 4, true)));
  EXPECT_FALSE(TReportsCache().Load(path, period, test::CacheHeader(60, true, 11, 5, true)));

  // A damaged block clears every report.
  std::string data = test::ReadFile(path);
  data.resize(data.size() - 3);
  test::WriteFile(path, data);
  host.stdout_text.clear();
  auto damaged = make({1, 1}, {"A", "B"});
  EXPECT_FALSE(TReportsCache().Load(path, damaged, test::CacheHeader(50, true, 10, 5, true)));
  EXPECT_EQ(count(damaged, 0), 0);
  EXPECT_EQ(count(damaged, 1), 0);
  EXPECT_NE(host.stdout_text.find("Cache load error. Analysis started from beginning"),
            std::string::npos);

  test::WriteFile(path + "_", "");
  EXPECT_FALSE(TReportsCache().Load(path, damaged, test::CacheHeader(50, true, 10, 5, true)));
  platform::RemoveFile(path);
  host.stdout_text.clear();
  EXPECT_FALSE(TReportsCache().Load(path, damaged, test::CacheHeader(50, true, 10, 5, true)));
  EXPECT_EQ(host.stdout_text, "Cache not found. Analysis started from beginning\n");
}

}  // namespace
}  // namespace trelvar
