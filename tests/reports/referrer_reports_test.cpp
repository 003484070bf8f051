// The referrer analyses, from crafted logs through the console run, plus
// their definitions, compaction and a cache round-trip of every visit and
// referrer report.
#include "reports/referrer_reports.h"

#include <gtest/gtest.h>

#include "analysis_run.h"
#include "config/errors.h"
#include "logread/visit_tracker.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

const std::string kNoBar = "ShowNavigationBar=0\r\n";

std::string Hit(const std::string& ip, const std::string& time, const std::string& url,
                const std::string& referrer = "-") {
  return ip + " - - [07/Dec/2005:" + time + " +0100] \"GET " + url + " HTTP/1.1\" 200 5 \"" +
         referrer + "\" \"Lynx\"\r\n";
}
std::string Flush() { return Hit("10.9.9.9", "20:00:00", "/end.htm"); }

std::string Report(const std::string& type, const std::string& name,
                   const std::string& extra = "") {
  return "type=" + type + "\r\nname=" + name + "\r\n" + extra;
}

void RunOn(Analysis& a, const std::string& log) {
  test::WriteFile(a.data + "access.log", log);
  const auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
}

const std::string kR1 = "http://A.com/x?q=1";
const std::string kR2 = "http://a.com/x?q=2";

// Five visits: two from each query of one address, one without referrer.
std::string FiveVisits() {
  return Hit("10.0.0.1", "10:00:00", "/a.htm", kR1) + Hit("10.0.0.2", "10:01:00", "/a.htm", kR2) +
         Hit("10.0.0.3", "10:02:00", "/c.htm") + Hit("10.0.0.4", "10:03:00", "/b.htm", kR1) +
         Hit("10.0.0.5", "10:04:00", "/c.htm", kR2) +
         Hit("10.0.0.1", "10:05:00", "/b.htm", "http://elsewhere/") +
         Hit("10.0.0.1", "10:06:00", "/logo.gif") + Hit("10.0.0.1", "10:07:00", "/a.htm") +
         Flush();
}

std::string RefHead(const std::string& visits, const std::string& percent,
                    const std::string& cell) {
  return "<TR class=\"RowHeader\">\r\n<TD align=\"right\">" + visits +
         "</TD><TD align=\"right\">" + percent + "</TD>\r\n<TD><font color=\"green\">" + cell +
         "</font>\r\n";
}
std::string RefPage(int hits, const std::string& percent, const std::string& url) {
  return "<TR class=\"OddRaw\"><TD align=\"right\">" + std::to_string(hits) +
         "</TD><TD align=\"right\">" + percent + "%</TD><TD>" + url + "</TD></TR>\r\n";
}
std::string Link(const std::string& url) { return "<a href=\"" + url + "\">" + url + "</a>"; }

TEST(ReferrerAnalysis, VisitsPerReferrerWithTheirPages) {
  Analysis a("Apache combined", kNoBar, Report("ref_analysis", "Refs"));
  RunOn(a, FiveVisits());
  EXPECT_NE(a.Details().find("<h2><A HREF=\"ref_an.htm\">Refs</A></h2>"), std::string::npos);
  const std::string page = test::ReadFile(a.out + "ref_an.htm");
  // Equal visits in descending byte order; a query makes another referrer;
  // a page requested twice in a visit counts twice.
  const std::string expected =
      "<BR><H1>Refs</H1>\r\n"
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>Hits</TH><TH>Percent</TH><TH>Page</TH></TR>\r\n" +
      RefHead("2", "40.00", Link(kR2)) + RefPage(1, "50.00", "/a.htm") +
      RefPage(1, "50.00", "/c.htm") + RefHead("2", "40.00", Link(kR1)) +
      RefPage(2, "50.00", "/a.htm") + RefPage(2, "50.00", "/b.htm") +
      RefHead("1", "20.00", Link("-")) + RefPage(1, "100.00", "/c.htm") +
      "</TABLE></P>\r\n</BODY></HTML>\r\n";
  ASSERT_GE(page.size(), expected.size());
  EXPECT_EQ(page.substr(page.size() - expected.size()), expected) << page;
  EXPECT_EQ(page.find("<HTML>"), 0u);
}

TEST(ReferrerAnalysis, LimitsOfReferrersAndPages) {
  Analysis a("Apache combined", kNoBar,
             Report("ref_analysis", "Refs", "max_ref_count=2\r\nmax_href_count=1\r\n"));
  RunOn(a, FiveVisits());
  const std::string page = test::ReadFile(a.out + "ref_an.htm");
  const std::string expected = RefHead("2", "40.00", Link(kR2)) + RefPage(1, "50.00", "/a.htm") +
                               RefHead("2", "40.00", Link(kR1)) + RefPage(2, "50.00", "/a.htm") +
                               "</TABLE></P>";
  EXPECT_NE(page.find(expected), std::string::npos) << page;
}

