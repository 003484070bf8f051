// The time-taken and cross reports: definitions, counting, sorting,
// compaction, their pages and cache blocks; then whole console analyses.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "analysis_run.h"
#include "base/errors.h"
#include "logread/visit_tracker.h"
#include "reports/cross_report.h"
#include "reports/report_text.h"
#include "reports/report_types.h"
#include "reports/reports_cache.h"
#include "reports/time_taken_report.h"
#include "test_support.h"

namespace trelvar {
namespace {

struct ReportTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TCurrentLine current;
  TReportContext ctx;

  void SetUp() override {
    ctx.current = &current;
    ctx.output_folder = dir.path();
    ctx.page_head = "<HEAD>\r\n";
  }
  // A page request of 7 December 2005 12:30:15 with this time taken.
  void FeedTime(TTimeTaken& r, const std::string& href, const std::string& taken,
                bool hit = true, const std::string& second = "15") {
    current.Clear();
    current.fields[kFieldHref] = href;
    current.fields[kFieldTimeTaken] = taken;
    current.fields[kFieldYear] = "2005";
    current.fields[kFieldMonth] = "12";
    current.fields[kFieldDay] = "7";
    current.fields[kFieldHour] = "12";
    current.fields[kFieldMin] = "30";
    current.fields[kFieldSec] = second;
    current.line.is_hit = hit;
    ctx.values.NextLine();
    r.ProcessLine();
  }
};

std::string Dump(const TTimeTaken& r) {
  std::string out;
  for (const auto& item : r.Items())
    out += (out.empty() ? "" : " ") + item->url + ":" + std::to_string(item->time_taken);
  return out;
}

std::string Dump(const TCrossRep& r) {
  std::string out;
  for (const auto& p : r.Parents()) {
    out += (out.empty() ? "" : " | ") + p->text + "=" + std::to_string(p->total);
    for (const auto& c : p->children) out += " " + c->text + ":" + std::to_string(c->count);
  }
  return out;
}

// --- time taken --------------------------------------------------------------------

TEST_F(ReportTest, TimeTakenDefinition) {
  TTimeTaken r(ctx);
  EXPECT_EQ(r.report_name, "Time taken");
  EXPECT_EQ(r.SaveParams(true),
            "type=time_taken\r\nname=Time taken\r\ncategoryno=0\r\nsort_by=time_taken\r\n"
            "sort_type=descending\r\nlimit=20\r\npages_only=true\r\n");
  struct TCase {
    const char* line;
    const char* saved;  // the report's own lines afterwards
  } cases[] = {
      {"sort_by=HREF", "sort_by=time_taken\r\nsort_type=descending\r\nlimit=20\r\npages_only=true\r\n"},
      {"sort_type=ascending", "sort_by=time_taken\r\nsort_type=ascending\r\nlimit=20\r\npages_only=true\r\n"},
      {"limit= 7 ", "sort_by=time_taken\r\nsort_type=descending\r\nlimit=7\r\npages_only=true\r\n"},
      {"limit=0", "sort_by=time_taken\r\nsort_type=descending\r\nlimit=20\r\npages_only=true\r\n"},
      {"limit=many", "sort_by=time_taken\r\nsort_type=descending\r\nlimit=20\r\npages_only=true\r\n"},
      {"pages_only= FALSE ", "sort_by=time_taken\r\nsort_type=descending\r\nlimit=20\r\npages_only=false\r\n"},
  };
  const std::string base = "type=time_taken\r\nname=Time taken\r\ncategoryno=0\r\nfooter=true\r\n";
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.line);
    TTimeTaken t(ctx);
    t.LoadParam(c.line);
    EXPECT_EQ(t.SaveParams(false), base + c.saved);
  }
  r.LoadParams("sort_by=href\r\nsort_type=ascending\r\nlimit=3\r\npages_only=false");
  auto copy = r.Clone();
  auto& c = dynamic_cast<TTimeTaken&>(*copy);
  EXPECT_FALSE(c.sort_by_time_taken);
  EXPECT_FALSE(c.sort_descending);
  EXPECT_EQ(c.limit, 20);
  EXPECT_TRUE(c.pages_only);
  EXPECT_EQ(GetReportTypeName("time_taken"), "Time taken");
}

