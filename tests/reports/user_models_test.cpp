// The user model and the user profiles: patterns of visits, their distance
// and merging, the buffer and its reduction, the pages and the cache block.
#include "reports/user_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "analysis_run.h"
#include "base/errors.h"
#include "logread/visit_tracker.h"
#include "reports/report_types.h"
#include "reports/reports_cache.h"
#include "test_support.h"

namespace trelvar {
namespace {

using test::Analysis;

TUserPattern Pattern(int weight, std::vector<TUserPatternItem> items) {
  TUserPattern p;
  p.weight = weight;
  p.items = std::move(items);
  return p;
}

TEST(UserPatterns, DistanceOverTheUnionOfPages) {
  struct Case {
    TUserPattern p, q;
    double distance;
  } cases[] = {
      {Pattern(1, {{"/a", 1}}), Pattern(1, {{"/a", 1}}), 0},
      {Pattern(1, {{"/a", 1}}), Pattern(1, {{"/b", 1}}), std::sqrt(2.0) / 2},
      {Pattern(1, {{"/a", 1}, {"/b", 1}}), Pattern(1, {{"/b", 1}, {"/c", 1}}), std::sqrt(2.0) / 3},
      {Pattern(1, {{"/a", 0.5}}), Pattern(1, {{"/a", 1}, {"/b", 0.25}}),
       std::sqrt(0.25 + 0.0625) / 2},
      {Pattern(1, {}), Pattern(1, {}), 0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(PatternDistance(c.p, c.q), c.distance);
    EXPECT_DOUBLE_EQ(PatternDistance(c.q, c.p), c.distance);
  }
}

TEST(UserPatterns, MergeGivesWeightedMeans) {
  TUserPattern p = Pattern(3, {{"/a", 1}, {"/b", 0.5}});
  MergePattern(p, Pattern(1, {{"/b", 1}, {"/c", 1}}));
  EXPECT_EQ(p.weight, 4);
  ASSERT_EQ(p.items.size(), 3u);
  EXPECT_EQ(p.items[2].page, "/c");
  EXPECT_DOUBLE_EQ(p.Value(0), 0.75);
  EXPECT_DOUBLE_EQ(p.Value(1), 0.625);
  EXPECT_DOUBLE_EQ(p.Value(2), 0.25);
}

struct UserModelTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TCurrentLine current;
  TVisLine visits{current};
  TReportContext ctx;
  std::mt19937_64 random{3};

  void SetUp() override {
    ctx.current = &current;
    ctx.visits = &visits;
    ctx.random = &random;
    ctx.output_folder = dir.path();
  }
  static TVisPathTable Visit(const std::vector<std::string>& urls) {
    TVisPathTable v;
    for (const std::string& u : urls) v.hits.push_back({u, EmptySplit(), 0, 0});
    return v;
  }
};

TEST_F(UserModelTest, ModelCountSetsTheBufferAndIsWrittenBack) {
  TUserModel m(ctx);
  EXPECT_EQ(m.model_count, 10);
  EXPECT_EQ(m.buffer_size, 10);
  m.LoadParams("name=M\r\nmodel_count=3");
  EXPECT_EQ(m.model_count, 3);
  EXPECT_EQ(m.buffer_size, 15);
  EXPECT_NE(m.SaveParams(true).find("type=user_model\r\nname=M\r\ncategoryno=0\r\nmodel_count=3\r\n"),
            std::string::npos);
  EXPECT_THROW(m.LoadParam("model_count=many"), EConvertError);
  auto copy = m.Clone();
  EXPECT_EQ(dynamic_cast<TUserModel&>(*copy).model_count, 3);
  TUserProfile p(ctx);
  EXPECT_EQ(p.report_type, "user_profile");
  EXPECT_EQ(p.page_file, "user_profiles.htm");
  EXPECT_NE(dynamic_cast<TUserProfile*>(p.Clone().get()), nullptr);
  EXPECT_EQ(GetReportTypeName("user_model"), "Users Model");
  EXPECT_EQ(GetReportTypeName("user_profile"), "User Profiles");
}

TEST_F(UserModelTest, RegressionLargeModelCountsKeepTheirBuffer) {
  // Five patterns a model: 5 x the count went past the largest integer
  // (a buffer of none, or of some other size).
  struct TCase {
    const char* line;
    int32_t buffer;
  } cases[] = {
      {"model_count=429496729", 2147483645},
      {"model_count=429496730", 2147483647},
      {"model_count=500000000", 2147483647},
      {"model_count=2147483647", 2147483647},
      {"model_count=-500000000", -2147483647 - 1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.line);
    TUserModel m(ctx);
    m.LoadParam(c.line);
    EXPECT_EQ(m.buffer_size, c.buffer);
  }
  TUserModel big(ctx);
  big.LoadParam("model_count=500000000");
  for (const char* page : {"/a", "/b", "/c"}) big.AddVisit(Visit({page}));
  EXPECT_EQ(big.Patterns().size(), 3u);  // room for every visit
}

TEST_F(UserModelTest, ProfilesCountEqualPageSetsTogetherAndKeepTheirPagesAfterTheVisit) {
  struct TCase {
    std::vector<std::string> pages;
    size_t profile;  // the profile, in order of first appearance, that counts it
  } cases[] = {
      {{"/a", "/b"}, 0},        {{"/b", "/a"}, 0}, {{"/a", "/b", "/a"}, 0},
      {{"/a"}, 1},              {{"/a", "/a"}, 1}, {{"/a", "/c"}, 2},
      {{"/c", "/a", "/c"}, 2},  {{"/b"}, 3},       {{"/a", "/b", "/c"}, 4},
      {{"/ab"}, 5},  // not the pages "/a" and "b" run together
  };
  TUserProfile profiles(ctx);
  std::vector<int32_t> weights;
  for (const TCase& c : cases) {
    // Built and dropped here: the profile must keep copies of its pages.
    profiles.AddVisit(Visit(c.pages));
    if (weights.size() <= c.profile) weights.resize(c.profile + 1);
    ++weights[c.profile];
  }
  ASSERT_EQ(profiles.ProfileCount(), weights.size());
  for (size_t i = 0; i < weights.size(); ++i)
    EXPECT_EQ(profiles.Profile(i).weight, weights[i]) << i;
  const TUserPattern last = profiles.Profile(4);
  ASSERT_EQ(last.items.size(), 3u);
  EXPECT_EQ(last.items[0].page, "/a");
  EXPECT_EQ(last.items[2].page, "/c");
  EXPECT_EQ(profiles.Profile(5).items[0].page, "/ab");
}

// Thousands of sets: a visit still counts into its own profile after the
// table grew and after Display sorted the profiles by weight.
TEST_F(UserModelTest, ProfilesAreFoundThroughGrowthAndAfterDisplaySortedThem) {
  TUserProfile profiles(ctx);
  auto set = [](int k) {
    return std::vector<std::string>{"/t" + std::to_string(k), "/s" + std::to_string(k % 37)};
  };
  for (int k = 0; k < 3000; ++k)
    for (int n = 0; n <= k % 5; ++n) profiles.AddVisit(Visit(set(k)));
  ASSERT_EQ(profiles.ProfileCount(), 3000u);
  profiles.Display();
  EXPECT_EQ(profiles.Profile(0).weight, 5);
  EXPECT_EQ(profiles.Profile(2999).weight, 1);
  // Set 4 had weight 5 and sorts first; the reversed pages are the same set.
  std::vector<std::string> reversed = set(4);
  std::swap(reversed[0], reversed[1]);
  profiles.AddVisit(Visit(reversed));
  profiles.AddVisit(Visit(set(5)));
  ASSERT_EQ(profiles.ProfileCount(), 3000u);
  EXPECT_EQ(profiles.Profile(0).weight, 6);
  // A shown profile keeps the page order of the page ("/s4" before "/t4"),
  // the others their visit's.
  EXPECT_EQ(profiles.Profile(0).items[0].page, "/s4");
  EXPECT_EQ(profiles.Profile(2999).items[0].page, "/t2995");
  EXPECT_EQ(profiles.Profile(2401).weight, 2);  // set 5, the second of weight 1
  profiles.AddVisit(Visit({"/t4"}));  // a part of a set is a set of its own
  EXPECT_EQ(profiles.ProfileCount(), 3001u);
}

TEST_F(UserModelTest, FullBufferMergesIntoTheNearestPattern) {
  TUserModel m(ctx);
  m.LoadParams("model_count=1");  // buffer of 5
  for (const char* page : {"/a", "/b", "/c", "/d", "/e"}) m.AddVisit(Visit({page}));
  ASSERT_EQ(m.Patterns().size(), 5u);
  // Whatever the random start, the identical pattern is found.
  for (int i = 0; i < 20; ++i) m.AddVisit(Visit({"/d", "/d"}));
  ASSERT_EQ(m.Patterns().size(), 5u);
  EXPECT_EQ(m.Patterns()[3]->weight, 21);
  EXPECT_EQ(m.Patterns()[3]->items.size(), 1u);
  EXPECT_EQ(m.Visits(), 25);
  // Below two patterns nothing merges, and the reduction stops at two.
  m.Reduce();
  EXPECT_EQ(m.Patterns().size(), 2u);
  TUserModel none(ctx);
  none.LoadParams("model_count=0");
  for (int i = 0; i < 4; ++i) none.AddVisit(Visit({"/x" + std::to_string(i)}));
  EXPECT_EQ(none.Patterns().size(), 2u);
  none.Reduce();
  EXPECT_EQ(none.Patterns().size(), 2u);
}

TEST_F(UserModelTest, CacheBlockRoundTripOfBothReports) {
  TReportsCache::TReports saved;
  saved.push_back(std::make_unique<TUserModel>(ctx));
  saved.push_back(std::make_unique<TUserProfile>(ctx));
  for (auto& r : saved) {
    auto& m = static_cast<TUserModel&>(*r);
    m.AddVisit(Visit({"/a", "/b"}));
    m.AddVisit(Visit({"/b", "/a"}));
    m.AddVisit(Visit({"/c"}));
  }
  const std::string path = dir / "Cache/site.cache";
  ASSERT_TRUE(TReportsCache().Save(path, saved, test::CacheHeader(100, false, 0, 0, false, 2, 1)));
  TReportsCache::TReports loaded;
  loaded.push_back(std::make_unique<TUserModel>(ctx));
  loaded.push_back(std::make_unique<TUserProfile>(ctx));
  ASSERT_TRUE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  for (size_t i = 0; i < 2; ++i) {
    auto& a = static_cast<TUserModel&>(*saved[i]);
    auto& b = static_cast<TUserModel&>(*loaded[i]);
    a.Display();
    const std::string before = test::ReadFile(dir / a.page_file);
    b.Display();
    EXPECT_EQ(test::ReadFile(dir / b.page_file), before);
    EXPECT_EQ(b.Visits(), 3);
  }
  // The loaded profiles still find their page sets.
  auto& profiles = static_cast<TUserProfile&>(*loaded[1]);
  ASSERT_EQ(profiles.ProfileCount(), 2u);
  profiles.AddVisit(Visit({"/c", "/c"}));
  EXPECT_EQ(profiles.ProfileCount(), 2u);

  // A negative count is an error that leaves the report empty.
  TReportsCache::TReports one;
  one.push_back(std::make_unique<TUserModel>(ctx));
  auto& m = static_cast<TUserModel&>(*one[0]);
  m.AddVisit(Visit({"/a"}));
  ASSERT_TRUE(TReportsCache().Save(path, one, test::CacheHeader(100, false, 0, 0, false, 2, 1)));
  std::string data = test::ReadFile(path);
  const size_t count_at = data.size() - (4 + 4 + 4 + 4 + 2 + 8);  // pattern count
  data.replace(count_at, 4, std::string("\xff\xff\xff\xff", 4));
  test::WriteFile(path, data);
  EXPECT_FALSE(TReportsCache().Load(path, one, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_EQ(m.Visits(), 0);
  EXPECT_TRUE(m.Patterns().empty());
}

// --- pages of a console run -------------------------------------------------------

std::string Line(const std::string& ip, int second, const std::string& url) {
  char time[16];
  std::snprintf(time, sizeof time, "%02d:%02d:%02d", 10 + second / 3600, second / 60 % 60,
                second % 60);
  return ip + " - - [07/Dec/2005:" + time + " +0000] \"GET " + url + " HTTP/1.0\" 200 5\r\n";
}

// The visits of one client each, finished by a late hit of another client.
std::string Log(const std::vector<std::vector<std::string>>& list) {
  std::string log;
  int t = 0;
  for (size_t v = 0; v < list.size(); ++v)
    for (const std::string& url : list[v]) log += Line("10.0.1." + std::to_string(v), t++, url);
  return log + Line("10.9.9.9", 7200, "/closer.htm");
}

std::string Rows(const std::string& first, int hits, const std::string& percent,
                 const std::string& page) {
  return first + "\r\n" + std::to_string(hits) + "</TD><TD align=\"right\">\r\n" + percent +
         "% </TD><TD width=\"100%\">\r\n" + page + "</TD></TR>\r\n";
}

TEST(UserModelRun, SixteenVisitsInABufferOfFifteenReduceToThreeModels) {
  Analysis a("NSCA Common", "", "type=user_model\r\nname=Models\r\nmodel_count=3\r\n");
  std::vector<std::vector<std::string>> visits;
  for (const char* page : {"/a.htm", "/b.htm", "/c.htm"})
    for (int i = 0; i < 5; ++i) visits.push_back({page});
  visits.push_back({"/a.htm", "/a.htm"});  // the 16th: merged into an "/a.htm" pattern
  test::WriteFile(a.data + "access.log", Log(visits));
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_NE(a.Details().find("<h2><a href=\"user_models.htm\">Models</a></h2>\r\n"),
            std::string::npos);
  const std::string page = test::ReadFile(a.out + "user_models.htm");
  const std::string head = "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
                           "<tr><th>Hits</th><th>Percent</th><th>Page</th></tr>\r\n";
  EXPECT_NE(page.find("<h1>Models</h1>\r\n<p>Total 16 visitors</p>\r\n<h2>1. Model </h2>\r\n"
                      "<p>Visitors: 6 (37.50%)</p>\r\n" + head +
                      Rows("<TR><TD align=\"right\">", 6, "100.00", "/a.htm") + "</TABLE>\r\n"
                      "<h2>2. Model </h2>\r\n<p>Visitors: 5 (31.25%)</p>\r\n"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(Rows("<TR><TD align=\"right\">", 5, "100.00", "/b.htm")), std::string::npos);
  EXPECT_NE(page.find(Rows("<TR><TD align=\"right\">", 5, "100.00", "/c.htm")), std::string::npos);
  EXPECT_NE(page.find("<h2>3. Model </h2>"), std::string::npos);
  EXPECT_EQ(page.find("<h2>4. Model </h2>"), std::string::npos);
  EXPECT_EQ(page.substr(page.size() - 16), "</BODY></HTML>\r\n");
}

TEST(UserModelRun, MixedPatternsShowRoundedHitsAndSortedItems) {
  // Two visits {a, b} and {a}: with one model they merge into a: 1.0, b: 0.5.
  Analysis a("NSCA Common", "", "type=user_model\r\nname=M\r\nmodel_count=1\r\n");
  test::WriteFile(a.data + "access.log",
                  Log({{"/b.htm", "/a.htm"}, {"/a.htm"}, {"/z.htm"}}));
  ASSERT_EQ(a.Run().status, 0);
  const std::string page = test::ReadFile(a.out + "user_models.htm");
  // Three patterns reduce to two; only the first is shown.
  EXPECT_NE(page.find("<h2>1. Model </h2>\r\n<p>Visitors: 2 (66.67%)</p>"), std::string::npos)
      << page;
  EXPECT_NE(page.find(Rows("<TR><TD align=\"right\">", 2, "100.00", "/a.htm") +
                      Rows("<TR><TD align=\"right\">", 1, "50.00", "/b.htm")),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("<h2>2. Model </h2>"), std::string::npos);
}

TEST(UserModelRun, ProfilesCountEqualPageSetsWhateverTheOrder) {
  Analysis a("NSCA Common", "",
             "type=user_profile\r\nname=Profiles\r\nrem=Who came\r\n");
  test::WriteFile(a.data + "access.log",
                  Log({{"/b.htm", "/a.htm"}, {"/a.htm", "/b.htm", "/a.htm"}, {"/a.htm"},
                       {"/%3Cb%3E.htm"}}));
  ASSERT_EQ(a.Run().status, 0);
  const std::string page = test::ReadFile(a.out + "user_profiles.htm");
  const std::string first = "<TR class=\"OddRaw\"><TD align=\"right\">";
  EXPECT_NE(page.find("<h1>Profiles</h1>\r\n<p>\r\nWho came</p>\r\n<p>Total 4 visitors</p>\r\n"
                      "<h2>1. User Profile </h2>\r\n<p>Visitors: 2 (50.00%)</p>\r\n"
                      "<TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n"
                      "<tr><th>Hits</th><th>Percent</th><th>Page</th></tr>\r\n" +
                      Rows(first, 2, "100.00", "/a.htm") + Rows(first, 2, "100.00", "/b.htm") +
                      "</TABLE>\r\n<h2>2. User Profile </h2>\r\n<p>Visitors: 1 (25.00%)</p>"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(Rows(first, 1, "100.00", "/&lt;b&gt;.htm")), std::string::npos) << page;
  EXPECT_EQ(page.find("<b>.htm"), std::string::npos);
  EXPECT_EQ(page.find("<h2>4. User Profile </h2>"), std::string::npos);
}

}  // namespace
}  // namespace trelvar