TEST(ReferrerAnalysis, OnlyWebAndRelativeAddressesAreLinked) {
  struct Case {
    std::string referrer, cell;
  } cases[] = {
      {"https://h.com/p?a=1&b=2", Link("https://h.com/p?a=1&amp;b=2")},
      {"/local/page.htm", Link("/local/page.htm")},
      {"javascript:alert(1)", "javascript:alert(1)"},
      {"data:text/html,<script>x</script>", "data:text/html,&lt;script&gt;x&lt;/script&gt;"},
      {"http://h.com/?q=<b>'&%00", Link("http://h.com/?q=&lt;b&gt;'&amp;%00")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.referrer);
    Analysis a("Apache combined", kNoBar, Report("ref_analysis", "Refs"));
    RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm?x=<i>", c.referrer) + Flush());
    const std::string page = test::ReadFile(a.out + "ref_an.htm");
    EXPECT_NE(page.find(RefHead("1", "100.00", c.cell)), std::string::npos) << page;
    EXPECT_NE(page.find(RefPage(1, "100.00", "/a.htm?x=&lt;i&gt;")), std::string::npos) << page;
    EXPECT_EQ(page.find("<script>"), std::string::npos);
  }
}

TEST(ReferrerAnalysis, DefinitionLines) {
  TReportContext ctx;
  TRefAn r(ctx);
  EXPECT_EQ(r.report_name, "Referrer Analysis");
  r.LoadParams("name=R\r\nmax_ref_count=5\r\nmax_href_count=3");
  EXPECT_EQ(r.SaveParams(true),
            "type=ref_analysis\r\nname=R\r\ncategoryno=0\r\nmax_ref_count=5\r\nmax_href_count=3\r\n");
  const auto copy = r.Clone();
  EXPECT_EQ(copy->SaveParams(false), r.SaveParams(false));
  EXPECT_THROW(r.LoadParam("max_ref_count=many"), EConvertError);
  EXPECT_THROW(r.LoadParam("max_href_count="), EConvertError);
  TIndirectRefAn ind(ctx);
  EXPECT_EQ(ind.page_file, "indir_ref_an.htm");
  EXPECT_EQ(ind.SaveParams(true),
            "type=indirect_ref_analysis\r\nname=Indirect Referrer Analysis\r\ncategoryno=0\r\n");
}

TEST(ReferrerReports, UnsupportedWithoutReferrer) {
  Analysis a("NSCA Common", "", Report("ref_analysis", "Refs") +
                                    Report("indirect_ref_analysis", "Ind"));
  test::WriteFile(a.data + "access.log",
                  "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 5\r\n");
  const auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  for (const char* name : {"Refs", "Ind"})
    EXPECT_NE(r.out.find(std::string("Warning: Your log file does not support Referrer. So report \"") +
                         name + "\" will be not shown."),
              std::string::npos)
        << r.out;
  EXPECT_EQ(a.Details().find("ref_an.htm"), std::string::npos);
}

// --- indirect referrers ----------------------------------------------------------------------

std::string IndPage(const std::string& url, int hits) {
  return "<TR class=\"RowHeader\"><TD>Page " + url + "</TD>\r\n<TD align=\"right\">" +
         std::to_string(hits) + "</TD></TR>\r\n";
}
std::string IndRef(const std::string& key, int count) {
  return "<TR class=\"OddRaw\"><TD>" + key + "</TD><TD align=\"right\">" + std::to_string(count) +
         "</TD></TR>\r\n";
}

TEST(IndirectReferrers, ReferrersOfEveryPageOfTheVisits) {
  Analysis a("Apache combined", kNoBar, Report("indirect_ref_analysis", "Ind"));
  RunOn(a, FiveVisits());
  EXPECT_NE(a.Details().find("<h2><A HREF=\"indir_ref_an.htm\">Ind</A></h2>"), std::string::npos);
  const std::string page = test::ReadFile(a.out + "indir_ref_an.htm");
  // The two queries of one address are one key, its site in lower case.
  const std::string expected =
      "<BR><H1>Ind</H1>\r\n"
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>Page</TH><TH>Hits</TH></TR>\r\n" +
      IndPage("/a.htm", 3) + IndRef("http://a.com/x", 3) + IndPage("/b.htm", 2) +
      IndRef("http://a.com/x", 2) + IndPage("/c.htm", 2) + IndRef("-", 1) +
      IndRef("http://a.com/x", 1) + "</TABLE></P>\r\n</BODY></HTML>\r\n";
  ASSERT_GE(page.size(), expected.size());
  EXPECT_EQ(page.substr(page.size() - expected.size()), expected) << page;
}