TEST_F(ReportTest, TimeTakenKeepsTheSmallestTimePerUrl) {
  TTimeTaken r(ctx);
  FeedTime(r, "/a.htm", "300", true, "01");
  FeedTime(r, "/a.htm", "120", true, "02");
  FeedTime(r, "/a.htm", "120", true, "03");  // equal: the earlier request stays
  FeedTime(r, "/a.htm", "200", true, "04");
  FeedTime(r, "/b.htm", " 7 ", true, "05");
  FeedTime(r, "/c.gif", "1", false);  // not a page
  EXPECT_EQ(Dump(r), "/a.htm:120 /b.htm:7");
  EXPECT_EQ(DateTimeText(r.Items()[0]->request_time), "2005-12-07 12:30:02");
  // Fields that are no number or no date raise, and count nothing.
  EXPECT_THROW(FeedTime(r, "/d.htm", "fast"), EConvertError);
  EXPECT_THROW(FeedTime(r, "/d.htm", ""), EConvertError);
  EXPECT_THROW(FeedTime(r, "/d.htm", "5", true, "x"), EConvertError);
  EXPECT_THROW(FeedTime(r, "/d.htm", "5", true, "61"), EConvertError);
  current.fields[kFieldSec] = "15";
  current.fields[kFieldDay] = "32";
  EXPECT_THROW(r.ProcessLine(), EConvertError);
  EXPECT_EQ(Dump(r), "/a.htm:120 /b.htm:7");
  // A time past 32 bits is kept as the largest one.
  FeedTime(r, "/e.htm", "99999999999");
  EXPECT_EQ(r.Items().back()->time_taken, 2147483647);
}

TEST_F(ReportTest, TimeTakenSortOrders) {
  struct TCase {
    const char* definition;
    const char* order;
  } cases[] = {
      {"sort_by=time_taken\r\nsort_type=descending", "/B.htm:30 /c.htm:20 /a.htm:20 /d.htm:10"},
      {"sort_by=time_taken\r\nsort_type=ascending", "/d.htm:10 /c.htm:20 /a.htm:20 /B.htm:30"},
      {"sort_by=href\r\nsort_type=ascending", "/a.htm:20 /B.htm:30 /c.htm:20 /d.htm:10"},
      {"sort_by=href\r\nsort_type=descending", "/d.htm:10 /c.htm:20 /B.htm:30 /a.htm:20"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.definition);
    TTimeTaken r(ctx);
    r.LoadParams(c.definition);
    for (auto [href, t] : {std::pair{"/c.htm", "20"}, {"/a.htm", "20"}, {"/d.htm", "10"},
                           {"/B.htm", "30"}})
      FeedTime(r, href, t);
    r.SortItems();
    EXPECT_EQ(Dump(r), c.order);
    // Items are found again after the sort.
    FeedTime(r, "/d.htm", "1");
    EXPECT_EQ(r.Items().size(), 4u);
  }
}

TEST_F(ReportTest, TimeTakenTableCsvAndCompaction) {
  TTimeTaken r(ctx);
  r.LoadParams("name=Slow/pages\r\nlimit=2");
  FeedTime(r, "/x.htm?a=<b>", "5", true, "00");
  FeedTime(r, "/y.htm", "9");
  FeedTime(r, "/z.htm", "1");
  ctx.details.Clear();
  r.Display();
  EXPECT_NE(ctx.details.Text().find("<TR class=\"OddRaw\"><TD align=left>/x.htm?a=&lt;b&gt;</TD>"),
            std::string::npos)
      << ctx.details.Text();
  r.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Slow_pages.csv"),
            "Slow/pages\r\nFile;Time taken;Request time\r\n/y.htm;9;2005-12-07 12:30:15\r\n"
            "/x.htm?a=<b>;5;2005-12-07 12:30:00\r\n");

  TTimeTaken empty(ctx);
  ctx.details.Clear();
  empty.Display();
  EXPECT_EQ(ctx.details.Text(),
            "<BR><a name=\"Time_taken\"></a><h2>Time taken</h2>\r\n<P>No data</P>\r\n");
  empty.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Time taken.csv"), "Time taken\r\nNo data\r\n");

  // (100 + 100) x 1 items are cut to the 20 slowest.
  TTimeTaken many(ctx);
  many.LoadParams("limit=1");
  for (int i = 0; i < 199; ++i) FeedTime(many, "/p" + std::to_string(i), std::to_string(i));
  many.Compact();
  EXPECT_EQ(many.Items().size(), 199u);
  FeedTime(many, "/p199", "199");
  many.Compact();
  ASSERT_EQ(many.Items().size(), 20u);
  EXPECT_EQ(many.Items().front()->url, "/p199");
  EXPECT_EQ(many.Items().back()->url, "/p180");
  FeedTime(many, "/p180", "0");  // still found through the rebuilt index
  EXPECT_EQ(many.Items().size(), 20u);
  EXPECT_EQ(many.Items().back()->time_taken, 0);
}

