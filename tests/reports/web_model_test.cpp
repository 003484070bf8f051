// The web model: pages and their lists from finished visits, the index and
// page files, file names made from URLs, the next-page guess, compaction
// and the cache block.
#include "reports/web_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>
#include <set>

#include "analysis_run.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "logread/visit_tracker.h"
#include "reports/reports_cache.h"
#include "sites/log_formats.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

const char kReports[] = "type=web_model\r\nname=Model\r\n";

// One Apache combined line on 7 December 2005, `second` seconds after 10:00.
std::string Line(const std::string& ip, int second, const std::string& url,
                 const std::string& referrer = "-") {
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", 10 + second / 3600, second / 60 % 60,
                second % 60);
  return ip + " - - [07/Dec/2005:" + time + " +0000] \"GET " + url + " HTTP/1.1\" 200 512 \"" +
         referrer + "\" \"Lynx\"\r\n";
}
// A hit of another client two hours later: it finishes every earlier visit.
std::string Closer() { return Line("10.9.9.9", 7200, "/closer.htm"); }

std::vector<std::string> Hrefs(const std::string& page) {
  std::vector<std::string> out;
  const std::regex href("<A HREF=\"([^\"]*)\">");
  for (auto it = std::sregex_iterator(page.begin(), page.end(), href); it != std::sregex_iterator();
       ++it)
    out.push_back((*it)[1]);
  return out;
}

TEST(WebModel, ThreePageVisitGivesInputsOutputsTimesAndTheExitPage) {
  Analysis a("Apache combined", "", kReports);
  test::WriteFile(a.data + "access.log",
                  Line("10.0.0.1", 0, "/A.htm", "http://ref.example/start?q=1") +
                      Line("10.0.0.1", 10, "/B.htm") + Line("10.0.0.1", 30, "/C.htm") + Closer());
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(a.Details().find("<h2><a href=\"web_rpt.htm\">Model</a></h2>\r\n"), std::string::npos);

  const std::string index = test::ReadFile(a.out + "web_rpt.htm");
  EXPECT_NE(index.find("<h1>Model</h1>\r\n<p><a href=\"indexdetails.htm\">Back to main page</a>"
                       "</p>\r\n<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
                       "<tr><th>Page</th><th>Hits</th><th>Time (secs)</th></tr>\r\n"
                       "<TR class=\"EvenRaw\"><TD>\r\n<A HREF=\"web_a_htm.htm\">/<b>a.htm</b></A>"
                       "</TD><TD align=\"right\">\r\n1</TD><TD align=\"right\">10.00</TD></TR>\r\n"
                       "<TR class=\"OddRaw\"><TD>\r\n<A HREF=\"web_b_htm.htm\">/<b>b.htm</b></A>"
                       "</TD><TD align=\"right\">\r\n1</TD><TD align=\"right\">20.00</TD></TR>\r\n"
                       "<TR class=\"EvenRaw\"><TD>\r\n<A HREF=\"web_c_htm.htm\">/<b>c.htm</b></A>"
                       "</TD><TD align=\"right\">\r\n1</TD><TD align=\"right\">-</TD></TR>\r\n"
                       "</TABLE></BODY></HTML>"),
            std::string::npos)
      << index;
  // The closing visit is still open: it is no page.
  EXPECT_EQ(index.find("closer"), std::string::npos);

  const std::string head =
      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
      "<TR><TH>Page</TH><TH>Hits</TH><TH>Percent</TH></TR>\r\n";
  const std::string pa = test::ReadFile(a.out + "web_a_htm.htm");
  EXPECT_NE(pa.find("<h1>Page /a.htm</h1>\r\n<P>Visits: 1,&nbsp;Avg visit time (secs): 10.00"
                    "&nbsp<a href=\"web_rpt.htm\">Back to Index</a></P>\r\n"
                    "<h2>Top 10 Input hrefs</h2>\r\n" + head +
                    "<TR class=\"EvenRaw\"><TD width=\"100%\">http://ref.example/start\r\n"
                    "</TD><TD align=\"right\">1</TD>\r\n<TD align=\"right\">100.00%</TD></TR>\r\n"
                    "</TABLE>\r\n<h2>Top 10 Output hrefs</h2>\r\n" + head +
                    "<TR class=\"EvenRaw\"><TD width=\"100%\"><a href=\"web_b_htm.htm\">/b.htm</a>"
                    "\r\n</TD><TD>1</TD>\r\n<TD>100.00%</TD></TR>\r\n</TABLE>\r\n"),
            std::string::npos)
      << pa;
  const std::string pb = test::ReadFile(a.out + "web_b_htm.htm");
  EXPECT_NE(pb.find("<TR class=\"EvenRaw\"><TD width=\"100%\"><a href=\"web_a_htm.htm\">/a.htm</a>"
                    "\r\n</TD><TD align=\"right\">1</TD>"),
            std::string::npos)
      << pb;
  EXPECT_NE(pb.find("Avg visit time (secs): 20.00"), std::string::npos);
  const std::string pc = test::ReadFile(a.out + "web_c_htm.htm");
  EXPECT_NE(pc.find("Avg visit time (secs): -&nbsp"), std::string::npos) << pc;
  EXPECT_NE(pc.find("<a href=\"web_exit_htm.htm\">/exit.htm</a>"), std::string::npos) << pc;
  EXPECT_EQ(test::ReadFile(a.out + "web_exit_htm.htm"),
            "<html><body><h1>Exit of the site</h1></body></html>");
}

