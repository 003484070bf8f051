#include "sites/robots.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace trelvar {
namespace {

const std::string kSource = TRELVAR_SOURCE_DIR;

struct TAgentCase {
  const char* agent;
  const char* robot;  // "" for a person
};

TEST(TRobots, CommentsCaseOrderAndWordEnds) {
  TRobots r;
  r.LoadFromText(
      "# crawlers\r\n"
      "\r\n"
      "   Googlebot   \r\n"
      "#bot\r\n"          // a comment, not an entry
      "BINGBOT\n"
      "Sogou web spider\r\n"
      "curl/\r\n"         // ends in "/": no word end needed
      "spider\r\n"
      "bot\r\n"
      "!Cubot\r\n");      // an exception after the generic word still wins
  ASSERT_EQ(r.Count(), 6u);
  EXPECT_EQ(r.Entry(0), "Googlebot");  // trimmed, as written
  EXPECT_EQ(r.Entry(1), "BINGBOT");

  const TAgentCase cases[] = {
      // Named robots before the generic words that they also contain.
      {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "Googlebot"},
      {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "BINGBOT"},
      {"mozilla/5.0 (compatible; BingBot/2.0)", "BINGBOT"},
      {"Sogou web spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)",
       "Sogou web spider"},
      // The generic words catch the rest, named by the word.
      {"LumiBot 2.0", "bot"},
      {"Mozilla/5.0 (compatible; EasouSpider; +http://www.easou.com/search/spider.html)",
       "spider"},
      {"curl/7.22.0 (i686-pc-linux-gnu)", "curl/"},
      // A word that only begins with an entry is not it.
      {"Mozilla/5.0 (Bottle Browser; Abbott Labs)", ""},
      {"Mozilla/5.0 (Spiderman Edition)", ""},
      {"Mozilla/5.0 (Spiderman) Bot/1.0", "bot"},  // a later occurrence still counts
      // Exceptions: whatever robot word they hold.
      {"Mozilla/5.0 (Linux; Android 9; CUBOT X19) AppleWebKit/537.36 Chrome/79.0 Mobile", ""},
      {"Mozilla/5.0 (Linux; Android 10; Cubot_NOTE_7) Chrome/88.0 Mobile Safari/537.36", ""},
      // People and nothing.
      {"Mozilla/5.0 (Windows NT 6.1; WOW64; rv:27.0) Gecko/20100101 Firefox/27.0", ""},
      {"", ""},
  };
  for (const TAgentCase& c : cases) EXPECT_EQ(r.RobotOf(c.agent), c.robot) << c.agent;
}

TEST(TRobots, FirstEntryInFileOrderNamesTheRobot) {
  TRobots r;
  r.LoadFromText("Feedly\nFeedfetcher-Google\n");
  const char* agent = "Feedly/1.0 (+http://www.feedly.com/fetcher.html; like FeedFetcher-Google)";
  EXPECT_EQ(r.RobotOf(agent), "Feedly");
  r.LoadFromText("Feedfetcher-Google\nFeedly\n");
  EXPECT_EQ(r.RobotOf(agent), "Feedfetcher-Google");
}

TEST(TRobots, MissingOrUnreadableFileMeansNoRobots) {
  test::TTempDir dir;
  TRobots r;
  test::WriteFile(dir / "spiders.ini", "bot\r\n");
  ASSERT_TRUE(r.LoadFromFile(dir / "spiders.ini"));
  EXPECT_EQ(r.RobotOf("LumiBot 2.0"), "bot");

  // Loading replaces the entries; a failed load leaves none behind.
  EXPECT_FALSE(r.LoadFromFile(dir / "missing.ini"));
  EXPECT_EQ(r.Count(), 0u);
  EXPECT_EQ(r.RobotOf("LumiBot 2.0"), "");
  EXPECT_FALSE(r.LoadFromFile(dir.path()));  // a folder cannot be read
  EXPECT_EQ(r.Count(), 0u);

  test::WriteFile(dir / "empty.ini", "# nothing but a comment\r\n!\r\n\r\n");
  EXPECT_TRUE(r.LoadFromFile(dir / "empty.ini"));
  EXPECT_EQ(r.Count(), 0u);
  EXPECT_EQ(r.RobotOf("anything"), "");
}

// The shipped list against agents of real logs and of today's crawlers:
// the robots are named by their own entry, and no browser is a robot.
TEST(TRobots, ShippedListKnowsCrawlersAndLeavesBrowsersAlone) {
  TRobots r;
  ASSERT_TRUE(r.LoadFromFile(kSource + "/Default/spiders.ini"));
  EXPECT_EQ(r.Entry(r.Count() - 1), "bot");  // the broadest word comes last

  const TAgentCase robots[] = {
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 6_0 like Mac OS X) AppleWebKit/536.26 (KHTML, like "
       "Gecko) Version/6.0 Mobile/10A5376e Safari/8536.25 (compatible; Googlebot/2.1; "
       "+http://www.google.com/bot.html)",
       "Googlebot"},
      {"SAMSUNG-SGH-E250/1.0 Profile/MIDP-2.0 Configuration/CLDC-1.1 UP.Browser/6.2.3.3.c.1.101 "
       "(GUI) MMP/2.0 (compatible; Googlebot-Mobile/2.1; +http://www.google.com/bot.html)",
       "Googlebot"},
      {"Mozilla/5.0 (compatible; bingbot/2.0; +http://www.bing.com/bingbot.htm)", "bingbot"},
      {"Mozilla/5.0 (compatible; YandexBot/3.0; +http://yandex.com/bots)", "YandexBot"},
      {"Mozilla/5.0 (compatible; YandexDirect/3.0; +http://yandex.com/bots)", "yandex.com/bots"},
      {"Mozilla/5.0 (compatible; Baiduspider/2.0; +http://www.baidu.com/search/spider.html)",
       "Baiduspider"},
      {"Mozilla/5.0 (compatible; AhrefsBot/5.0; +http://ahrefs.com/robot/)", "AhrefsBot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; GPTBot/1.2; "
       "+https://openai.com/gptbot)",
       "GPTBot"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; ClaudeBot/1.0; "
       "+claudebot@anthropic.com)",
       "ClaudeBot"},
      {"facebookexternalhit/1.1 (+http://www.facebook.com/externalhit_uatext.php)",
       "facebookexternalhit"},
      {"Mozilla/5.0 (compatible; Yahoo! Slurp; http://help.yahoo.com/help/us/ysearch/slurp)",
       "Slurp"},
      {"Feedly/1.0 (+http://www.feedly.com/fetcher.html; like FeedFetcher-Google)", "Feedly"},
      {"Wget/1.14 (linux-gnu)", "Wget"},
      {"magpie-crawler/1.1 (U; Linux amd64; en-GB; +http://www.brandwatch.net)", "crawler"},
  };
  for (const TAgentCase& c : robots) EXPECT_EQ(r.RobotOf(c.agent), c.robot) << c.agent;