// --- cross -------------------------------------------------------------------------

TEST(CrossParams, KeysCaptionsAndCodes) {
  for (uint8_t code = 1; code < kCrossParamCount; ++code)
    EXPECT_EQ(CrossFromKey(CrossKey(code)), code) << CrossKey(code);
  EXPECT_EQ(CrossFromKey(" Search_Words "), kCrossSearchWords);
  EXPECT_EQ(CrossFromKey("cookie"), kCrossNone);
  EXPECT_EQ(CrossKey(27), "cooki");
  EXPECT_EQ(CrossKey(35), "none");
  EXPECT_EQ(CrossCaption(24), "Referrer ID (uri query)");
  EXPECT_EQ(CrossCaption(16), "Month_");
  EXPECT_EQ(CrossCaption(0), "none");
  EXPECT_EQ(CrossCaption(200), "none");
}

TEST_F(ReportTest, CrossDefinitionCloneAndDns) {
  TCrossRep r(ctx);
  EXPECT_EQ(r.report_name, "");
  EXPECT_EQ(GetReportTypeName("cross"), "Cross report");
  r.LoadParams("name=X\r\nparent_param= Browser \r\nchild_param=usersite\r\nparent_sortby=name\r\n"
               "child_sortby=count\r\nparent_limit=0\r\nchild_limit=4\r\npages_only=False\r\n"
               "percentage=off");
  EXPECT_EQ(r.SaveParams(false),
            "type=cross\r\nname=X\r\ncategoryno=0\r\nfooter=true\r\nparent_param=browser\r\n"
            "child_param=usersite\r\nparent_sortby=name\r\nchild_sortby=value\r\n"
            "parent_limit=10\r\nchild_limit=4\r\npages_only=false\r\npercentage=true\r\n");
  EXPECT_TRUE(r.UsesReverseDns());
  r.LoadParams("child_param=nothing\r\nchild_limit=lots");
  EXPECT_EQ(r.child_param, kCrossNone);
  EXPECT_EQ(r.child_limit, 4);
  EXPECT_FALSE(r.UsesReverseDns());
  r.LoadParams("pages_only=true\r\npercentage=false");
  auto copy = r.Clone();
  auto& c = dynamic_cast<TCrossRep&>(*copy);
  EXPECT_EQ(c.parent_param, kCrossBrowser);
  EXPECT_EQ(c.child_param, kCrossNone);
  EXPECT_FALSE(c.parent_by_value);
  EXPECT_EQ(c.child_limit, 4);
  EXPECT_TRUE(c.show_percent);  // not copied
  r.CheckLogFields({});
  EXPECT_TRUE(r.is_supported);
}

TEST_F(ReportTest, CrossValuesOfTheCurrentLine) {
  current.fields[kFieldHost] = "host.example";
  current.fields[kFieldIp] = "10.1.2.3";
  current.fields[kFieldHref] = "/docs/a.htm?x=1";
  current.fields[kFieldReferrer] = "http://www.example.org/from/here.htm";
  current.fields[kFieldYear] = "2005";
  current.fields[kFieldSec] = "09";
  current.fields[kFieldMonthName] = "Dec";
  current.fields[kFieldStatus] = "404";
  current.fields[kFieldUserSite] = "site.example";
  current.line.request = MakeSplit(current.fields[kFieldHref]);
  current.line.referrer = MakeSplit(current.fields[kFieldReferrer]);
  current.line.day_of_week = "4";
  current.line.browser = "Firefox";
  current.line.browser_version = "3";
  TCrossRep r(ctx);
  struct TCase {
    uint8_t code;
    const char* value;
  } cases[] = {
      {kCrossHost, "10.1.2.3"}, {kCrossIp, "10.1.2.3"}, {kCrossHref, "/docs/a.htm?x=1"},
      {kCrossPath, "/docs/"}, {kCrossRefSite, "http://www.example.org"},
      {kCrossRefDomain, "org"}, {kCrossYear, "2005"}, {15, "09"}, {kCrossMonthName, "Dec"},
      {kCrossDayOfWeek, "4"}, {kCrossBrowserVersion, "Firefox 3"}, {kCrossFileExt, ".htm"},
      {kCrossStatus, "404"}, {kCrossUserSite, "site.example"}, {kCrossNone, ""},
      {kCrossSearchEngines, ""},  // no catalogue here
  };
  for (const TCase& c : cases) EXPECT_EQ(r.CrossValue(c.code), c.value) << CrossKey(c.code);
}