TEST(WebModel, OnePageVisitsVisitsTooLongAndPagesThatDifferInCaseOrQuery) {
  Analysis a("Apache combined", "", kReports);
  std::string log = Line("10.0.0.1", 0, "/Dir/Page.HTM?x=1", "http://r.example/") +
                    Line("10.0.0.2", 1, "/dir/page.htm?y=2", "http://r.example/");
  // 255 pages: counted like a visit of its first page only.
  for (int i = 0; i < 255; ++i) log += Line("10.0.0.3", 2 + i, "/long/" + std::to_string(i) + ".htm");
  // 254 pages: counted in full.
  for (int i = 0; i < 254; ++i) log += Line("10.0.0.4", 300 + i, "/full/" + std::to_string(i) + ".htm");
  test::WriteFile(a.data + "access.log", log + Closer());
  ASSERT_EQ(a.Run().status, 0);
  const std::string index = test::ReadFile(a.out + "web_rpt.htm");
  const auto hrefs = Hrefs(index);
  EXPECT_EQ(hrefs.size(), 1u + 1u + 254u);
  EXPECT_NE(index.find("<A HREF=\"web_dir_page_htm.htm\">/dir/<b>page.htm</b></A></TD><TD "
                       "align=\"right\">\r\n2</TD><TD align=\"right\">-</TD>"),
            std::string::npos)
      << index;
  EXPECT_NE(index.find("/long/<b>0.htm</b>"), std::string::npos);
  EXPECT_EQ(index.find("/long/<b>1.htm</b>"), std::string::npos);
  const std::string first_long = test::ReadFile(a.out + "web_long_0_htm.htm");
  EXPECT_NE(first_long.find("Visits: 1,&nbsp;Avg visit time (secs): -&nbsp"), std::string::npos);
  EXPECT_NE(first_long.find("<a href=\"web_exit_htm.htm\">/exit.htm</a>"), std::string::npos);
  const std::string page = test::ReadFile(a.out + "web_dir_page_htm.htm");
  EXPECT_NE(page.find("<TD width=\"100%\">http://r.example/\r\n</TD><TD align=\"right\">2</TD>"),
            std::string::npos)
      << page;
  // A middle page of the full visit: one input, one output, 1 second.
  const std::string middle = test::ReadFile(a.out + "web_full_100_htm.htm");
  EXPECT_NE(middle.find("<a href=\"web_full_99_htm.htm\">/full/99.htm</a>"), std::string::npos);
  EXPECT_NE(middle.find("<a href=\"web_full_101_htm.htm\">/full/101.htm</a>"), std::string::npos);
  EXPECT_NE(middle.find("Avg visit time (secs): 1.00"), std::string::npos);
}

