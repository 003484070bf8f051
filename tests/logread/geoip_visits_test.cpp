#include <gtest/gtest.h>

#include <thread>

#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "test_support.h"

namespace trelvar {
namespace {

std::string Node(uint32_t left, uint32_t right) {
  std::string n;
  for (uint32_t v : {left, right})
    for (int i = 0; i < 3; ++i) n += static_cast<char>((v >> (8 * i)) & 0xff);
  return n;
}

TEST(TGeoIP, AddressesAndTreeWalk) {
  EXPECT_TRUE(TGeoIP::IsValidAddress("10.0.0.1"));
  EXPECT_TRUE(TGeoIP::IsValidAddress(" 10 . 0 .0. 1 "));
  for (const char* bad : {"", "10.0.0", "10.0.0.256", "1.2.3.4.5", "host.example.com", "1.2.3.-4",
                          "1..2.3"})
    EXPECT_FALSE(TGeoIP::IsValidAddress(bad)) << bad;
  EXPECT_EQ(TGeoIP::AddressToNumber("1.2.3.4"), 0x01020304u);
  EXPECT_EQ(TGeoIP::AddressToNumber("www.example.com"), 0u);

  const uint32_t leaf = TGeoIP::kCountryBegin;
  TGeoIP geo;
  // 128.0.0.0/1 -> index 225, 64.0.0.0/2 -> 56, 0.0.0.0/2 -> 0.
  geo.OpenData(Node(1, leaf + 225) + Node(leaf + 0, leaf + 56));
  EXPECT_EQ(geo.CountryName("200.1.1.1"), "United States");
  EXPECT_EQ(geo.CountryName("70.1.1.1"), "Germany");
  EXPECT_EQ(geo.CountryName("10.1.1.1"), "N/A");
  EXPECT_EQ(geo.CountryName("proxy.example.com"), "N/A");  // looked up as 0.0.0.0

  EXPECT_STREQ(TGeoIP::NameOfIndex(245), "Satellite Provider");
  EXPECT_STREQ(TGeoIP::NameOfIndex(246), "Other");
  EXPECT_STREQ(TGeoIP::NameOfIndex(254), "South Sudan");
  EXPECT_STREQ(TGeoIP::NameOfIndex(255), "N/A");
  EXPECT_STREQ(TGeoIP::NameOfIndex(-1), "N/A");

  TGeoIP damaged;
  damaged.OpenData(Node(1, 7).substr(0, 5));  // truncated, and pointing past its end
  EXPECT_EQ(damaged.CountryName("200.1.1.1"), "N/A");
  EXPECT_EQ(damaged.CountryName("10.1.1.1"), "N/A");
}

TEST(TGeoIP, TheInstalledDatabase) {
  const std::string path = FindGeoIpDatabase("/nonexistent/");
  if (path.empty()) GTEST_SKIP() << "geoip-database is not installed";
  TGeoIP geo;
  geo.OpenDatabase(path);
  EXPECT_EQ(geo.CountryName("8.8.8.8"), "United States");
  EXPECT_EQ(geo.CountryName("127.0.0.1"), "N/A");
}

// The database is read at the first lookup, not before: a pass that looks
// no address up never reads it. Many first lookups at once read it once.
TEST(TGeoIP, OpenedOnFirstUseReadsTheFileAtTheFirstLookup) {
  const uint32_t leaf = TGeoIP::kCountryBegin;
  test::TTempDir dir;
  const std::string path = dir / "GeoIP.dat";
  TGeoIP geo;
  geo.OpenOnFirstUse(path);
  // Written after the opening: only a deferred read can see it.
  test::WriteFile(path, Node(leaf + 225, leaf + 56));
  std::vector<std::string> names(8);
  std::vector<std::thread> lookups;
  for (size_t i = 0; i < names.size(); ++i)
    lookups.emplace_back([&, i] { names[i] = geo.CountryName(i % 2 ? "200.1.1.1" : "1.1.1.1"); });
  for (std::thread& t : lookups) t.join();
  for (size_t i = 0; i < names.size(); ++i)
    EXPECT_EQ(names[i], i % 2 ? "Germany" : "United States") << i;

  // A file that cannot be read is no database: every address is "N/A".
  TGeoIP missing;
  missing.OpenOnFirstUse(dir / "missing.dat");
  EXPECT_EQ(missing.CountryName("200.1.1.1"), "N/A");
  EXPECT_EQ(missing.CountryName("1.1.1.1"), "N/A");
}

struct VisitsTest : ::testing::Test {
  TCurrentLine current;
  TVisLine visits{current};