TEST_F(ReportTest, CrossCountingSortingAndCompaction) {
  TCrossRep r(ctx);
  r.child_param = kCrossSearchWords;
  r.AddPair("Google", "red shoes");
  r.AddPair("Bing", "\"red\"  boots");
  r.AddPair("Google", "red");
  EXPECT_EQ(Dump(r), "Google=3 red:2 shoes:1 | Bing=2 red:1 boots:1");
  r.child_param = kCrossSearchPhrases;
  r.AddPair("Bing", "");  // an empty child counts nothing
  EXPECT_EQ(Dump(r), "Google=3 red:2 shoes:1 | Bing=2 red:1 boots:1");
  r.parent_by_value = false;
  r.child_by_value = false;
  r.SortAll();
  EXPECT_EQ(Dump(r), "Bing=2 boots:1 red:1 | Google=3 red:2 shoes:1");
  r.AddPair("Google", "shoes");
  EXPECT_EQ(Dump(r), "Bing=2 boots:1 red:1 | Google=4 red:2 shoes:2");

  // (100 + 100) x 1 children and parents are cut to the best 20.
  TCrossRep many(ctx);
  many.child_limit = 1;
  many.parent_limit = 1;
  for (int i = 0; i < 200; ++i)
    for (int k = 0; k <= i % 7; ++k) many.AddPair("big", "c" + std::to_string(i));
  for (int i = 1; i < 200; ++i) many.AddPair("p" + std::to_string(i), "x");
  ASSERT_EQ(many.Parents().size(), 200u);
  many.Compact();
  ASSERT_EQ(many.Parents().size(), 20u);
  const TCrossRepParent& big = *many.Parents().front();
  EXPECT_EQ(big.text, "big");
  ASSERT_EQ(big.children.size(), 20u);
  EXPECT_EQ(big.children.front()->text, "c6");
  for (const auto& c : big.children) EXPECT_EQ(c->count, 7);
  many.AddPair("big", "c6");
  EXPECT_EQ(big.children.front()->count, 8);
  EXPECT_EQ(many.Parents().size(), 20u);
}

TEST_F(ReportTest, CrossPageWithoutPercentBaseAndEscaped) {
  TCrossRep r(ctx);
  r.LoadParams("name=Words <1>\r\nchild_param=search_words\r\nrem=note");
  r.AddPair("<Engine>", "\"\"");  // a parent whose one word is empty
  r.Display();
  EXPECT_EQ(r.page_file, "Words_<1>.htm");
  EXPECT_EQ(ctx.details.Text(),
            "<h2><a href=\"Words_&lt;1&gt;.htm\">Words <1></a></h2>\r\n<P>\r\nnote</P>\r\n");
  EXPECT_EQ(test::ReadFile(dir / "Words_<1>.htm"),
            "<HEAD>\r\n<BR><a name=\"Words_<1>\"></a><h2>Words <1></h2>\r\n"
            "<p><a href=\"indexdetails.htm\">Back to main page</a></p>\r\n"
            "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
            "<TR><TH>Search engine \\ Search word</TH>\r\n<TH>Value</TH>\r\n<TH>Percent</TH>\r\n"
            "</TR>\r\n"
            "<TR class=\"EvenRaw\"><TD WIDTH=\"100%\"><b>&lt;Engine&gt;</b></td>"
            "<td align=right><b>0</b></td>\r\n<TD align=right><b>-%</b></TD>\r\n</TR>\r\n"
            "<tr class=\"RowOddTotal\"><td>Subtotal number of Search engines above</td>"
            "<td colspan=\"2\"  align=\"right\">1</td></tr>\r\n"
            "<tr class=\"RowEvenTotal\"><td>Total number of Search engines in log file</td>"
            "<td  colspan=\"2\"  align=\"right\">1</td></tr>\r\n"
            "<tr class=\"RowOddTotal\"  colspan=\"2\" ><td>Subtotal value of Search engines "
            "above</td><td  colspan=\"2\"  align=\"right\">0</td></tr>\r\n"
            "<tr class=\"RowEvenTotal\"  colspan=\"2\" ><td>Total value of Search engines in log "
            "file</td><td  colspan=\"2\"  align=\"right\">0</td></tr>\r\n"
            "</TABLE></P>\r\n</BODY></HTML>\r\n");

  // Names that climb or hold "/" stay inside the output folder.
  TCrossRep climb(ctx);
  climb.LoadParams("name=../../up");
  climb.Display();
  EXPECT_EQ(climb.page_file, ".._.._up.htm");
  EXPECT_TRUE(std::filesystem::exists(dir / ".._.._up.htm"));
  EXPECT_EQ(test::ReadFile(dir / ".._.._up.htm").find("<P>No data</P>\r\n</body></html>\r\n"),
            test::ReadFile(dir / ".._.._up.htm").size() - 32);
}