TEST(IndirectReferrers, FifteenPagesAndFifteenReferrersAtMost) {
  std::string log;
  int n = 0;
  auto ip = [&] {
    const int i = n++;
    return "10.0." + std::to_string(i / 200) + "." + std::to_string(i % 200);
  };
  // /z.htm from twenty keys, key k by 21 - k visits.
  for (int k = 1; k <= 20; ++k)
    for (int v = 0; v < 21 - k; ++v)
      log += Hit(ip(), "10:00:00", "/z.htm", "http://r" + std::to_string(100 + k) + ".com/p?v=" +
                                                 std::to_string(v));
  // Seventeen more pages, page k by 17 - k visits... the last two not shown.
  for (int k = 0; k < 17; ++k)
    for (int v = 0; v < 17 - k; ++v) log += Hit(ip(), "10:00:00", "/p" + std::to_string(k) + ".htm");
  Analysis a("Apache combined", kNoBar, Report("indirect_ref_analysis", "Ind"));
  RunOn(a, log + Flush());
  const std::string page = test::ReadFile(a.out + "indir_ref_an.htm");
  EXPECT_NE(page.find(IndPage("/z.htm", 210) + IndRef("http://r101.com/p", 20)), std::string::npos)
      << page;
  EXPECT_NE(page.find(IndRef("http://r115.com/p", 6) + IndPage("/p0.htm", 17)), std::string::npos)
      << page;
  EXPECT_EQ(page.find("r116.com"), std::string::npos);
  EXPECT_NE(page.find(IndPage("/p13.htm", 4)), std::string::npos);
  EXPECT_EQ(page.find("/p14.htm"), std::string::npos);
}

TEST(IndirectReferrers, LongKeysBreakAtSlashesAndStayEscaped) {
  const std::string dir(30, 'd');
  Analysis a("Apache combined", kNoBar, Report("indirect_ref_analysis", "Ind"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/a%20b.htm?<x>",
               "http://h.com/" + dir + "/<q>&amp;'/doc.htm?drop=1") +
               Flush());
  const std::string page = test::ReadFile(a.out + "indir_ref_an.htm");
  EXPECT_NE(page.find(IndPage("/a b.htm?&lt;x&gt;", 1) + IndRef("http://h.com/" + dir +
                                                              "/<br>&lt;q&gt;&amp;amp;'/doc.htm",
                                                          1)),
            std::string::npos)
      << page;
}

