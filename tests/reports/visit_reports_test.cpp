// Time on site, visitor paths and common paths: crafted logs through the
// console run, and in the process the definitions, compaction and damaged
// cache blocks.
#include "reports/visit_reports.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "base/errors.h"
#include "reports/reports_cache.h"
#include "reports/visit_log.h"

namespace trelvar {
namespace {

using namespace test;

// Four clients; 10.0.0.2 a single hit, the image no page.
const std::string kFourVisits =
    Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.3", "10:00:30", "/a.htm") +
    Hit("10.0.0.2", "10:01:00", "/a.htm") + Hit("10.0.0.1", "10:05:00", "/b.htm") +
    Hit("10.0.0.1", "10:06:00", "/logo.gif") + Hit("10.0.0.3", "10:20:00", "/b.htm") +
    Hit("10.0.0.3", "10:49:00", "/c.htm") + Hit("10.0.0.4", "11:00:00", "/a.htm") +
    Hit("10.0.0.4", "11:10:00", "/b.htm");

// The user names and addresses of the visitor lines, in page order.
std::vector<std::string> Visitors(const std::string& page) {
  std::vector<std::string> found;
  const std::string open = "<font color=\"blue\">\r\n";
  for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
    at += open.size();
    found.push_back(page.substr(at, page.find("</font>", at) - at));
  }
  return found;
}

TEST(TimeOnSite, CountsFinishedVisitsOfTwoHitsOrMore) {
  const std::string none = "<TD>Total counted visits</TD><TD>0</TD></TR>\r\n</TABLE></P>";
  struct Case {
    std::string log, rows;
  } cases[] = {
      // Visits that never pause finish nothing; a single hit is no visit.
      {Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.1", "10:20:00", "/b.htm"), none},
      {Hit("10.0.0.1", "10:00:00", "/a.htm") + Flush(), none},
      {kFourVisits + Flush(),
       "<TD>Total counted visits</TD><TD>3</TD></TR>\r\n"
       "<TR class=\"OddRaw\"><TD>Average time (secs)</TD><TD>1270.00</TD></TR>\r\n"
       "<TR class=\"EvenRaw\"><TD>Min time (secs)</TD><TD>300.00</TD></TR>\r\n"
       "<TR  class=\"OddRaw\"><TD>Max time (secs)</TD><TD>2910.00</TD></TR>\r\n</TABLE></P>"},
  };
  for (const Case& c : cases) {
    Analysis a("Apache combined", "", Report("timeonsite", "On site"));
    RunOn(a, c.log);
    EXPECT_NE(a.Details().find("<BR><a name=\"On_site\"></a><h2>On site</h2>\r\n<P><TABLE border=0 "
                               "cellPadding=1 cellSpacing=1 width=\"500\">\r\n<TR><TH>Parameter</"
                               "TH><TH>Value</TH></TR>\r\n<TR class=\"EvenRaw\">" + c.rows),
              std::string::npos)
        << a.Details();
  }
}

TEST(VisitorPaths, VisitsTheirPagesTimesAndDownloads) {
  Analysis a("Apache combined", kNoBar, Report("visitor_path", "Paths", "rem=Recent\r\n"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm") +
               Hit("10.0.0.2", "10:10:00", "/f.zip", "http://www.Example.com/d/p.htm?q=a%20b",
                   "bob", "Agent%20<X>") +
               Hit("10.0.0.2", "10:11:00", "/f.zip") + Hit("10.0.0.2", "10:12:00", "/a.htm") +
               Hit("10.0.0.2", "10:13:00", "/a.htm") + Hit("10.0.0.2", "10:14:00", "/logo.gif") +
               Hit("10.0.0.2", "10:15:00", "/dir/") +
               // 29 minutes continue the visit, 31 start a new one.
               Hit("10.0.0.1", "10:29:00", "/b.htm") + Hit("10.0.0.1", "11:00:00", "/c.htm"));
  EXPECT_NE(a.Details().find("<h2><A HREF=\"vis_paths.htm\">Paths</A></h2>"), std::string::npos);
  const std::string page = ReadFile(a.out + "vis_paths.htm");
  const std::string row = "<TR class=\"OddRaw\"><TD>";
  const std::string expected =
      "<BR><H1>Paths</H1>\r\n<p>\r\nRecent</p>\r\n"
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>User info and path</TH><TH>Time (secs)</TH></TR>\r\n"
      "<TR class=\"RowHeader\"><TD>Visitor\r\n<font color=\"blue\">\r\n"
      "10.0.0.1</font> came at 2005-12-07 10:00:00<br>\r\nwith agent <I>Lynx</I><br>\r\n"
      "from <font color=\"green\">-</font> and visited pages:</TD><TD>&nbsp;</TD></TR>\r\n" +
      row + "/a.htm</TD><TD align=\"right\">1740.00</TD></TR>\r\n" + row +
      "/b.htm</TD><TD align=\"right\">0.00</TD></TR>\r\n</P>\r\n"
      "<TR class=\"RowHeader\"><TD>Visitor\r\n<font color=\"blue\">\r\nbob \r\n"
      "10.0.0.2</font> came at 2005-12-07 10:10:00<br>\r\nwith agent <I>Agent &lt;X&gt;</I><br>\r\n"
      "from <font color=\"green\">http://www.example.com</font>/d/p.htm?q=a b and visited "
      "pages:</TD><TD>&nbsp;</TD></TR>\r\n" +
      row + "/f.zip</TD><TD align=\"right\">120.00</TD></TR>\r\n" + row +
      "/a.htm</TD><TD align=\"right\">60.00</TD></TR>\r\n" + row +
      "/a.htm</TD><TD align=\"right\">120.00</TD></TR>\r\n" + row +
      "/dir/</TD><TD align=\"right\">0.00</TD></TR>\r\n</P>\r\n"
      "<TR class=\"RowHeader\"><TD>Visitor\r\n<font color=\"blue\">\r\n"
      "10.0.0.1</font> came at 2005-12-07 11:00:00<br>\r\nwith agent <I>Lynx</I><br>\r\n"
      "from <font color=\"green\">-</font> and visited pages:</TD><TD>&nbsp;</TD></TR>\r\n" +
      row + "/c.htm</TD><TD align=\"right\">0.00</TD></TR>\r\n</P>\r\n</TABLE></P>\r\n"
      "</BODY></HTML>\r\n";
  ASSERT_GE(page.size(), expected.size());
  EXPECT_EQ(page.substr(page.size() - expected.size()), expected) << page;
  EXPECT_EQ(page.find("<HTML>"), 0u);
}

TEST(VisitorPaths, TrimmingKeepsTheNewestWhenSortedByTime) {
  std::string four, many;
  for (const char* ip : {"10.0.0.2", "10.0.0.10", "10.0.0.1", "10.0.0.3"})
    four += Hit(ip, "10:00:00", "/a.htm");
  for (int i = 1; i <= 31; ++i) many += Hit("10.0.1." + std::to_string(i), "10:00:00", "/a.htm");
  std::vector<std::string> newest30;
  for (int i = 2; i <= 31; ++i) newest30.push_back("10.0.1." + std::to_string(i));
  struct Case {
    std::string definition, log;
    std::vector<std::string> listed;
  } cases[] = {
      {"limit=3\r\nsortby=time\r\n", four, {"10.0.0.10", "10.0.0.1", "10.0.0.3"}},
      {"limit=4\r\n", four, {"10.0.0.2", "10.0.0.10", "10.0.0.1", "10.0.0.3"}},
      {"limit=0\r\n", four, {}},
      {"", many, newest30},
      // By address nothing is removed; the texts in byte order.
      {"limit=1\r\nsortby= IP \r\n", four, {"10.0.0.1", "10.0.0.10", "10.0.0.2", "10.0.0.3"}},
  };
  for (const Case& c : cases) {
    Analysis a("Apache combined", "", Report("visitor_path", "Paths", c.definition));
    RunOn(a, c.log);
    EXPECT_EQ(Visitors(ReadFile(a.out + "vis_paths.htm")), c.listed) << c.definition;
  }
}

TEST(VisitorPaths, AVisitAfterARemovedOneKeepsNothingOfIt) {
  // The removed visit's storage serves the next one: none of its texts,
  // pages or downloads may show there.
  Analysis a("Apache combined", kNoBar, Report("visitor_path", "Paths", "limit=1\r\n"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/f.zip", "http://ref.example/x.htm", "bob", "Agent%20A") +
               Hit("10.0.0.1", "10:01:00", "/a.htm") + Hit("10.0.0.3", "10:01:30", "/c.htm") +
               Hit("10.0.0.2", "10:02:00", "/f.zip") + Hit("10.0.0.2", "10:03:00", "/f.zip") +
               Hit("10.0.0.2", "10:04:00", "/b.htm"));
  const std::string page = ReadFile(a.out + "vis_paths.htm");
  const std::string row = "<TR class=\"OddRaw\"><TD>";
  const std::string expected =
      "<TR class=\"RowHeader\"><TD>Visitor\r\n<font color=\"blue\">\r\n"
      "10.0.0.2</font> came at 2005-12-07 10:02:00<br>\r\nwith agent <I>Lynx</I><br>\r\n"
      "from <font color=\"green\">-</font> and visited pages:</TD><TD>&nbsp;</TD></TR>\r\n" +
      row + "/f.zip</TD><TD align=\"right\">120.00</TD></TR>\r\n" + row +
      "/b.htm</TD><TD align=\"right\">0.00</TD></TR>\r\n</P>\r\n</TABLE></P>\r\n";
  EXPECT_NE(page.find(expected), std::string::npos) << page;
  EXPECT_EQ(Visitors(page), std::vector<std::string>{"10.0.0.2"});
}

TEST(VisitorPaths, LogTextIsEscapedAndLongUrlsWrap) {
  const std::string zs(80, 'z');
  Analysis a("Apache combined", "", Report("visitor_path", "Paths"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/x.htm?a=%3Cb%3E&q=\"<i>\"&n=%00&" + zs,
               "http://h.com/r?x=%3Cscript%3E", "<u>&", "A'&<b>"));
  const std::string page = ReadFile(a.out + "vis_paths.htm");
  for (const char* raw : {"<i>", "<script>", "<u>", "<b>"})
    EXPECT_EQ(page.find(raw), std::string::npos) << raw;
  EXPECT_NE(page.find("&lt;u&gt;&amp; \r\n10.0.0.1</font>"), std::string::npos) << page;
  EXPECT_NE(page.find("/r?x=&lt;script&gt; and visited"), std::string::npos) << page;
  EXPECT_NE(page.find("with agent <I>A'&amp;&lt;b&gt;</I>"), std::string::npos) << page;
  // The URL as logged, broken after its last "&" before the 70th character.
  EXPECT_NE(page.find("<TD>/x.htm?a=%3Cb%3E&amp;q=&quot;&lt;i&gt;&quot;&amp;n=%00&amp;<br>" + zs +
                      "</TD>"),
            std::string::npos)
      << page;
}

TEST(CommonPaths, CountsIdenticalSequencesWithTheirTimes) {
  Analysis a("Apache combined", kNoBar, Report("common_path", "Common", "limit=2\r\n"));
  RunOn(a, kFourVisits + Flush());
  EXPECT_NE(a.Details().find("<h2><a href=\"common_paths.htm\">Common</a></h2>"),
            std::string::npos);
  const std::string table =
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>Time (secs)</TH><TH>Page</TH></TR>\r\n";
  const std::string row = "<TR class=\"OddRaw\"><TD width=\"100\" align=\"right\">";
  // Four visits: /a /b twice, /a once, /a /b /c once (not shown).
  const std::string expected =
      "<h1>Common</h1>\r\n<p>Total 4 paths, and\r\n3 paths (75.00%) are displayed below.</p>\r\n"
      "<h2>1. Path </h2>\r\n<p>Visitors: 2 (50.00%), Avg visit time (secs): 450.00</p>\r\n" +
      table + row + "450.00</TD><TD>/a.htm</TD></TR>\r\n" + row +
      "-</TD><TD>/b.htm</TD></TR>\r\n</TABLE>\r\n"
      "<h2>2. Path </h2>\r\n<p>Visitors: 1 (25.00%), Avg visit time (secs): -</p>\r\n" +
      table + row + "-</TD><TD>/a.htm</TD></TR>\r\n</TABLE>\r\n</BODY></HTML>";
  EXPECT_NE(ReadFile(a.out + "common_paths.htm").find(expected), std::string::npos)
      << ReadFile(a.out + "common_paths.htm");

  Analysis none("Apache combined", kNoBar, Report("common_path", "Common"));
  RunOn(none, Hit("10.0.0.1", "10:00:00", "/a.htm") + Hit("10.0.0.1", "10:10:00", "/b.htm"));
  EXPECT_NE(ReadFile(none.out + "common_paths.htm")
                .find("<h1>Common</h1>\r\n<p>Total 0 paths, and\r\n0 paths </p>\r\n</BODY>"),
            std::string::npos);
}

TEST(VisitReports, AVisitOfTwoHundredFiftyFivePages) {
  std::string log;
  for (int i = 0; i < 255; ++i) {
    char time[16];
    std::snprintf(time, sizeof time, "10:%02d:%02d", i / 60, i % 60);
    log += Hit("10.0.0.1", time, "/p" + std::to_string(i) + ".htm");
  }
  Analysis a("Apache combined", "",
             Report("visitor_path", "Paths") + Report("common_path", "Common") +
                 Report("timeonsite", "On site"));
  RunOn(a, log + Flush());
  EXPECT_EQ(Count(ReadFile(a.out + "vis_paths.htm"), "<TR class=\"OddRaw\">"), 256u);
  const std::string common = ReadFile(a.out + "common_paths.htm");
  EXPECT_EQ(Count(common, "<TR class=\"OddRaw\">"), 255u);
  EXPECT_NE(common.find("1.00</TD><TD>/p253.htm</TD></TR>\r\n<TR class=\"OddRaw\"><TD "
                        "width=\"100\" align=\"right\">-</TD><TD>/p254.htm</TD></TR>\r\n</TABLE>"),
            std::string::npos);
  EXPECT_NE(common.find("Avg visit time (secs): 254.00</p>"), std::string::npos);
  EXPECT_NE(a.Details().find("<TD>Max time (secs)</TD><TD>254.00</TD>"), std::string::npos);
}

TEST(VisitReports, DefinitionLinesAndMissingFields) {
  TReportContext ctx;
  TVisPathRep r(ctx);
  r.LoadParams("name=P\r\nlimit= 7\r\nsortby=IP");
  EXPECT_EQ(r.SaveParams(true), "type=visitor_path\r\nname=P\r\ncategoryno=0\r\nlimit=7\r\nsortby=ip\r\n");
  EXPECT_EQ(r.Clone()->SaveParams(false), r.SaveParams(false));
  r.LoadParam("sortby=anything");
  EXPECT_FALSE(r.sort_by_ip);
  EXPECT_THROW(r.LoadParam("limit=ten"), EConvertError);
  TCommonPathRep c(ctx);
  c.LoadParams("limit=3");
  EXPECT_EQ(c.SaveParams(true), "type=common_path\r\nname=Common Paths\r\ncategoryno=0\r\nlimit=3\r\n");
  EXPECT_THROW(c.LoadParam("limit=3x"), EConvertError);

  // The common log has the address and the URL but no agent.
  const std::vector<int> common_log = {kFieldIp, kFieldHref, kFieldStatus};
  r.CheckLogFields(common_log);
  EXPECT_FALSE(r.is_supported);
  EXPECT_NE(r.unsupported_text.find("does not support Agent. So report \"P\""), std::string::npos);
  TTimeonsiteRep t(ctx);
  t.CheckLogFields(common_log);
  EXPECT_TRUE(t.is_supported);
  t.CheckLogFields({kFieldIp});
  EXPECT_NE(t.unsupported_text.find("does not support href."), std::string::npos);
}

TEST(CommonPaths, CompactKeepsTheMostFollowedPathsAndPositiveTimes) {
  TReportContext ctx;  // no settings: tolerance 100, so 200 paths are many for limit 1
  TCommonPathRep r(ctx);
  r.LoadParams("limit=1");
  for (int k = 1; k <= 200; ++k)
    for (int n = 0; n < k; ++n) r.AddVisit(Visit("-", {"/p" + std::to_string(k), "/q"}, 5));
  r.Compact();
  ASSERT_EQ(r.Paths().size(), 20u);
  EXPECT_EQ(r.Paths().front().count, 200);
  EXPECT_EQ(r.Paths().back().count, 181);
  // The index follows: a kept path is found again, a dropped one is new.
  r.AddVisit(Visit("-", {"/p200", "/q"}, 5));
  r.AddVisit(Visit("-", {"/p1", "/q"}, 5));
  ASSERT_EQ(r.Paths().size(), 21u);
  EXPECT_EQ(r.Paths().front().count, 201);
  EXPECT_EQ(r.total_visits, 200 * 201 / 2 + 2);

  // A negative time (lines out of order) is not summed.
  TCommonPathRep times(ctx);
  times.AddVisit(Visit("-", {"/a", "/b"}, -30));
  times.AddVisit(Visit("-", {"/a", "/b"}, 60));
  const TCommonPath& p = times.Paths().front();
  EXPECT_EQ(p.pages[0].timed_count, 1);
  EXPECT_DOUBLE_EQ(p.pages[0].time_spent * 86400, 60);
  EXPECT_EQ(p.timed_visits, 1);
}

TEST(VisitReports, ADamagedCacheBlockLeavesTheReportsEmpty) {
  TTempDir dir;
  TCaptureHost host{TRunMode::Console};
  TReportContext ctx;
  const std::string path = dir / "Cache/s.cache";
  auto reports = [&] {
    TReportsCache::TReports list;
    list.push_back(std::make_unique<TCommonPathRep>(ctx));
    list.push_back(std::make_unique<TTimeonsiteRep>(ctx));
    return list;
  };
  TReportsCache::TReports saved = reports();
  static_cast<TCommonPathRep&>(*saved[0]).AddVisit(Visit("-", {"/a", "/b"}, 5));
  static_cast<TTimeonsiteRep&>(*saved[1]).visit_count = 3;
  ASSERT_TRUE(TReportsCache().Save(path, saved, test::CacheHeader(100, false, 0, 0, false, 2, 1)));

  // The page count of the one path made negative.
  std::string data = ReadFile(path);
  int32_t lengths[2];
  std::memcpy(lengths, ReadFile(path + "_").data(), 8);
  const size_t page_count = data.size() - static_cast<size_t>(lengths[0] + lengths[1]) + 24;
  const int32_t minus = -1;
  std::memcpy(&data[page_count], &minus, 4);
  WriteFile(path, data);
  TReportsCache::TReports loaded = reports();
  static_cast<TCommonPathRep&>(*loaded[0]).AddVisit(Visit("-", {"/stale"}));
  static_cast<TTimeonsiteRep&>(*loaded[1]).visit_count = 5;
  EXPECT_FALSE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_TRUE(static_cast<TCommonPathRep&>(*loaded[0]).Paths().empty());
  EXPECT_EQ(static_cast<TCommonPathRep&>(*loaded[0]).total_visits, 0);
  EXPECT_EQ(static_cast<TTimeonsiteRep&>(*loaded[1]).visit_count, 0);
}

}  // namespace
}  // namespace trelvar