TEST_F(ReportTest, CacheBlocksRoundTripAndRefuseNegativeCounts) {
  const std::string path = dir / "Cache/T.cache";
  auto make = [&] {
    TReportsCache::TReports list;
    auto t = std::make_unique<TTimeTaken>(ctx);
    t->LoadParams("name=Slow");
    list.push_back(std::move(t));
    auto c = std::make_unique<TCrossRep>(ctx);
    c->LoadParams("name=Cross\r\nfilter=ip;equals;10.0.0.1\r\nrem=kept");
    list.push_back(std::move(c));
    return list;
  };
  auto time_of = [](TReportsCache::TReports& l) -> TTimeTaken& {
    return dynamic_cast<TTimeTaken&>(*l[0]);
  };
  auto cross_of = [](TReportsCache::TReports& l) -> TCrossRep& {
    return dynamic_cast<TCrossRep&>(*l[1]);
  };
  TReportsCache::TReports saved = make();
  FeedTime(time_of(saved), "/a.htm", "30");
  FeedTime(time_of(saved), "/b.htm", "40", true, "59");
  cross_of(saved).AddPair("Google", "red");
  cross_of(saved).AddPair("Google", "blue");
  cross_of(saved).AddPair("Bing", "red");
  ASSERT_TRUE(TReportsCache().Save(path, saved, test::CacheHeader(100, false, 0, 0, false, 2, 1)));

  TReportsCache::TReports loaded = make();
  cross_of(loaded).AddPair("stale", "x");
  ASSERT_TRUE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_EQ(Dump(time_of(loaded)), "/a.htm:30 /b.htm:40");
  EXPECT_EQ(DateTimeText(time_of(loaded).Items()[1]->request_time), "2005-12-07 12:30:59");
  EXPECT_EQ(Dump(cross_of(loaded)), "Google=2 red:1 blue:1 | Bing=1 red:1");
  // The filters and remarks of the report stay; the loaded rows are found.
  EXPECT_EQ(cross_of(loaded).filters.size(), 1u);
  EXPECT_EQ(cross_of(loaded).remarks, "\r\nkept");
  cross_of(loaded).AddPair("Bing", "red");
  FeedTime(time_of(loaded), "/a.htm", "3");
  EXPECT_EQ(Dump(cross_of(loaded)), "Google=2 red:1 blue:1 | Bing=2 red:2");
  EXPECT_EQ(Dump(time_of(loaded)), "/a.htm:3 /b.htm:40");

  // A negative count in either block: the load fails and both are empty.
  const std::string data = test::ReadFile(path);
  const std::string index = test::ReadFile(path + "_");
  int32_t lengths[2];
  std::memcpy(lengths, index.data(), 8);
  const size_t cross_block = data.size() - static_cast<size_t>(lengths[1]);
  const size_t time_block = cross_block - static_cast<size_t>(lengths[0]);
  const int32_t minus = -1;
  for (size_t at : {time_block, cross_block, cross_block + 4 + 4 + 6 + 4 + 4}) {
    SCOPED_TRACE(at);
    std::string damaged = data;
    std::memcpy(&damaged[at], &minus, 4);
    test::WriteFile(path, damaged);
    TReportsCache::TReports again = make();
    host.stdout_text.clear();
    EXPECT_FALSE(TReportsCache().Load(path, again, test::CacheHeader(100, false, 0, 0, false)));
    EXPECT_NE(host.stdout_text.find("Cache load error"), std::string::npos);
    EXPECT_TRUE(time_of(again).Items().empty());
    EXPECT_TRUE(cross_of(again).Parents().empty());
  }
}

// --- whole analyses ---------------------------------------------------------------

std::string Iis(const std::string& time, const std::string& href, const std::string& taken) {
  return "2000-12-01 " + time + " 194.1.1.1 - GET " + href + " - 200 3923 324 " + taken +
         " Mozilla/4.0 -\r\n";
}

