// The visit reports: time on site, visitor paths and common paths, from
// crafted logs through the console run, plus their definitions, the
// compaction of common paths and their cache blocks.
#include "reports/visit_reports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "analysis_run.h"
#include "config/errors.h"
#include "reports/reports_cache.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

// Pages end with the bare foot.
const std::string kNoBar = "ShowNavigationBar=0\r\n";

// One Apache combined line on 7 December 2005.
std::string Hit(const std::string& ip, const std::string& time, const std::string& url,
                const std::string& referrer = "-", const std::string& user = "-",
                const std::string& agent = "Lynx") {
  return ip + " - " + user + " [07/Dec/2005:" + time + " +0100] \"GET " + url +
         " HTTP/1.1\" 200 5 \"" + referrer + "\" \"" + agent + "\"\r\n";
}

// A hit hours later that finishes every visit before it.
std::string Flush() { return Hit("10.9.9.9", "20:00:00", "/end.htm"); }

std::string Report(const std::string& type, const std::string& name,
                   const std::string& extra = "") {
  return "type=" + type + "\r\nname=" + name + "\r\n" + extra;
}

// Runs the reports on the log; the run must succeed.
void RunOn(Analysis& a, const std::string& log) {
  test::WriteFile(a.data + "access.log", log);
  const auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

// The texts of the visitor lines (user name and address) in page order.
std::vector<std::string> Visitors(const std::string& page) {
  std::vector<std::string> found;
  const std::string open = "<font color=\"blue\">\r\n";
  for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
    at += open.size();
    found.push_back(page.substr(at, page.find("</font>", at) - at));
  }
  return found;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

// --- time on site -------------------------------------------------------------------

TEST(TimeOnSite, CountsFinishedVisitsOfTwoHitsOrMore) {
  const std::string head =
      "<BR><a name=\"On_site\"></a><h2>On site</h2>\r\n"
      "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>Parameter</TH><TH>Value</TH></TR>\r\n";
  struct Case {
    const char* what;
    std::string log, rows;
  } cases[] = {
      {"visits that never pause finish nothing",
       Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.1", "10:20:00", "/b.htm"),
       "<TR class=\"EvenRaw\"><TD>Total counted visits</TD><TD>0</TD></TR>\r\n</TABLE></P>"},
      {"a single hit is no counted visit",
       Hit("10.0.0.1", "10:00:00", "/a.htm") + Flush(),
       "<TR class=\"EvenRaw\"><TD>Total counted visits</TD><TD>0</TD></TR>\r\n</TABLE></P>"},
      {"lengths of three visits; images and single hits left out",
       Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.3", "10:00:30", "/a.htm") +
           Hit("10.0.0.2", "10:01:00", "/a.htm") + Hit("10.0.0.1", "10:05:00", "/b.htm") +
           Hit("10.0.0.1", "10:06:00", "/logo.gif") + Hit("10.0.0.3", "10:20:00", "/b.htm") +
           Hit("10.0.0.3", "10:49:00", "/c.htm") + Hit("10.0.0.4", "11:00:00", "/a.htm") +
           Hit("10.0.0.4", "11:10:00", "/b.htm") + Flush(),
       "<TR class=\"EvenRaw\"><TD>Total counted visits</TD><TD>3</TD></TR>\r\n"
       "<TR class=\"OddRaw\"><TD>Average time (secs)</TD><TD>1270.00</TD></TR>\r\n"
       "<TR class=\"EvenRaw\"><TD>Min time (secs)</TD><TD>300.00</TD></TR>\r\n"
       "<TR  class=\"OddRaw\"><TD>Max time (secs)</TD><TD>2910.00</TD></TR>\r\n"
       "</TABLE></P>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Analysis a("Apache combined", "", Report("timeonsite", "On site"));
    RunOn(a, c.log);
    EXPECT_NE(a.Details().find(head + c.rows), std::string::npos) << a.Details();
  }
}

// --- visitor paths ---------------------------------------------------------------------

TEST(VisitorPaths, VisitsTheirPagesTimesAndDownloads) {
  Analysis a("Apache combined", kNoBar,
             Report("visitor_path", "Paths", "rem=Recent visitors\r\n"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm") +
               Hit("10.0.0.2", "10:10:00", "/f.zip", "http://www.Example.com/dir/p.htm?q=a%20b",
                   "bob", "Agent%20<X>") +
               Hit("10.0.0.2", "10:11:00", "/f.zip") + Hit("10.0.0.2", "10:12:00", "/a.htm") +
               Hit("10.0.0.2", "10:13:00", "/a.htm") + Hit("10.0.0.2", "10:14:00", "/logo.gif") +
               Hit("10.0.0.2", "10:15:00", "/dir/") +
               // 29 minutes continue the visit, 31 start a new one.
               Hit("10.0.0.1", "10:29:00", "/b.htm") + Hit("10.0.0.1", "11:00:00", "/c.htm"));
  EXPECT_NE(a.Details().find("<h2><A HREF=\"vis_paths.htm\">Paths</A></h2>"), std::string::npos);
  const std::string page = test::ReadFile(a.out + "vis_paths.htm");
  const std::string head =
      "<BR><H1>Paths</H1>\r\n<p>\r\nRecent visitors</p>\r\n"
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>User info and path</TH><TH>Time (secs)</TH></TR>\r\n";
  EXPECT_NE(page.find(head), std::string::npos) << page;
  EXPECT_EQ(page.find("<HTML>"), 0u);
  const std::string first =
      "<TR class=\"RowHeader\"><TD>Visitor\r\n<font color=\"blue\">\r\n"
      "10.0.0.1</font> came at 2005-12-07 10:00:00<br>\r\n"
      "with agent <I>Lynx</I><br>\r\n"
      "from <font color=\"green\">-</font> and visited pages:</TD><TD>&nbsp;</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/a.htm</TD><TD align=\"right\">1740.00</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/b.htm</TD><TD align=\"right\">0.00</TD></TR>\r\n"
      "</P>\r\n";
  const std::string second =
      "<TR class=\"RowHeader\"><TD>Visitor\r\n<font color=\"blue\">\r\nbob \r\n"
      "10.0.0.2</font> came at 2005-12-07 10:10:00<br>\r\n"
      "with agent <I>Agent &lt;X&gt;</I><br>\r\n"
      "from <font color=\"green\">http://www.example.com</font>/dir/p.htm?q=a b and visited "
      "pages:</TD><TD>&nbsp;</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/f.zip</TD><TD align=\"right\">120.00</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/a.htm</TD><TD align=\"right\">60.00</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/a.htm</TD><TD align=\"right\">120.00</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/dir/</TD><TD align=\"right\">0.00</TD></TR>\r\n"
      "</P>\r\n";
  const std::string third =
      "10.0.0.1</font> came at 2005-12-07 11:00:00<br>\r\n"
      "with agent <I>Lynx</I><br>\r\n"
      "from <font color=\"green\">-</font> and visited pages:</TD><TD>&nbsp;</TD></TR>\r\n"
      "<TR class=\"OddRaw\"><TD>/c.htm</TD><TD align=\"right\">0.00</TD></TR>\r\n"
      "</P>\r\n</TABLE></P>\r\n</BODY></HTML>\r\n";
  EXPECT_NE(page.find(first + second), std::string::npos) << page;
  EXPECT_EQ(page.substr(page.size() - third.size()), third) << page;
  EXPECT_EQ(page.find("logo.gif"), std::string::npos);
  EXPECT_EQ(Visitors(page), (std::vector<std::string>{"10.0.0.1", "bob \r\n10.0.0.2", "10.0.0.1"}));
}

TEST(VisitorPaths, TrimmingKeepsTheNewestWhenSortedByTime) {
  std::string log;
  for (const char* ip : {"10.0.0.2", "10.0.0.10", "10.0.0.1", "10.0.0.3"})
    log += Hit(ip, "10:00:00", "/a.htm");
  struct Case {
    std::string definition;
    std::vector<std::string> listed;
  } cases[] = {
      {"limit=3\r\nsortby=time\r\n", {"10.0.0.10", "10.0.0.1", "10.0.0.3"}},
      {"limit=4\r\n", {"10.0.0.2", "10.0.0.10", "10.0.0.1", "10.0.0.3"}},
      {"limit=0\r\n", {}},
      // By address: nothing is removed; byte order of the texts.
      {"limit=1\r\nsortby= IP \r\n", {"10.0.0.1", "10.0.0.10", "10.0.0.2", "10.0.0.3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.definition);
    Analysis a("Apache combined", "", Report("visitor_path", "Paths", c.definition));
    RunOn(a, log);
    EXPECT_EQ(Visitors(test::ReadFile(a.out + "vis_paths.htm")), c.listed);
  }
}

TEST(VisitorPaths, ThirtyOneVisitsKeepThirtyByDefault) {
  std::string log;
  for (int i = 1; i <= 31; ++i) log += Hit("10.0.1." + std::to_string(i), "10:00:00", "/a.htm");
  Analysis a("Apache combined", "", Report("visitor_path", "Paths"));
  RunOn(a, log);
  const auto listed = Visitors(test::ReadFile(a.out + "vis_paths.htm"));
  ASSERT_EQ(listed.size(), 30u);
  EXPECT_EQ(listed.front(), "10.0.1.2");
  EXPECT_EQ(listed.back(), "10.0.1.31");
}

TEST(VisitorPaths, LogTextIsEscapedAndLongUrlsWrap) {
  const std::string url = "/x.htm?a=%3Cb%3E&q=\"<i>\"&n=%00&" + std::string(80, 'z');
  Analysis a("Apache combined", "", Report("visitor_path", "Paths"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", url, "http://h.com/r?x=%3Cscript%3E", "<u>&",
               "A'&<b>"));
  const std::string page = test::ReadFile(a.out + "vis_paths.htm");
  EXPECT_EQ(page.find("<i>"), std::string::npos) << page;
  EXPECT_EQ(page.find("<script>"), std::string::npos) << page;
  EXPECT_EQ(page.find("<u>"), std::string::npos) << page;
  EXPECT_NE(page.find("&lt;u&gt;&amp; \r\n10.0.0.1</font>"), std::string::npos) << page;
  EXPECT_NE(page.find("/r?x=&lt;script&gt;"), std::string::npos) << page;
  EXPECT_NE(page.find("with agent <I>A'&amp;&lt;b&gt;</I>"), std::string::npos) << page;
  // The logged URL as it was, escaped, with a break after its last "&"
  // before the seventieth character.
  EXPECT_NE(page.find("<TD>/x.htm?a=%3Cb%3E&amp;q=&quot;&lt;i&gt;&quot;&amp;n=%00&amp;<br>" +
                      std::string(80, 'z') + "</TD>"),
            std::string::npos)
      << page;
}

TEST(VisitorPaths, DefinitionLines) {
  TReportContext ctx;
  TVisPathRep r(ctx);
  EXPECT_EQ(r.report_name, "Visitor Paths");
  EXPECT_EQ(r.page_file, "vis_paths.htm");
  r.LoadParams("name=P\r\nlimit= 7\r\nsortby=IP");
  EXPECT_EQ(r.SaveParams(true), "type=visitor_path\r\nname=P\r\ncategoryno=0\r\nlimit=7\r\nsortby=ip\r\n");
  r.LoadParam("sortby=anything");
  EXPECT_FALSE(r.sort_by_ip);
  auto copy = r.Clone();
  EXPECT_EQ(copy->SaveParams(false), r.SaveParams(false));
  EXPECT_THROW(r.LoadParam("limit=ten"), EConvertError);

  TCommonPathRep c(ctx);
  EXPECT_EQ(c.limit, 10);
  c.LoadParams("limit=3");
  EXPECT_EQ(c.SaveParams(true), "type=common_path\r\nname=Common Paths\r\ncategoryno=0\r\nlimit=3\r\n");
  EXPECT_THROW(c.LoadParam("limit=3x"), EConvertError);
}

TEST(VisitReports, UnsupportedFormatsNameTheMissingField) {
  Analysis b("NSCA Common", "", Report("visitor_path", "Paths") + Report("timeonsite", "On site"));
  test::WriteFile(b.data + "access.log",
                  "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 5\r\n");
  const auto r = b.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  // The common log lacks the agent (the referrer is not needed here).
  EXPECT_NE(r.out.find("Warning: Your log file does not support Agent. So report \"Paths\" will "
                       "be not shown."),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("report \"On site\""), std::string::npos);
  EXPECT_NE(b.Details().find("<h2>On site</h2>"), std::string::npos);
  EXPECT_EQ(b.Details().find("vis_paths.htm"), std::string::npos);
}

// --- common paths ------------------------------------------------------------------------

TEST(CommonPaths, CountsIdenticalSequencesWithTheirTimes) {
  const std::string log =
      Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.3", "10:00:30", "/a.htm") +
      Hit("10.0.0.2", "10:01:00", "/a.htm") + Hit("10.0.0.1", "10:05:00", "/b.htm") +
      Hit("10.0.0.3", "10:20:00", "/b.htm") + Hit("10.0.0.3", "10:49:00", "/c.htm") +
      Hit("10.0.0.4", "11:00:00", "/a.htm") + Hit("10.0.0.4", "11:10:00", "/b.htm") + Flush();
  Analysis a("Apache combined", kNoBar, Report("common_path", "Common", "limit=2\r\n"));
  RunOn(a, log);
  EXPECT_NE(a.Details().find("<h2><a href=\"common_paths.htm\">Common</a></h2>"),
            std::string::npos);
  const std::string page = test::ReadFile(a.out + "common_paths.htm");
  const std::string table =
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>Time (secs)</TH><TH>Page</TH></TR>\r\n";
  const std::string row = "<TR class=\"OddRaw\"><TD width=\"100\" align=\"right\">";
  const std::string expected =
      "<h1>Common</h1>\r\n"
      "<p>Total 4 paths, and\r\n3 paths (75.00%) are displayed below.</p>\r\n"
      "<h2>1. Path </h2>\r\n<p>Visitors: 2 (50.00%), Avg visit time (secs): 450.00</p>\r\n" +
      table + row + "450.00</TD><TD>/a.htm</TD></TR>\r\n" + row +
      "-</TD><TD>/b.htm</TD></TR>\r\n</TABLE>\r\n"
      "<h2>2. Path </h2>\r\n<p>Visitors: 1 (25.00%), Avg visit time (secs): -</p>\r\n" +
      table + row + "-</TD><TD>/a.htm</TD></TR>\r\n</TABLE>\r\n</BODY></HTML>";
  EXPECT_NE(page.find(expected), std::string::npos) << page;
  EXPECT_EQ(page.find("/c.htm"), std::string::npos);
}

TEST(CommonPaths, NoFinishedVisitShowsNoPathAndNoPercentage) {
  Analysis a("Apache combined", kNoBar, Report("common_path", "Common"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.1", "10:10:00", "/b.htm"));
  const std::string page = test::ReadFile(a.out + "common_paths.htm");
  EXPECT_NE(page.find("<h1>Common</h1>\r\n<p>Total 0 paths, and\r\n0 paths </p>\r\n</BODY>"),
            std::string::npos)
      << page;
}

TEST(VisitReports, AVisitOfTwoHundredFiftyFivePages) {
  std::string log;
  for (int i = 0; i < 255; ++i) {
    char time[16];
    std::snprintf(time, sizeof time, "10:%02d:%02d", i / 60, i % 60);
    log += Hit("10.0.0.1", time, "/p" + std::to_string(i) + ".htm");
  }
  Analysis a("Apache combined", "",
             Report("visitor_path", "Paths", "limit=1\r\n") + Report("common_path", "Common") +
                 Report("timeonsite", "On site"));
  RunOn(a, log + Flush());
  const std::string paths = test::ReadFile(a.out + "vis_paths.htm");
  // The flush visit is the newest and the only one kept.
  EXPECT_EQ(Visitors(paths), std::vector<std::string>{"10.9.9.9"});
  const std::string common = test::ReadFile(a.out + "common_paths.htm");
  EXPECT_EQ(Count(common, "<TR class=\"OddRaw\">"), 255u);
  EXPECT_NE(common.find("1.00</TD><TD>/p253.htm</TD></TR>\r\n<TR class=\"OddRaw\"><TD "
                        "width=\"100\" align=\"right\">-</TD><TD>/p254.htm</TD></TR>\r\n</TABLE>"),
            std::string::npos);
  EXPECT_NE(common.find("Avg visit time (secs): 254.00</p>"), std::string::npos);
  EXPECT_NE(a.Details().find("<TD>Max time (secs)</TD><TD>254.00</TD>"), std::string::npos);

  Analysis b("Apache combined", "", Report("visitor_path", "Paths"));
  RunOn(b, log);
  EXPECT_EQ(Count(test::ReadFile(b.out + "vis_paths.htm"), "<TR class=\"OddRaw\">"), 255u);
}

// --- compaction and cache blocks, in the process ---------------------------------------------

TVisPathTable Visit(std::vector<std::string> urls, double seconds_each = 0) {
  TVisPathTable v;
  v.address = "10.0.0.1";
  for (const std::string& u : urls) v.hits.push_back({u, nullptr, seconds_each / 86400, 0});
  if (!v.hits.empty()) v.hits.back().time_spent = 0;
  return v;
}

TEST(CommonPaths, CompactKeepsTheMostFollowedPaths) {
  TReportContext ctx;  // no settings: tolerance 100, so 200 paths are many for limit 1
  TCommonPathRep r(ctx);
  r.LoadParams("limit=1");
  // Path k followed k times.
  for (int k = 1; k <= 200; ++k)
    for (int n = 0; n < k; ++n) r.AddVisit(Visit({"/p" + std::to_string(k), "/q"}, 5));
  ASSERT_EQ(r.Paths().size(), 200u);
  r.Compact();
  ASSERT_EQ(r.Paths().size(), 20u);
  EXPECT_EQ(r.Paths().front()->count, 200);
  EXPECT_EQ(r.Paths().back()->count, 181);
  // The index follows: a kept path is found again, a dropped one is new.
  r.AddVisit(Visit({"/p200", "/q"}, 5));
  r.AddVisit(Visit({"/p1", "/q"}, 5));
  ASSERT_EQ(r.Paths().size(), 21u);
  EXPECT_EQ(r.Paths().front()->count, 201);
  EXPECT_EQ(r.Paths().back()->count, 1);
  EXPECT_EQ(r.total_visits, 200 * 201 / 2 + 2);

  TCommonPathRep few(ctx);
  few.LoadParams("limit=1");
  for (int k = 0; k < 199; ++k) few.AddVisit(Visit({"/a" + std::to_string(k)}));
  few.Compact();
  EXPECT_EQ(few.Paths().size(), 199u);
}

TEST(CommonPaths, NegativeTimesAreNotSummed) {
  TReportContext ctx;
  TCommonPathRep r(ctx);
  r.AddVisit(Visit({"/a", "/b"}, -30));
  r.AddVisit(Visit({"/a", "/b"}, 60));
  const TCommonPath& p = *r.Paths().front();
  EXPECT_EQ(p.count, 2);
  EXPECT_EQ(p.pages[0].timed_count, 1);
  EXPECT_DOUBLE_EQ(p.pages[0].time_spent * 86400, 60);
  EXPECT_EQ(p.timed_visits, 1);
}

struct VisitCacheTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TReportContext ctx;
  std::string path() const { return dir / "Cache/s.cache"; }
};

TEST_F(VisitCacheTest, DamagedBlocksLeaveTheReportsEmpty) {
  TReportsCache::TReports saved;
  auto common = std::make_unique<TCommonPathRep>(ctx);
  common->AddVisit(Visit({"/a", "/b"}, 5));
  auto on_site = std::make_unique<TTimeonsiteRep>(ctx);
  on_site->visit_count = 3;
  on_site->sum_time = 1;
  saved.push_back(std::move(common));
  saved.push_back(std::move(on_site));
  ASSERT_TRUE(TReportsCache().Save(path(), saved, 100, false, 0, 0, false, 2, 1));

  auto fresh = [&] {
    TReportsCache::TReports list;
    list.push_back(std::make_unique<TCommonPathRep>(ctx));
    list.push_back(std::make_unique<TTimeonsiteRep>(ctx));
    return list;
  };
  TReportsCache::TReports loaded = fresh();
  ASSERT_TRUE(TReportsCache().Load(path(), loaded, 100, false, 0, 0, false));
  auto& c = static_cast<TCommonPathRep&>(*loaded[0]);
  ASSERT_EQ(c.Paths().size(), 1u);
  EXPECT_EQ(c.total_visits, 1);
  EXPECT_EQ(static_cast<TTimeonsiteRep&>(*loaded[1]).visit_count, 3);
  c.AddVisit(Visit({"/a", "/b"}, 5));  // found again through the rebuilt index
  EXPECT_EQ(c.Paths().size(), 1u);

  // The page count of the one path made negative.
  std::string data = test::ReadFile(path());
  const std::string index = test::ReadFile(path() + "_");
  ASSERT_EQ(index.size(), 8u);
  int32_t lengths[2];
  std::memcpy(lengths, index.data(), 8);
  EXPECT_EQ(lengths[1], 28);  // three reals and an integer
  const size_t block = data.size() - static_cast<size_t>(lengths[0] + lengths[1]);
  const size_t page_count = block + 4 + 4 + 4 + 8 + 4;
  const int32_t minus = -1;
  std::memcpy(&data[page_count], &minus, 4);
  test::WriteFile(path(), data);
  loaded = fresh();
  static_cast<TCommonPathRep&>(*loaded[0]).AddVisit(Visit({"/stale"}));
  static_cast<TTimeonsiteRep&>(*loaded[1]).visit_count = 5;
  EXPECT_FALSE(TReportsCache().Load(path(), loaded, 100, false, 0, 0, false));
  EXPECT_TRUE(static_cast<TCommonPathRep&>(*loaded[0]).Paths().empty());
  EXPECT_EQ(static_cast<TCommonPathRep&>(*loaded[0]).total_visits, 0);
  EXPECT_EQ(static_cast<TTimeonsiteRep&>(*loaded[1]).visit_count, 0);
}

}  // namespace
}  // namespace trelvar