  const char* const people[] = {
      "Mozilla/5.0 (Windows NT 6.1; WOW64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/32.0.1700.107 Safari/537.36",
      "Mozilla/5.0 (X11; Ubuntu; Linux x86_64; rv:27.0) Gecko/20100101 Firefox/27.0",
      "Mozilla/5.0 (iPhone; CPU iPhone OS 17_2 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
      "Gecko) Version/17.2 Mobile/15E148 Safari/604.1",
      "Mozilla/5.0 (Linux; Android 13; SAMSUNG SM-S911B) AppleWebKit/537.36 (KHTML, like Gecko) "
      "SamsungBrowser/23.0 Chrome/115.0.0.0 Mobile Safari/537.36",
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/120.0.0.0 YaBrowser/24.1.0.0 Safari/537.36",
      "Mozilla/5.0 (Linux; Android 10; CUBOT_X30) AppleWebKit/537.36 (KHTML, like Gecko) "
      "Chrome/96.0.4664.104 Mobile Safari/537.36",
      "Mozilla/5.0 (Linux; Android 9; Cubot P30 Build/PPR1.180610.011) AppleWebKit/537.36 "
      "(KHTML, like Gecko) Chrome/74.0.3729.136 Mobile Safari/537.36",
      "Dalvik/1.6.0 (Linux; U; Android 4.2.2; Symphony W68 Build/JDQ39)",
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:121.0) Gecko/20100101 Firefox/121.0 Bottlenose",
      "-",
  };
  for (const char* agent : people) EXPECT_EQ(r.RobotOf(agent), "") << agent;
}

}  // namespace
}  // namespace trelvar