std::string TimeTakenRow(int i, const std::string& url, int taken, const std::string& when) {
  return std::string("<TR class=\"") + (i % 2 ? "OddRaw" : "EvenRaw") + "\"><TD align=left>" +
         url + "</TD>\r\n<td align=right nowrap>" + std::to_string(taken) +
         "</td>\r\n<td align=center nowrap>" + when + "</td>\r\n</TR>\r\n";
}

// From the section's anchor to the end of its table.
std::string Section(const std::string& page, const std::string& anchor) {
  const size_t from = page.find("<BR><a name=\"" + anchor + "\">");
  if (from == std::string::npos) return "";
  const size_t to = page.find("</TABLE></P>", from);
  return page.substr(from, to == std::string::npos ? std::string::npos : to + 12 - from);
}

const std::string kTimeTakenLog =
    Iis("00:50:24", "/a.htm", "300") + Iis("00:51:24", "/a.htm", "120") +
    Iis("00:52:24", "/b.htm", "500") + Iis("00:53:24", "/a.htm", "200") +
    Iis("00:54:24", "/c.gif", "5") + Iis("00:55:24", "/d.htm", "x12") +
    Iis("00:56:24", "/e.htm", "50");

TEST(TimeTakenAnalysis, SmallestTimesPerUrlAndBadFields) {
  test::Analysis a("MS IIS 5.0", "AutoExportIntoExcel=-1\r\n",
                   "type=time_taken\r\nname=Slowest\r\n"
                   "type=time_taken\r\nname=By URL\r\nsort_by=href\r\nsort_type=ascending\r\n"
                   "limit=3\r\npages_only=false\r\n");
  test::WriteFile(a.data + "access.log", kTimeTakenLog);
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string page = a.Details();
  const std::string table =
      "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n<TR><TH>File</TH>\r\n"
      "<TH nowrap>Time taken</TH>\r\n<TH nowrap>Request time</TH>\r\n</TR>\r\n";
  // 300 then 120 for /a.htm: 120 and the time of that second request.
  EXPECT_EQ(Section(page, "Slowest"),
            "<BR><a name=\"Slowest\"></a><h2>Slowest</h2>\r\n" + table +
                TimeTakenRow(0, "/b.htm", 500, "2000-12-01 00:52:24") +
                TimeTakenRow(1, "/a.htm", 120, "2000-12-01 00:51:24") +
                TimeTakenRow(2, "/e.htm", 50, "2000-12-01 00:56:24") + "</TABLE></P>")
      << page;
  EXPECT_EQ(Section(page, "By_URL"),
            "<BR><a name=\"By_URL\"></a><h2>By URL</h2>\r\n" + table +
                TimeTakenRow(0, "/a.htm", 120, "2000-12-01 00:51:24") +
                TimeTakenRow(1, "/b.htm", 500, "2000-12-01 00:52:24") +
                TimeTakenRow(2, "/c.gif", 5, "2000-12-01 00:54:24") + "</TABLE></P>")
      << page;
  EXPECT_EQ(test::ReadFile(a.out + "Slowest.csv"),
            "Slowest\r\nFile;Time taken;Request time\r\n/b.htm;500;2000-12-01 00:52:24\r\n"
            "/a.htm;120;2000-12-01 00:51:24\r\n/e.htm;50;2000-12-01 00:56:24\r\n");
  // The line with a broken time is logged once per report; the rest counts.
  const std::string errors = test::ReadFile(a.out + "err_rep.htm");
  EXPECT_NE(errors.find("PROCREP (#0) 'x12' is not a valid integer value<BR>"), std::string::npos)
      << errors;
  EXPECT_NE(errors.find("PROCREP (#1) 'x12' is not a valid integer value<BR>"), std::string::npos);
}

TEST(TimeTakenAnalysis, FormatWithoutTheFieldHidesTheReport) {
  test::Analysis a("NSCA Common", "", "type=time_taken\r\nname=Slowest\r\n");
  test::WriteFile(a.data + "access.log",
                  "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 5\r\n");
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Warning: Your log file does not support Time taken. So report \"Slowest\" "
                       "will be not shown. Read FAQ."),
            std::string::npos)
      << r.out;
  EXPECT_EQ(a.Details().find("<h2>Slowest</h2>"), std::string::npos);
}

std::string Combined(const std::string& ip, const std::string& when, const std::string& href,
                     const std::string& referrer) {
  return ip + " - - [" + when + " +0100] \"GET " + href + " HTTP/1.1\" 200 5 \"" + referrer +
         "\" \"Lynx\"\r\n";
}