TEST(ReferrerReports, NoFinishedVisitShowsOnlyTheFrame) {
  Analysis a("Apache combined", kNoBar,
             Report("ref_analysis", "Refs") + Report("indirect_ref_analysis", "Ind"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm", kR1));
  EXPECT_NE(test::ReadFile(a.out + "ref_an.htm").find("<BR><H1>Refs</H1>\r\n<TABLE border=0 "
                                                      "cellPadding=1 cellSpacing=1 width=\"500\">"
                                                      "\r\n<TR><TH>Hits</TH><TH>Percent</TH><TH>"
                                                      "Page</TH></TR>\r\n</TABLE></P>\r\n</BODY>"
                                                      "</HTML>\r\n"),
            std::string::npos);
  EXPECT_NE(test::ReadFile(a.out + "indir_ref_an.htm")
                .find("<TR><TH>Page</TH><TH>Hits</TH></TR>\r\n</TABLE></P>\r\n</BODY></HTML>\r\n"),
            std::string::npos);
}

// --- compaction, in the process -------------------------------------------------------------

TVisPathTable Visit(const std::string& referrer, std::vector<std::string> urls) {
  TVisPathTable v;
  v.referrer = referrer;
  for (const std::string& u : urls) v.hits.push_back({u, nullptr, 0, 0});
  return v;
}

TEST(ReferrerAnalysis, CompactKeepsTheBestReferrersAndPages) {
  TReportContext ctx;  // tolerance 100: 200 referrers or pages are many
  TRefAn r(ctx);
  r.LoadParams("max_ref_count=1\r\nmax_href_count=1");
  for (int k = 1; k <= 200; ++k)
    for (int n = 0; n < k; ++n) r.AddVisit(Visit("r" + std::to_string(k), {"/a"}));
  // The last referrer also brought visits to 200 more pages, page k k times.
  for (int k = 1; k <= 200; ++k)
    for (int n = 0; n < k; ++n) r.AddVisit(Visit("r200", {"/p" + std::to_string(k)}));
  r.Compact();
  ASSERT_EQ(r.Rows().size(), 20u);
  const TRefAnRow& best = *r.Rows().Rows().front();
  EXPECT_EQ(best.value, "r200");
  ASSERT_EQ(best.pages.size(), 20u);
  EXPECT_EQ(best.pages.Rows().front()->value, "/a");
  EXPECT_EQ(best.pages.Rows().back()->hits, 182);
  EXPECT_EQ(r.Rows().Rows().back()->value, "r181");
  // The indexes follow the cut: a kept referrer is found, a dropped one is new.
  r.AddVisit(Visit("r181", {"/a"}));
  r.AddVisit(Visit("r1", {"/a"}));
  ASSERT_EQ(r.Rows().size(), 21u);
  EXPECT_EQ(r.Rows().Rows()[19]->visits, 182);
  EXPECT_EQ(r.Rows().Rows()[20]->visits, 1);
}

TEST(IndirectReferrers, CompactKeepsTheMostHitPages) {
  TReportContext ctx;
  TIndirectRefAn r(ctx);
  const int keep = 200 * 15;  // (tolerance + 100) * 15
  for (int k = 0; k < keep; ++k) r.AddVisit(Visit("http://r/", {"/p" + std::to_string(k)}));
  for (int k = 0; k < keep; ++k) r.AddVisit(Visit("http://r" + std::to_string(k) + "/", {"/top"}));
  r.Compact();
  ASSERT_EQ(r.Rows().size(), static_cast<size_t>(keep / 10));
  const TIndirRefAnTable& top = *r.Rows().Rows().front();
  EXPECT_EQ(top.value, "/top");
  EXPECT_EQ(top.hits, keep);
  EXPECT_EQ(top.referrers.size(), static_cast<size_t>(keep / 10));
  r.AddVisit(Visit("http://r0/", {"/top"}));
  EXPECT_EQ(top.referrers.Rows().front()->count, 2);
}

TEST(IndirectReferrers, KeyLeavesOutTheQueryAndLowersTheSite) {
  struct Case {
    const char* referrer;
    const char* key;
  } cases[] = {
      {"http://WWW.Site.COM/Dir/Doc.htm?Q=1", "http://www.site.com/Dir/Doc.htm"},
      {"-", "-"},
      {"", ""},
      {"/inside/page.htm?x", "/inside/page.htm"},
  };
  for (const Case& c : cases) EXPECT_EQ(TIndirectRefAn::ReferrerKey(Visit(c.referrer, {})), c.key);
}

// --- the cache ---------------------------------------------------------------------------------

TEST(VisitAndReferrerReports, EveryBlockSurvivesTheCache) {
  const std::string reports =
      Report("timeonsite", "On site") + Report("visitor_path", "Paths", "sortby=ip\r\n") +
      Report("common_path", "Common") + Report("ref_analysis", "Refs") +
      Report("indirect_ref_analysis", "Ind");
  Analysis a("Apache combined", kNoBar + "IncrementalAnalysis=-1\r\n", reports);
  const std::string log = FiveVisits() + Hit("10.0.0.7", "20:01:00", "/f.zip", "<'&>") +
                          Hit("10.0.0.7", "20:02:00", "/a.htm");
  RunOn(a, log);
  const char* pages[] = {"vis_paths.htm", "common_paths.htm", "ref_an.htm", "indir_ref_an.htm"};
  auto on_site = [&] {
    const std::string d = a.Details();
    const size_t at = d.find("<h2>On site</h2>");
    return at == std::string::npos ? std::string() : d.substr(at, d.find("</TABLE>", at) - at);
  };
  std::vector<std::string> first;
  for (const char* p : pages) first.push_back(test::ReadFile(a.out + p));
  const std::string first_on_site = on_site();
  // Every report holds something worth keeping.
  EXPECT_NE(first_on_site.find("<TD>Total counted visits</TD><TD>1</TD>"), std::string::npos)
      << first_on_site;
  EXPECT_NE(first[0].find("10.0.0.7</font>"), std::string::npos);
  EXPECT_NE(first[1].find("Total 5 paths"), std::string::npos);
  EXPECT_NE(first[2].find(Link(kR1)), std::string::npos);
  EXPECT_NE(first[3].find(IndRef("http://a.com/x", 3)), std::string::npos);

  // The same log again: every line is in the cache, all comes from it.
  const auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Loading cache..."), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Cache load error"), std::string::npos) << r.out;
  for (size_t i = 0; i < std::size(pages); ++i)
    EXPECT_EQ(test::ReadFile(a.out + pages[i]), first[i]) << pages[i];
  EXPECT_EQ(on_site(), first_on_site);

  // A later line continues the cached visits: 10.0.0.7 comes back and its
  // open visit is extended, not restarted.
  test::WriteFile(a.data + "access.log", log + Hit("10.0.0.7", "20:10:00", "/b.htm"));
  ASSERT_EQ(a.Run().status, 0);
  const std::string paths = test::ReadFile(a.out + "vis_paths.htm");
  EXPECT_NE(paths.find("<TD>/a.htm</TD><TD align=\"right\">480.00</TD></TR>\r\n"
                       "<TR class=\"OddRaw\"><TD>/b.htm</TD>"),
            std::string::npos)
      << paths;
}

}  // namespace
}  // namespace trelvar