  void Hit(const char* ip, int h, int m, const char* url = "/a.htm", bool is_hit = true,
           int s = 0) {
    current.fields[kFieldIp] = ip;
    current.fields[kFieldHref] = url;
    current.line.is_hit = is_hit;
    current.line.timestamp = EncodeDate(2005, 12, 7) + EncodeTime(h, m, s);
    visits.SetDone(false);
    visits.Update();
  }
};

TEST_F(VisitsTest, GapsBelowThirtyMinutesFormOneVisit) {
  Hit("1.1.1.1", 10, 0, "/a%20b.htm");
  Hit("1.1.1.1", 10, 20);
  Hit("1.1.1.1", 10, 49);
  EXPECT_TRUE(visits.Done());
  ASSERT_EQ(visits.OpenCount(), 1u);
  const TVisPathTable& v = *visits.OpenVisits()[0];
  ASSERT_EQ(v.hits.size(), 3u);
  EXPECT_EQ(v.hits[0].url, "/a b.htm");
  // Lines without a split of their own share one place of the decoded
  // URLs: each still gets its own text.
  EXPECT_EQ(v.hits[1].url, "/a.htm");
  EXPECT_NEAR(v.hits[0].time_spent, 20.0 / 1440, 1e-9);
  EXPECT_NEAR(v.hits[1].time_spent, 29.0 / 1440, 1e-9);
  EXPECT_EQ(v.hits[2].time_spent, 0);
  EXPECT_EQ(v.hits[0].timed_count, 1);
  EXPECT_NEAR(TVisLine::VisitDuration(v), 49.0 / 1440, 1e-9);
}

TEST_F(VisitsTest, ExactlyThirtyMinutesStartsANewVisitThatFinishesLater) {
  Hit("1.1.1.1", 10, 0);
  Hit("1.1.1.1", 10, 30);  // a new visit; the old one stays open
  EXPECT_EQ(visits.OpenCount(), 2u);
  EXPECT_TRUE(visits.FinishedVisits().empty());
  Hit("2.2.2.2", 10, 31);  // more than 30 minutes after the first visit's hit
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  EXPECT_EQ(visits.FinishedVisits()[0]->first_request, EncodeDate(2005, 12, 7) + EncodeTime(10, 0, 0));
  Hit("2.2.2.2", 10, 32, "/x.gif", false);  // no hit: only empties the finished list
  EXPECT_TRUE(visits.FinishedVisits().empty());
  EXPECT_EQ(visits.OpenCount(), 2u);
  Hit("3.3.3.3", 12, 0);
  ASSERT_EQ(visits.FinishedVisits().size(), 2u);  // in the order they started
  EXPECT_EQ(visits.FinishedVisits()[0]->address, "1.1.1.1");
  EXPECT_EQ(visits.FinishedVisits()[1]->address, "2.2.2.2");
  EXPECT_EQ(visits.FinishedVisits()[0]->hits.back().time_spent, 0);
}

TEST_F(VisitsTest, OutOfOrderLinesContinueTheVisit) {
  Hit("1.1.1.1", 10, 10);
  Hit("1.1.1.1", 10, 5);
  ASSERT_EQ(visits.OpenCount(), 1u);
  const TVisPathTable& v = *visits.OpenVisits()[0];
  EXPECT_LT(v.hits[0].time_spent, 0);
  EXPECT_EQ(v.hits[0].timed_count, 0);
  // The visit's last request is now 10:05: it ends 30 minutes after that,
  // not after the 10:10 line.
  Hit("2.2.2.2", 10, 36);
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  EXPECT_EQ(visits.FinishedVisits()[0]->hits.size(), 2u);
}

TEST_F(VisitsTest, AVisitEndsOnceHoweverOftenItsLastTimeRecurs) {
  // Hits at the same instant, and a visit that went on after an earlier
  // instant came up: each visit is finished exactly once, at its last hit.
  Hit("1.1.1.1", 10, 0);
  Hit("1.1.1.1", 10, 0);
  Hit("1.1.1.1", 10, 0);
  Hit("2.2.2.2", 10, 0);
  Hit("2.2.2.2", 10, 20);
  Hit("3.3.3.3", 10, 31);
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  EXPECT_EQ(visits.FinishedVisits()[0]->address, "1.1.1.1");
  EXPECT_EQ(visits.FinishedVisits()[0]->hits.size(), 3u);
  Hit("3.3.3.3", 10, 45);
  EXPECT_TRUE(visits.FinishedVisits().empty());  // 2.2.2.2 went on at 10:20
  Hit("4.4.4.4", 10, 51);
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  EXPECT_EQ(visits.FinishedVisits()[0]->address, "2.2.2.2");
  Hit("4.4.4.4", 14, 0);
  ASSERT_EQ(visits.FinishedVisits().size(), 2u);
  EXPECT_EQ(visits.OpenCount(), 1u);
}

TEST_F(VisitsTest, RegressionLastTimeSteppingBackAndForthEndsTheVisitOnce) {
  // Busy servers stamp a request when it starts and write it when it ends,
  // so one client's times go t0, t1 < t0, t0 again: the visit carries the
  // same last time twice and must still be finished exactly once.
  Hit("1.1.1.1", 10, 5, "/a.htm", true, 10);
  Hit("1.1.1.1", 10, 5, "/a.htm", true, 5);
  Hit("1.1.1.1", 10, 5, "/a.htm", true, 10);
  Hit("2.2.2.2", 11, 5);
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  EXPECT_EQ(visits.FinishedVisits()[0]->hits.size(), 3u);
  EXPECT_EQ(visits.OpenCount(), 1u);
  Hit("2.2.2.2", 13, 0);
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  EXPECT_EQ(visits.FinishedVisits()[0]->address, "2.2.2.2");
}

TEST_F(VisitsTest, AVisitReusingAFinishedOnesStorageKeepsNothingOfIt) {
  const std::string robot = "Crawler";
  visits.SetRobotFinder({[&](const std::string&) -> const std::string& { return robot; },
                         [] { return uint64_t{3}; }});
  current.fields[kFieldAgent] = "Mozilla/5.0 (a long agent text, past any short-text storage)";
  current.fields[kFieldReferrer] = "http://www.example.com/a/long/referring/page.htm";
  current.fields[kFieldUserName] = "bob";
  current.line.browser = "Firefox";
  current.line.day_of_week = "4";
  for (int m = 0; m < 12; ++m) Hit("1.1.1.1", 10, m, m % 2 == 0 ? "/a/first/page.htm" : "/b.htm");
  Hit("2.2.2.2", 11, 0);
  ASSERT_EQ(visits.FinishedVisits().size(), 1u);
  const TVisPathTable* first = visits.FinishedVisits()[0].get();
  EXPECT_EQ(first->robot, &robot);
  EXPECT_EQ(first->hits.size(), 12u);

  // The next line empties the finished list: the visit is let go and its
  // storage serves the next visit, which must hold only its own values.
  visits.SetRobotFinder({});
  current.fields[kFieldAgent].clear();
  current.fields[kFieldReferrer].clear();
  current.fields[kFieldUserName].clear();
  current.line.browser.clear();
  current.line.day_of_week = "5";
  Hit("3.3.3.3", 11, 1, "/c.htm");
  ASSERT_EQ(visits.OpenCount(), 2u);
  const TVisPathTable& next = *visits.OpenVisits()[1];
  EXPECT_EQ(&next, first);  // the storage was reused
  EXPECT_EQ(next.address, "3.3.3.3");
  EXPECT_EQ(next.agent, "");
  EXPECT_EQ(next.referrer, "");
  EXPECT_EQ(next.user_name, "");
  EXPECT_EQ(next.browser, "");
  EXPECT_EQ(next.day_of_week, "5");
  EXPECT_EQ(next.robot, nullptr);
  EXPECT_EQ(next.robot_generation, 0u);
  EXPECT_EQ(next.first_request, current.line.timestamp);
  ASSERT_EQ(next.hits.size(), 1u);
  EXPECT_EQ(next.hits[0].url, "/c.htm");
  EXPECT_EQ(next.hits[0].time_spent, 0);
  Hit("3.3.3.3", 11, 2, "/d.htm");
  ASSERT_EQ(next.hits.size(), 2u);
  EXPECT_EQ(next.hits[1].url, "/d.htm");
  EXPECT_EQ(next.hits[1].timed_count, 0);
}

TEST(VisitsLifetime, AVisitHeldPastItsTrackerComesBackSafely) {
  // A report may let a visit go after the tracker is gone (or from the
  // visit worker's thread): the storage goes back to a store that lives on.
  std::shared_ptr<const TVisPathTable> kept;
  {
    TCurrentLine current;
    TVisLine visits(current);
    for (const auto& [ip, h] : {std::pair{"1.1.1.1", 10}, {"2.2.2.2", 11}}) {
      current.fields[kFieldIp] = ip;
      current.fields[kFieldHref] = "/a.htm";
      current.line.is_hit = true;
      current.line.timestamp = EncodeDate(2005, 12, 7) + EncodeTime(h, 0, 0, 0);
      visits.SetDone(false);
      visits.Update();
    }
    ASSERT_EQ(visits.FinishedVisits().size(), 1u);
    kept = visits.FinishedVisits()[0];
    visits.ReleaseSpares();
  }
  EXPECT_EQ(kept->address, "1.1.1.1");
  std::thread([held = std::move(kept)]() mutable { held.reset(); }).join();
}

TEST(HitList, ClearingKeepsStorageButCopiesHoldOnlyTheHits) {
  THitList hits;
  for (const char* url : {"/one/long/page/address.htm", "/two.htm", "/three.htm"})
    hits.Add(url, EmptySplit());
  const char* kept_text = hits[0].url.data();
  hits.clear();
  EXPECT_TRUE(hits.empty());
  EXPECT_EQ(hits.begin(), hits.end());
  hits.Add("/short/again/page/addr.htm", EmptySplit());
  EXPECT_EQ(hits[0].url.data(), kept_text);  // no new storage for the text
  EXPECT_EQ(hits.back().url, "/short/again/page/addr.htm");

  const THitList copy = hits;
  ASSERT_EQ(copy.size(), 1u);
  EXPECT_EQ(std::distance(copy.begin(), copy.end()), 1);
  THitList assigned{{"/x.htm", EmptySplit(), 2.0, 1}, {"/y.htm", EmptySplit(), 0, 0}};
  assigned = copy;
  ASSERT_EQ(assigned.size(), 1u);
  EXPECT_EQ(assigned[0].url, "/short/again/page/addr.htm");
  EXPECT_EQ(assigned[0].time_spent, 0);
  hits.ClearKeeping(0);
  hits.Add("/z.htm", EmptySplit());
  EXPECT_EQ(hits.size(), 1u);
}

}  // namespace
}  // namespace trelvar