TEST(WebModel, PageFileNamesFromAnyUrlAreLegalUniqueAndInsideTheFolder) {
  Analysis a("Apache combined", "", kReports);
  const std::vector<std::string> urls = {
      "/a%20b",        "/a_b",           "/a-b",          "/folder/",
      "/",             "/%2E%2E%2F%2E%2E%2Fetc%2Fpasswd", "/%3Cscript%3Ealert(1)%3C/script%3E.htm",
      "/%C3%A4%20%22q%22.htm", "/exit.htm",  "/rpt",          "/x&y=z;%5C.htm",
      "/" + std::string(300, 'x') + ".htm",   "/" + std::string(300, 'x') + ".html",
      "file://c:/docs/a.htm"};
  std::string log;
  int t = 0;
  for (const std::string& u : urls) log += Line("10.0.0.1", t++, u);
  test::WriteFile(a.data + "access.log", log + Closer());
  ASSERT_EQ(a.Run().status, 0);
  const std::string index = test::ReadFile(a.out + "web_rpt.htm");
  const auto files = Hrefs(index);
  // "/a b", "/a_b" and "/a-b"... each page once, "file://" as "file_a.htm".
  EXPECT_EQ(files.size(), urls.size()) << index;
  std::set<std::string> distinct(files.begin(), files.end());
  EXPECT_EQ(distinct.size(), files.size()) << index;
  const std::regex legal("web[A-Za-z0-9_-]*\\.htm");
  for (const std::string& f : files) {
    EXPECT_TRUE(std::regex_match(f, legal)) << f;
    EXPECT_LE((a.out + f).size(), 250u) << f;
    EXPECT_TRUE(std::filesystem::is_regular_file(a.out + f)) << f;
  }
  // The first key keeps its name; the later one gets a number.
  EXPECT_NE(index.find("<A HREF=\"web_a_b.htm\">/<b>a b</b>"), std::string::npos) << index;
  EXPECT_NE(index.find("<A HREF=\"web_a_b2.htm\">/<b>a_b</b>"), std::string::npos) << index;
  // A page called like the exit page or the index gets its own file.
  EXPECT_NE(index.find("<A HREF=\"web_exit_htm2.htm\">/<b>exit.htm</b>"), std::string::npos);
  EXPECT_NE(index.find("<A HREF=\"web_rpt2.htm\">/<b>rpt</b>"), std::string::npos);
  EXPECT_EQ(test::ReadFile(a.out + "web_exit_htm.htm"),
            "<html><body><h1>Exit of the site</h1></body></html>");
  EXPECT_NE(index.find("<A HREF=\"web_folder_index_htm.htm\">/folder/<b></b>"), std::string::npos);
  EXPECT_NE(index.find("<A HREF=\"webfile_a_htm.htm\">"), std::string::npos) << index;
  // Log text is escaped on every page.
  EXPECT_EQ(index.find("<script"), std::string::npos);
  EXPECT_NE(index.find("&lt;script&gt;"), std::string::npos);
  for (const std::string& f : files) EXPECT_EQ(test::ReadFile(a.out + f).find("<script"), std::string::npos);
  // Two long URLs cut to the same length: one exactly 250, the other numbered.
  size_t exact = 0;
  for (const std::string& f : files) exact += (a.out + f).size() == 250;
  EXPECT_GE(exact, 1u);
  // Nothing was written beside the output folder.
  for (const auto& e : std::filesystem::recursive_directory_iterator(a.data)) {
    if (e.path().parent_path().string() + "/" == a.out) continue;
    EXPECT_NE(e.path().extension(), ".htm") << e.path();
  }
}

// --- the report on its own ---------------------------------------------------------

struct ModelTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TCurrentLine current;
  TVisLine visits{current};
  TReportContext ctx;
  std::mt19937_64 random{7};
  TLogFmts formats;
  std::unique_ptr<TFolders> folders;
  std::unique_ptr<TMainSettings> settings;

  void SetUp() override {
    ctx.current = &current;
    ctx.visits = &visits;
    ctx.random = &random;
    ctx.output_folder = dir.path();
    test::WriteFile(dir / "prog/Default/main.ini", "\r\n");
    test::WriteFile(dir / "data/main.ini", "\r\n");
    folders = std::make_unique<TFolders>(dir / "prog", dir / "data");
    settings = std::make_unique<TMainSettings>(*folders, formats, nullptr);
    ctx.settings = settings.get();
  }
  void Hit(TCustomWReport& r, const std::string& ip, int second, const std::string& url) {
    current.Clear();
    current.fields[kFieldIp] = ip;
    current.fields[kFieldHref] = url;
    current.line.is_hit = true;
    current.line.timestamp = EncodeDate(2005, 12, 7) + second / 86400.0;
    current.line.request = MakeSplit(url);
    visits.SetDone(false);
    ctx.values.NextLine();
    r.ProcessLine();
  }
  // Visits of one client each, 10 seconds a page, finished by a late hit.
  void Visits(TCustomWReport& r, const std::vector<std::vector<std::string>>& list) {
    int t = 0;
    for (size_t v = 0; v < list.size(); ++v) {
      for (const std::string& url : list[v]) Hit(r, "10.0.0." + std::to_string(v), t += 10, url);
    }
    Hit(r, "10.9.9.9", t + 7200, "/closer.htm");
  }
  std::string AllPages(TWebModel& m) {
    m.Display();
    std::string out;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
      if (e.is_regular_file())
        out += e.path().filename().string() + "\n" + test::ReadFile(e.path().string()) + "\n";
    return out;
  }
};