const std::string kSearchLog =
    Combined("10.0.0.1", "07/Dec/2005:13:05:01", "/a.htm", "http://www.google.com/search?q=red+shoes") +
    Combined("10.0.0.2", "07/Dec/2005:13:06:01", "/a.htm", "http://www.google.com/search?q=Red+Shoes") +
    Combined("10.0.0.3", "07/Dec/2005:13:07:01", "/b.htm", "http://www.google.com/search?q=blue") +
    Combined("10.0.0.4", "07/Dec/2005:13:08:01", "/a.htm", "http://search.yahoo.com/s?p=red+shoes") +
    Combined("10.0.0.5", "07/Dec/2005:13:09:01", "/a.htm", "http://www.google.com/") +
    Combined("10.0.0.6", "07/Dec/2005:13:10:01", "/a.htm", "-") +
    Combined("10.0.0.7", "07/Dec/2005:13:11:01", "/a.htm", "http://other.example/p.htm?q=x") +
    Combined("10.0.0.8", "07/Dec/2005:13:12:01", "/c.gif", "http://www.google.com/search?q=image") +
    Combined("10.0.0.9", "07/Dec/2005:13:13:01", "/a.htm", "http://www.google.com/search?q=%3Cb%3E");

std::string CrossRow(long long& r, const std::string& text, int value, const std::string& percent,
                     bool parent) {
  const std::string cls = r++ % 2 ? "class=\"OddRaw\"" : "class=\"EvenRaw\"";
  if (parent)
    return "<TR " + cls + "><TD WIDTH=\"100%\"><b>" + text + "</b></td><td align=right><b>" +
           std::to_string(value) + "</b></td>\r\n<TD align=right><b>" + percent +
           "%</b></TD>\r\n</TR>\r\n";
  return "<TR " + cls + "><TD WIDTH=\"100%\">&nbsp;&nbsp;&nbsp;&nbsp;" + text +
         "</td><td align=right>" + std::to_string(value) + "</td>\r\n<TD align=right>" + percent +
         "%</TD>\r\n</TR>\r\n";
}

TEST(CrossAnalysis, EnginesByPhrasesOnTheirOwnPage) {
  test::Analysis a("Apache combined", "",
                   "type=cross\r\nname=Top engines\r\n"
                   "type=cross\r\nname=Words\r\nparent_param=search_words\r\n"
                   "child_param=search_engines\r\nfooter=false\r\npercentage=false\r\n"
                   "type=cross\r\nname=Engine pages\r\nchild_param=href\r\n");
  test::WriteFile(a.data + "access.log", kSearchLog);
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string details = a.Details();
  EXPECT_NE(details.find("<h2><a href=\"Top_engines.htm\">Top engines</a></h2>\r\n"),
            std::string::npos)
      << details;
  EXPECT_NE(test::ReadFile(a.out + "indexlist.htm").find("\"Top_engines.htm#Top_engines\""),
            std::string::npos);
  const std::string page = test::ReadFile(a.out + "Top_engines.htm");
  EXPECT_TRUE(page.starts_with("<HTML>\r\n<HEAD>\r\n")) << page;
  long long row = 0;
  std::string rows = CrossRow(row, "Google", 4, "80.00", true);
  rows += CrossRow(row, "red shoes", 2, "40.00", false);
  rows += CrossRow(row, "blue", 1, "20.00", false);
  rows += CrossRow(row, "&lt;b&gt;", 1, "20.00", false);
  rows += CrossRow(row, "Yahoo", 1, "20.00", true);
  rows += CrossRow(row, "red shoes", 1, "20.00", false);
  EXPECT_NE(page.find("<BODY>\r\n<BR><a name=\"Top_engines\"></a><h2>Top engines</h2>\r\n"
                      "<p><a href=\"indexdetails.htm\">Back to main page</a></p>\r\n"
                      "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
                      "<TR><TH>Search engine \\ Search phrase</TH>\r\n<TH>Value</TH>\r\n"
                      "<TH>Percent</TH>\r\n</TR>\r\n" + rows +
                      "<tr class=\"RowOddTotal\"><td>Subtotal number of Search engines above</td>"
                      "<td colspan=\"2\"  align=\"right\">2</td></tr>\r\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find("Total value of Search engines in log file</td><td  colspan=\"2\"  "
                      "align=\"right\">5</td></tr>\r\n</TABLE></P>\r\n</BODY></HTML>\r\n"),
            std::string::npos);

  // A two-word phrase counts under each of its words.
  const std::string words = test::ReadFile(a.out + "Words.htm");
  EXPECT_NE(words.find("<TR><TH>Search word \\ Search engine</TH>\r\n<TH>Value</TH>\r\n</TR>\r\n"
                       "<TR class=\"EvenRaw\"><TD WIDTH=\"100%\"><b>red</b></td>"
                       "<td align=right><b>3</b></td>\r\n</TR>\r\n"
                       "<TR class=\"OddRaw\"><TD WIDTH=\"100%\">&nbsp;&nbsp;&nbsp;&nbsp;Google</td>"
                       "<td align=right>2</td>\r\n</TR>\r\n"
                       "<TR class=\"EvenRaw\"><TD WIDTH=\"100%\">&nbsp;&nbsp;&nbsp;&nbsp;Yahoo</td>"
                       "<td align=right>1</td>\r\n</TR>\r\n"
                       "<TR class=\"OddRaw\"><TD WIDTH=\"100%\"><b>shoes</b></td>"
                       "<td align=right><b>3</b></td>\r\n</TR>\r\n"),
            std::string::npos)
      << words;
  EXPECT_EQ(words.find("RowOddTotal"), std::string::npos);

  // With one search parameter, a referrer without a query counts nowhere,
  // although its site is a search engine's.
  const std::string pages = test::ReadFile(a.out + "Engine_pages.htm");
  EXPECT_NE(pages.find("<b>Google</b></td><td align=right><b>4</b></td>\r\n"
                       "<TD align=right><b>80.00%</b></TD>\r\n</TR>\r\n"
                       "<TR class=\"OddRaw\"><TD WIDTH=\"100%\">&nbsp;&nbsp;&nbsp;&nbsp;/a.htm</td>"
                       "<td align=right>3</td>"),
            std::string::npos)
      << pages;
}

