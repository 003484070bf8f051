// The referrer analyses: crafted logs through the console run, compaction
// in the process, and a cache round-trip of every visit and referrer report.
#include "reports/referrer_reports.h"

#include <gtest/gtest.h>

#include "base/errors.h"
#include "reports/visit_log.h"

namespace trelvar {
namespace {

using namespace test;

const std::string kR1 = "http://A.com/x?q=1";
const std::string kR2 = "http://a.com/x?q=2";

// Five visits: two from each query of one address, one without referrer;
// the first visit requests /a.htm twice.
const std::string kFiveVisits =
    Hit("10.0.0.1", "10:00:00", "/a.htm", kR1) + Hit("10.0.0.2", "10:01:00", "/a.htm", kR2) +
    Hit("10.0.0.3", "10:02:00", "/c.htm") + Hit("10.0.0.4", "10:03:00", "/b.htm", kR1) +
    Hit("10.0.0.5", "10:04:00", "/c.htm", kR2) +
    Hit("10.0.0.1", "10:05:00", "/b.htm", "http://elsewhere/") +
    Hit("10.0.0.1", "10:06:00", "/logo.gif") + Hit("10.0.0.1", "10:07:00", "/a.htm") + Flush();

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
std::string IndPage(const std::string& url, int hits) {
  return "<TR class=\"RowHeader\"><TD>Page " + url + "</TD>\r\n<TD align=\"right\">" +
         std::to_string(hits) + "</TD></TR>\r\n";
}
std::string IndRef(const std::string& key, int count) {
  return "<TR class=\"OddRaw\"><TD>" + key + "</TD><TD align=\"right\">" + std::to_string(count) +
         "</TD></TR>\r\n";
}
const std::string kRefTable =
    "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
    "<TR><TH>Hits</TH><TH>Percent</TH><TH>Page</TH></TR>\r\n";
const std::string kEnd = "</TABLE></P>\r\n</BODY></HTML>\r\n";

// The page ends with exactly `tail`.
void ExpectTail(const std::string& page, const std::string& tail) {
  ASSERT_GE(page.size(), tail.size()) << page;
  EXPECT_EQ(page.substr(page.size() - tail.size()), tail) << page;
}

TEST(ReferrerAnalysis, VisitsPerReferrerWithTheirPages) {
  // Equal visits in descending byte order; a query makes another referrer;
  // a page requested twice in a visit counts twice.
  const std::string all = RefHead("2", "40.00", Link(kR2)) + RefPage(1, "50.00", "/a.htm") +
                          RefPage(1, "50.00", "/c.htm") + RefHead("2", "40.00", Link(kR1)) +
                          RefPage(2, "50.00", "/a.htm") + RefPage(2, "50.00", "/b.htm") +
                          RefHead("1", "20.00", Link("-")) + RefPage(1, "100.00", "/c.htm");
  const std::string limited = RefHead("2", "40.00", Link(kR2)) + RefPage(1, "50.00", "/a.htm") +
                              RefHead("2", "40.00", Link(kR1)) + RefPage(2, "50.00", "/a.htm");
  struct Case {
    std::string definition, rows;
  } cases[] = {{"", all}, {"max_ref_count=2\r\nmax_href_count=1\r\n", limited}};
  for (const Case& c : cases) {
    Analysis a("Apache combined", kNoBar, Report("ref_analysis", "Refs", c.definition));
    RunOn(a, kFiveVisits);
    EXPECT_NE(a.Details().find("<h2><A HREF=\"ref_an.htm\">Refs</A></h2>"), std::string::npos);
    ExpectTail(ReadFile(a.out + "ref_an.htm"), "<BR><H1>Refs</H1>\r\n" + kRefTable + c.rows + kEnd);
  }
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
    Analysis a("Apache combined", kNoBar, Report("ref_analysis", "Refs"));
    RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm?x=<i>", c.referrer) + Flush());
    ExpectTail(ReadFile(a.out + "ref_an.htm"), RefHead("1", "100.00", c.cell) +
                                                   RefPage(1, "100.00", "/a.htm?x=&lt;i&gt;") +
                                                   kEnd);
  }
}

TEST(ReferrerReports, DefinitionLinesAndMissingFields) {
  TReportContext ctx;
  TRefAn r(ctx);
  r.LoadParams("name=R\r\nmax_ref_count=5\r\nmax_href_count=3");
  EXPECT_EQ(r.SaveParams(true),
            "type=ref_analysis\r\nname=R\r\ncategoryno=0\r\nmax_ref_count=5\r\nmax_href_count=3\r\n");
  EXPECT_EQ(r.Clone()->SaveParams(false), r.SaveParams(false));
  EXPECT_THROW(r.LoadParam("max_ref_count=many"), EConvertError);
  EXPECT_THROW(r.LoadParam("max_href_count="), EConvertError);
  TIndirectRefAn ind(ctx);
  EXPECT_EQ(ind.SaveParams(true),
            "type=indirect_ref_analysis\r\nname=Indirect Referrer Analysis\r\ncategoryno=0\r\n");
  // A later missing field replaces the warning of an earlier one.
  for (TCustomWReport* report : {static_cast<TCustomWReport*>(&r), static_cast<TCustomWReport*>(&ind)}) {
    report->CheckLogFields({kFieldIp, kFieldHref});
    EXPECT_FALSE(report->is_supported);
    EXPECT_NE(report->unsupported_text.find("does not support Referrer."), std::string::npos);
    report->CheckLogFields({kFieldIp});
    EXPECT_NE(report->unsupported_text.find("does not support Referrer."), std::string::npos);
    report->CheckLogFields({kFieldReferrer});
    EXPECT_NE(report->unsupported_text.find("does not support href."), std::string::npos);
    report->CheckLogFields({kFieldHref, kFieldReferrer});
    EXPECT_TRUE(report->is_supported);
  }
}

TEST(IndirectReferrers, ReferrersOfEveryPageOfTheVisits) {
  Analysis a("Apache combined", kNoBar, Report("indirect_ref_analysis", "Ind"));
  RunOn(a, kFiveVisits);
  EXPECT_NE(a.Details().find("<h2><A HREF=\"indir_ref_an.htm\">Ind</A></h2>"), std::string::npos);
  // The two queries of one address are one key, its site in lower case.
  ExpectTail(ReadFile(a.out + "indir_ref_an.htm"),
             "<BR><H1>Ind</H1>\r\n<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
             "<TR><TH>Page</TH><TH>Hits</TH></TR>\r\n" +
                 IndPage("/a.htm", 3) + IndRef("http://a.com/x", 3) + IndPage("/b.htm", 2) +
                 IndRef("http://a.com/x", 2) + IndPage("/c.htm", 2) + IndRef("-", 1) +
                 IndRef("http://a.com/x", 1) + kEnd);
}

TEST(IndirectReferrers, FifteenPagesAndFifteenReferrersAtMost) {
  std::string log;
  int n = 0;
  auto ip = [&] {
    const int i = n++;
    return "10.0." + std::to_string(i / 200) + "." + std::to_string(i % 200);
  };
  // /z.htm from twenty keys, key k by 21 - k visits; then page k by 17 - k.
  for (int k = 1; k <= 20; ++k)
    for (int v = 0; v < 21 - k; ++v)
      log += Hit(ip(), "10:00:00", "/z.htm",
                 "http://r" + std::to_string(100 + k) + ".com/p?v=" + std::to_string(v));
  for (int k = 0; k < 17; ++k)
    for (int v = 0; v < 17 - k; ++v) log += Hit(ip(), "10:00:00", "/p" + std::to_string(k) + ".htm");
  Analysis a("Apache combined", kNoBar, Report("indirect_ref_analysis", "Ind"));
  RunOn(a, log + Flush());
  const std::string page = ReadFile(a.out + "indir_ref_an.htm");
  EXPECT_NE(page.find(IndPage("/z.htm", 210) + IndRef("http://r101.com/p", 20)), std::string::npos)
      << page;
  EXPECT_NE(page.find(IndRef("http://r115.com/p", 6) + IndPage("/p0.htm", 17)), std::string::npos);
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
  EXPECT_NE(ReadFile(a.out + "indir_ref_an.htm")
                .find(IndPage("/a b.htm?&lt;x&gt;", 1) +
                      IndRef("http://h.com/" + dir + "/<br>&lt;q&gt;&amp;amp;'/doc.htm", 1)),
            std::string::npos)
      << ReadFile(a.out + "indir_ref_an.htm");
}

TEST(ReferrerReports, NoFinishedVisitShowsOnlyTheFrame) {
  Analysis a("Apache combined", kNoBar,
             Report("ref_analysis", "Refs") + Report("indirect_ref_analysis", "Ind"));
  RunOn(a, Hit("10.0.0.1", "10:00:00", "/a.htm", kR1));
  ExpectTail(ReadFile(a.out + "ref_an.htm"), "<BR><H1>Refs</H1>\r\n" + kRefTable + kEnd);
  ExpectTail(ReadFile(a.out + "indir_ref_an.htm"),
             "<BR><H1>Ind</H1>\r\n<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
             "<TR><TH>Page</TH><TH>Hits</TH></TR>\r\n" + kEnd);
}

TEST(ReferrerReports, CompactKeepsTheBestRowsAndTheIndexes) {
  TReportContext ctx;  // tolerance 100: 200 referrers or pages are many for a limit of 1
  TRefAn r(ctx);
  r.LoadParams("max_ref_count=1\r\nmax_href_count=1");
  for (int k = 1; k <= 200; ++k)
    for (int n = 0; n < k; ++n) r.AddVisit(Visit("r" + std::to_string(k), {"/a"}));
  // The last referrer also brought visits to 200 more pages, page k k times.
  for (int k = 1; k <= 200; ++k)
    for (int n = 0; n < k; ++n) r.AddVisit(Visit("r200", {"/p" + std::to_string(k)}));
  r.Compact();
  ASSERT_EQ(r.Rows().size(), 20u);
  const TRefAnRow& best = r.Rows().Rows().front();
  EXPECT_EQ(best.value, "r200");
  ASSERT_EQ(best.pages.size(), 20u);
  EXPECT_EQ(best.pages.Rows().front().value, "/a");
  EXPECT_EQ(best.pages.Rows().back().hits, 182);
  EXPECT_EQ(r.Rows().Rows().back().value, "r181");
  r.AddVisit(Visit("r181", {"/a"}));
  r.AddVisit(Visit("r1", {"/a"}));
  ASSERT_EQ(r.Rows().size(), 21u);
  EXPECT_EQ(r.Rows().Rows()[19].visits, 182);

  TIndirectRefAn ind(ctx);
  const int many = 200 * 15;
  for (int k = 0; k < many; ++k) ind.AddVisit(Visit("http://r/", {"/p" + std::to_string(k)}));
  for (int k = 0; k < many; ++k) ind.AddVisit(Visit("http://r" + std::to_string(k) + "/", {"/top"}));
  ind.Compact();
  ASSERT_EQ(ind.Rows().size(), static_cast<size_t>(many / 10));
  const TIndirRefAnTable& top = ind.Rows().Rows().front();
  EXPECT_EQ(top.value, "/top");
  EXPECT_EQ(top.referrers.size(), static_cast<size_t>(many / 10));
  ind.AddVisit(Visit("http://r0/", {"/top"}));
  EXPECT_EQ(top.referrers.Rows().front().count, 2);
  EXPECT_EQ(top.hits, many + 1);
}

TEST(VisitAndReferrerReports, EveryBlockSurvivesTheCache) {
  Analysis a("Apache combined", kNoBar + "IncrementalAnalysis=-1\r\n",
             Report("timeonsite", "On site") + Report("visitor_path", "Paths", "sortby=ip\r\n") +
                 Report("common_path", "Common") + Report("ref_analysis", "Refs") +
                 Report("indirect_ref_analysis", "Ind"));
  const std::string log = kFiveVisits + Hit("10.0.0.7", "20:01:00", "/f.zip", "<'&>") +
                          Hit("10.0.0.7", "20:02:00", "/a.htm");
  RunOn(a, log);
  const char* pages[] = {"vis_paths.htm", "common_paths.htm", "ref_an.htm", "indir_ref_an.htm"};
  auto on_site = [&] {
    const std::string d = a.Details();
    const size_t at = d.find("<h2>On site</h2>");
    return at == std::string::npos ? std::string() : d.substr(at, d.find("</TABLE>", at) - at);
  };
  std::vector<std::string> first;
  for (const char* p : pages) first.push_back(ReadFile(a.out + p));
  const std::string first_on_site = on_site();
  // Every report holds something worth keeping.
  EXPECT_NE(first_on_site.find("<TD>Total counted visits</TD><TD>1</TD>"), std::string::npos);
  EXPECT_NE(first[0].find("10.0.0.7</font>"), std::string::npos);
  EXPECT_NE(first[1].find("Total 5 paths"), std::string::npos);
  EXPECT_NE(first[2].find(Link(kR1)), std::string::npos);
  EXPECT_NE(first[3].find(IndRef("http://a.com/x", 3)), std::string::npos);

  // The same log again: every line is in the cache, all comes from it.
  const TRunResult r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Loading cache..."), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("Cache load error"), std::string::npos) << r.out;
  for (size_t i = 0; i < std::size(pages); ++i)
    EXPECT_EQ(ReadFile(a.out + pages[i]), first[i]) << pages[i];
  EXPECT_EQ(on_site(), first_on_site);

  // A later line extends the cached open visit of 10.0.0.7.
  RunOn(a, log + Hit("10.0.0.7", "20:10:00", "/b.htm"));
  EXPECT_NE(ReadFile(a.out + "vis_paths.htm")
                .find("<TD>/a.htm</TD><TD align=\"right\">480.00</TD></TR>\r\n"
                      "<TR class=\"OddRaw\"><TD>/b.htm</TD>"),
            std::string::npos);
}

}  // namespace
}  // namespace trelvar
