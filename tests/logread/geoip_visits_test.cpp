#include <gtest/gtest.h>

#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"

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

}  // namespace
}  // namespace trelvar