TEST(CachedAnalysis, TimeTakenAndCrossGiveTheSamePages) {
  const std::string reports = "type=time_taken\r\nname=Slowest\r\n";
  const std::string second = Iis("01:00:00", "/a.htm", "90") + Iis("01:01:00", "/f.htm", "70");
  test::Analysis cached("MS IIS 5.0", "IncrementalAnalysis=-1\r\n", reports);
  test::WriteFile(cached.data + "access.log", kTimeTakenLog);
  ASSERT_EQ(cached.Run().status, 0);
  test::WriteFile(cached.data + "access.log", kTimeTakenLog + second);
  auto r = cached.Run();
  ASSERT_NE(r.out.find("Loading cache..."), std::string::npos) << r.out;
  test::Analysis whole("MS IIS 5.0", "", reports);
  test::WriteFile(whole.data + "access.log", kTimeTakenLog + second);
  ASSERT_EQ(whole.Run().status, 0);
  const std::string section = Section(cached.Details(), "Slowest");
  EXPECT_NE(section.find("/a.htm</TD>\r\n<td align=right nowrap>90</td>"), std::string::npos)
      << section;
  EXPECT_EQ(section, Section(whole.Details(), "Slowest"));

  const std::string cross = "type=cross\r\nname=Engines\r\n";
  const std::string later = Combined("10.0.0.1", "08/Dec/2005:09:00:00", "/a.htm",
                                     "http://www.bing.com/search?q=red+shoes") +
                            Combined("10.0.0.2", "08/Dec/2005:09:01:00", "/a.htm",
                                     "http://www.google.com/search?q=blue");
  test::Analysis cached_cross("Apache combined", "IncrementalAnalysis=-1\r\n", cross);
  test::WriteFile(cached_cross.data + "access.log", kSearchLog);
  ASSERT_EQ(cached_cross.Run().status, 0);
  test::WriteFile(cached_cross.data + "access.log", kSearchLog + later);
  r = cached_cross.Run();
  ASSERT_NE(r.out.find("Loading cache..."), std::string::npos) << r.out;
  test::Analysis whole_cross("Apache combined", "", cross);
  test::WriteFile(whole_cross.data + "access.log", kSearchLog + later);
  ASSERT_EQ(whole_cross.Run().status, 0);
  const std::string page = test::ReadFile(cached_cross.out + "Engines.htm");
  EXPECT_NE(page.find("<b>Google</b></td><td align=right><b>5</b>"), std::string::npos) << page;
  EXPECT_NE(page.find("<b>Bing</b></td><td align=right><b>1</b>"), std::string::npos);
  EXPECT_EQ(page, test::ReadFile(whole_cross.out + "Engines.htm"));
}

}  // namespace
}  // namespace trelvar