TEST_F(ModelTest, GuessNextPageDrawsAmongTheFirstEntries) {
  TWebModel m(ctx);
  EXPECT_FALSE(m.HasData());
  Visits(m, {{"/a", "/b", "/c", "/d"}, {"/a", "/b", "/d"}, {"/a", "/x"}, {"/b", "/c"}});
  EXPECT_TRUE(m.HasData());
  // Outputs of /a in order: /b (twice), /x.
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) seen.insert(m.GuessNextPage("/a", 1, false));
  EXPECT_EQ(seen, std::set<std::string>({"/b"}));
  seen.clear();
  for (int i = 0; i < 200; ++i) seen.insert(m.GuessNextPage("/A?query", 5, false));
  EXPECT_EQ(seen, std::set<std::string>({"/b", "/x"}));
  // Later pages of /b (a middle page of two visits): /c, /d.
  seen.clear();
  for (int i = 0; i < 200; ++i) seen.insert(m.GuessNextPage("/b", 5, true));
  EXPECT_EQ(seen, std::set<std::string>({"/c", "/d"}));
  // The exit, an unknown page, an empty list and a count of 0 find nothing.
  EXPECT_EQ(m.GuessNextPage("/d", 5, false), "not found");
  EXPECT_EQ(m.GuessNextPage("/nowhere", 5, false), "not found");
  EXPECT_EQ(m.GuessNextPage("/a", 5, true), "not found");  // a first page has no later pages
  EXPECT_EQ(m.GuessNextPage("/b", 0, false), "not found");
  const TWebPage* b = m.FindPage("/b");
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->visits, 3);
  EXPECT_EQ(b->inputs.Find("/a", m.Keys())->count, 2);
  EXPECT_EQ(b->inputs.Find("", m.Keys())->count, 1);  // the visit without referrer
  EXPECT_EQ(b->later.Find("/c", m.Keys())->count, 1);
  EXPECT_EQ(b->later.Find("/d", m.Keys())->count, 2);
  EXPECT_NEAR(b->time_sum * 86400, 30, 1e-3);
  EXPECT_EQ(b->timed_count, 3);
}

TEST_F(ModelTest, PageFileNamesFollowTheLengthRule) {
  TWebModel m(ctx);
  struct Case {
    std::string url, name;
  } cases[] = {
      {"/a/b.htm", "web_a_b_htm.htm"},
      {"/a/", "web_a_index_htm.htm"},
      {"", "webindex_htm.htm"},
      {"http://Host.example/x?y=1", "webhttp___Host_example_x_y_1.htm"},
      {"/exit.htm", "web_exit_htm.htm"},
  };
  for (const Case& c : cases) EXPECT_EQ(m.PageFileName(c.url), c.name) << c.url;
  const std::string long_url = "/" + std::string(400, 'z');
  const std::string name = m.PageFileName(long_url);
  EXPECT_EQ(ctx.output_folder.size() + name.size(), 250u);
  EXPECT_EQ(name.substr(name.size() - 4), ".htm");
  ctx.output_folder = "/" + std::string(260, 'f') + "/";
  EXPECT_EQ(m.PageFileName(long_url), "web.htm");
}

TEST_F(ModelTest, CompactCutsLongListsToTheirBest) {
  settings->approximate_tolerance = -90;  // A = 100 records, 10 kept
  TWebModel m(ctx);
  std::vector<std::vector<std::string>> list;
  for (int i = 0; i < 120; ++i) list.push_back({"/hub", "/p" + std::to_string(i)});
  list.push_back({"/hub", "/p7"});
  Visits(m, list);
  const TWebPage* hub = m.FindPage("/hub");
  ASSERT_NE(hub, nullptr);
  EXPECT_EQ(hub->outputs.Size(), 120u);
  m.Compact();
  EXPECT_EQ(hub->outputs.Size(), 10u);
  EXPECT_EQ(m.Keys().Text(hub->outputs[0].id), "/p7");
  EXPECT_EQ(hub->outputs[0].count, 2);
  EXPECT_EQ(hub->inputs.Size(), 1u);  // short lists stay
  // The index follows the cut.
  EXPECT_EQ(hub->outputs.Find("/p100", m.Keys()), nullptr);
  EXPECT_NE(hub->outputs.Find("/p7", m.Keys()), nullptr);
}

TEST_F(ModelTest, EveryCompactionCutsEachListThatReachedItsSizeSinceTheLast) {
  // Compaction looks only at the pages whose lists grew to its size since
  // it last ran, or at every page when the size changed: a page it missed
  // would keep a list past the size.
  settings->approximate_tolerance = -90;  // A = 100 records
  TWebModel m(ctx);
  std::mt19937 draw(3);
  int t = 0;
  for (int round = 0; round < 30; ++round) {
    if (round == 20) settings->approximate_tolerance = -95;  // A = 50
    const size_t a = round < 20 ? 100 : 50;
    for (int v = 0; v < 40; ++v) {
      const std::string ip = "10.0." + std::to_string(round) + "." + std::to_string(v);
      const int pages = 2 + static_cast<int>(draw() % 5);
      for (int i = 0; i < pages; ++i) {
        // Five hubs that every visit meets, and pages of their own.
        const unsigned d = draw() % 10;
        Hit(m, ip, t += 10, d < 5 ? "/hub" + std::to_string(d) : "/p" + std::to_string(draw()));
      }
    }
    Hit(m, "10.9.9.9", t += 7200, "/closer.htm");
    m.Compact();
    size_t longest = 0;
    for (const auto& p : m.Pages())
      for (const THRefList* l : {&p->inputs, &p->outputs, &p->later}) {
        EXPECT_LT(l->Size(), a) << "round " << round << " " << p->value;
        longest = std::max(longest, l->Size());
      }
    // The lists grow past a tenth of the size, then are cut again.
    if (round >= 10) {
      EXPECT_GE(longest, a / 10) << round;
    }
  }
}

TEST_F(ModelTest, RegressionLargeToleranceCutsNoList) {
  // (tolerance + 100) x 10 records went past the largest integer and came
  // out as 0, which cut every list of every page to nothing.
  for (int tolerance : {214748365, 300000000, 2147483547}) {
    SCOPED_TRACE(tolerance);
    settings->approximate_tolerance = tolerance;
    TWebModel m(ctx);
    Visits(m, {{"/a", "/hub", "/x", "/end"}, {"/b", "/hub", "/y", "/end"}});
    m.Compact();
    const TWebPage* hub = m.FindPage("/hub");
    ASSERT_NE(hub, nullptr);
    EXPECT_EQ(hub->inputs.Size(), 2u);   // /a, /b
    EXPECT_EQ(hub->outputs.Size(), 2u);  // /x, /y
    EXPECT_EQ(hub->later.Size(), 3u);    // /x, /y, /end
  }
}

TEST_F(ModelTest, CacheBlockRoundTripGivesTheSamePages) {
  auto saved = std::make_unique<TWebModel>(ctx);
  Visits(*saved, {{"/a", "/b", "/c"}, {"/a.b", "/a_b", "/a"}, {"/a"}});
  TReportsCache::TReports list;
  list.push_back(std::move(saved));
  const std::string path = dir / "Cache/site.cache";
  ASSERT_TRUE(TReportsCache().Save(path, list, test::CacheHeader(100, false, 0, 0, false, 2, 1)));
  const std::string before = AllPages(static_cast<TWebModel&>(*list[0]));

  TReportsCache::TReports loaded;
  loaded.push_back(std::make_unique<TWebModel>(ctx));
  ASSERT_TRUE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  auto& m = static_cast<TWebModel&>(*loaded[0]);
  EXPECT_TRUE(m.HasData());
  EXPECT_EQ(m.Pages().size(), 5u);
  for (const auto& e : std::filesystem::directory_iterator(dir.path()))
    if (e.is_regular_file()) std::filesystem::remove(e.path());
  EXPECT_EQ(AllPages(m), before);

  // A damaged block (cut short) leaves the report empty.
  std::string data = test::ReadFile(path);
  test::WriteFile(path, data.substr(0, data.size() - 3));
  EXPECT_FALSE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_TRUE(m.Pages().empty());
}

}  // namespace
}  // namespace trelvar
