#include "base/web_helpers.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <vector>

#include "base/text_helpers.h"

namespace trelvar {
namespace {

TEST(DecodeUrlText, PlusEntitiesAndPercentEscapes) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a+b", "a b"},
      {"a%20b", "a b"},
      {"end%21", "end!"},                 // escape in the last three characters
      {"%41%42%43", "ABC"},
      {"100%zz%20", "100%zz%20"},         // non-hex pair stops the decoding
      {"%20%zz", " %zz"},
      {"50%", "50%"},                     // fewer than two characters follow
      {"5%2", "5%2"},
      {"%2541", "A"},                     // a decoded "%" is decoded again
      {"&quot;x&quot; &amp; &lt;b&gt;", "\"x\" & <b>"},
      {"&amp;amp;", "&"},
      {"caf%C3%A9", "caf\xc3\xa9"},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeUrlText(c.in), c.out) << c.in;
}

TEST(DecodeUrlText, HostileInputEnds) {
  // Chains of "%25" shrink by two characters per pass.
  std::string chain = "%";
  for (int i = 0; i < 3000; ++i) chain += "25";
  EXPECT_EQ(DecodeUrlText(chain), "%");
  EXPECT_EQ(DecodeUrlText(std::string(100000, '%')), std::string(100000, '%'));
}

TEST(SplitUrl, FullUrlWithPortPathAndQuery) {
  TSplitURL u = SplitUrl("HTTP://WWW.Example.COM:8080/a/b/c.html?x=1");
  EXPECT_EQ(u.site(), "http://www.example.com:8080");
  EXPECT_EQ(u.path(), "/a/b/");
  EXPECT_EQ(u.document(), "c.html");
  EXPECT_EQ(u.query(), "?x=1");
  EXPECT_EQ(u.extension(), ".html");
  EXPECT_EQ(u.top_level(), "com");
  EXPECT_EQ(u.port(), "8080");
}

TEST(SplitUrl, PathsBareNamesAndSpecialHost) {
  TSplitURL u = SplitUrl("/Dir/Index.HTM");
  EXPECT_EQ(u.site(), "");
  EXPECT_EQ(u.path(), "/Dir/");
  EXPECT_EQ(u.document(), "Index.HTM");
  EXPECT_EQ(u.extension(), ".HTM");

  u = SplitUrl("www.example.org");  // a bare name is the site
  EXPECT_EQ(u.site(), "www.example.org");
  EXPECT_EQ(u.path(), "");
  EXPECT_EQ(u.document(), "");
  EXPECT_EQ(u.top_level(), "org");

  u = SplitUrl("http://localhost/?q=a/b");
  EXPECT_EQ(u.site(), "http://localhost");
  EXPECT_EQ(u.path(), "/");
  EXPECT_EQ(u.query(), "?q=a/b");
  // Without a dot the whole site is the top-level part, cut at its ":".
  EXPECT_EQ(u.top_level(), "http");
  EXPECT_EQ(SplitUrl("http://localhost:8080/").port(), "8080");

  u = SplitUrl("http://" + std::string(kDownloadSiteHost) + "/files/");
  EXPECT_EQ(u.document(), "a");
  EXPECT_EQ(u.path(), "/files/");
}

// The parts as plain string cutting gives them, piece by piece.
std::vector<std::string> CutByStrings(std::string text) {
  if (text.find(kDownloadSiteHost) != std::string::npos) text += 'a';
  std::string site, path, document, query, extension, top_level, port;
  if (size_t q = text.find('?'); q != std::string::npos) {
    query = text.substr(q);
    text.erase(q);
  }
  if (size_t s = text.find("//"); s != std::string::npos) {
    site = text.substr(0, s + 2);
    text.erase(0, s + 2);
  }
  const size_t slash = text.find('/');
  site += text.substr(0, slash);
  text.erase(0, slash == std::string::npos ? text.size() : slash);
  site = LowerCase(site);
  const size_t last = text.rfind('/');
  if (last != std::string::npos) path = text.substr(0, last + 1);
  document = last == std::string::npos ? text : text.substr(last + 1);
  if (size_t dot = document.rfind('.'); dot != std::string::npos) extension = document.substr(dot);
  const size_t dot = site.rfind('.');
  top_level = dot == std::string::npos ? site : site.substr(dot + 1);
  if (size_t colon = top_level.rfind(':'); colon != std::string::npos) {
    port = top_level.substr(colon + 1);
    top_level.erase(colon);
  }
  return {site, path, document, query, extension, top_level, port};
}

std::vector<std::string> Parts(const TSplitURL& u) {
  return {std::string(u.site()),      std::string(u.path()),      std::string(u.document()),
          std::string(u.query()),     std::string(u.extension()), std::string(u.top_level()),
          std::string(u.port())};
}

TEST(SplitUrl, PartsOfOddUrlsAreThoseOfCuttingTheTextApart) {
  const std::string download = "http://" + std::string(kDownloadSiteHost);
  std::vector<std::string> urls = {"",         "/",           "//",
                                   "?",        "?/",          ".",
                                   ":",        "a",           "A.B:C/D.E?F.G/H",
                                   "//Host",   "//Host:80",   "HTTP://a.b.c:8/d/e.f/g?h//i",
                                   "x//y/z",   "/a//b/c.d.e", download,
                                   download + "/x.zip?y"};
  // Random texts over the characters that cut.
  uint32_t seed = 12345;
  const std::string_view alphabet = "/?.:aZ";
  for (int n = 0; n < 5000; ++n) {
    std::string text;
    for (int len = static_cast<int>(n % 14); len > 0; --len) {
      seed = seed * 1664525 + 1013904223;
      text += alphabet[(seed >> 16) % alphabet.size()];
    }
    urls.push_back(text);
  }
  for (const std::string& url : urls) EXPECT_EQ(Parts(SplitUrl(url)), CutByStrings(url)) << url;

  // A copy keeps its parts when the original is replaced.
  TSplitURL u = SplitUrl("http://Example.COM:81/dir/page.htm?q=1");
  const TSplitURL copy = u;
  u = SplitUrl("/other");
  EXPECT_EQ(Parts(copy), CutByStrings("http://Example.COM:81/dir/page.htm?q=1"));
  EXPECT_EQ(copy.WithoutQuery(), "http://example.com:81/dir/page.htm");
}

TEST(WebTexts, MonthsDaysAndStatus) {
  EXPECT_EQ(MonthIndex("Jan"), 0);
  EXPECT_EQ(MonthIndex("DEC"), 11);
  EXPECT_EQ(MonthIndex("January"), 255);
  EXPECT_EQ(DayName(1), "Sun");
  EXPECT_EQ(DayName(7), "Sat");
  EXPECT_EQ(DayName(0), "-");
  EXPECT_EQ(DayName(8), "-");
  EXPECT_EQ(StatusText("200"), "Code 200 OK");
  EXPECT_EQ(StatusText("302"), "Code 302 Moved Temporarily");
  EXPECT_EQ(StatusText("414"), "Code 414 Request-URI Too Large");
  EXPECT_EQ(StatusText("505"), "Code 505 HTTP Version Not Supported");
  EXPECT_EQ(StatusText("299"), "Code 299");
  EXPECT_EQ(StatusText(""), "");
  EXPECT_EQ(StatusText("abc"), "");
}

TEST(DetectAgent, Browsers) {
  struct Case {
    const char* agent;
    const char* browser;
    const char* version;
  } cases[] = {
      {"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", "MS Internet Explorer", "6"},
      {"Mozilla/4.0+(compatible;+MSIE+5.5;+Windows+98)", "MS Internet Explorer", "5"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/120.0 Safari/537.36",
       "Chrome", "120"},
      {"Mozilla/5.0 (Macintosh) AppleWebKit/605 (KHTML, like Gecko) Version/17 Safari/605",
       "Safari", "17"},
      {"Mozilla/5.0 (X11; Linux x86_64; rv:121.0) Gecko/20100101 Firefox/121.0", "Firefox", "121"},
      {"Mozilla/4.75 [en] (X11; U; Linux)", "Netscape", "4"},
      {"Mozilla/5.0 (Windows; U) Gecko Netscape/7.1", "Netscape", "7"},
      {"Mozilla/4.0 (compatible; WebTV/2.6)", "WebTV", "2"},
      {"Mozilla/4.0 (compatible; AOL 9.0; Windows)", "AOL", "9"},
      {"Mozilla/5.0 (compatible; Googlebot/2.1)", "Other Mozilla compatible Agents", ""},
      {"Microsoft Internet Explorer/4.0b1 (Windows 95)", "MS Internet Explorer", "4"},
      {"IWENG/1.2.003", "AOL", "1"},
      {"Opera/9.80 (Windows NT 6.1)", "Opera", ""},
      {"curl 8.0", "curl", ""},
      {"Something(x)", "Something", ""},
      {"agent", "agent", ""},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    TAgentInfo a = DetectAgent(c.agent);
    EXPECT_EQ(a.browser, c.browser) << c.agent;
    EXPECT_EQ(a.browser_version, c.version) << c.agent;
  }
}

TEST(DetectAgent, PlatformsInTableOrder) {
  struct Case {
    const char* agent;
    const char* platform;
    const char* version;
  } cases[] = {
      {"Mozilla/4.0 (compatible; MSIE 5.5; Windows 98; Win 9x 4.90)", "Windows", "ME"},
      {"Mozilla/4.7 [de] (Win98; I)", "Windows", "98"},
      {"Mozilla/3.0 (WIN95)", "Windows", "95"},
      {"Mozilla/4.0 (WinNT)", "Windows", "NT"},
      {"Mozilla/2.0 (Win16)", "Windows", "3.1/95 (16-bit)"},
      {"Mozilla/3.0 (Win32)", "Windows", "95/NT (32-bit)"},
      {"Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 5.0)", "Windows", "2000"},
      {"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", "Windows", "XP"},
      {"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.2)", "Windows",
       "Server 2003 or Windows XP x64 Edition"},
      {"Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 6.0)", "Windows", "Vista"},
      {"Mozilla/5.0 (Windows NT 6.1; rv:2.0)", "Windows", "Windows 7"},
      {"Mozilla/5.0 (Windows NT 6.2; Win64; x64)", "Windows", "8"},
      {"Mozilla/5.0 (Windows NT 6.3; Win64; x64)", "Windows", "8.1"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64)", "Windows", "10"},
      {"Mozilla/4.0 (compatible; MSIE 5.0; Windows NT 4.0)", "Windows", "NT"},
      {"Mozilla/4.0 (Windows ME)", "Windows", "ME"},
      {"Mozilla/2.0 (Windows 3.1)", "Windows", "3.1"},
      {"Mozilla/4.0 (Windows; 32bit)", "Windows", "95/NT (32-bit)"},
      {"Mozilla/4.0 (Windows)", "Windows", "3.1/95 (16-bit)"},
      {"Mozilla/4.0 (X Window)", "X Windows", ""},
      {"Mozilla/4.0 (compatible; MSIE 5.0; Mac_PowerPC)", "Macintosh", "(PowerPC)"},
      {"Mozilla/5.0 (Linux; Android 14)", "Android", "14"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X)", "iOS", "17"},
      {"Mozilla/5.0 (X11; CrOS x86_64 14541.0.0)", "Chrome OS", ""},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15)", "macOS", "10.15"},
      {"Mozilla/3.0 (Macintosh; I; 68K)", "Macintosh", "(68K)"},
      {"Mozilla/3.0 (Macintosh; I; PPC)", "Macintosh", "(PowerPC)"},
      {"Mozilla/3.0 (Amiga)", "Amiga", ""},
      {"Mozilla/4.0 (OS/2)", "OS/2", ""},
      {"Mozilla/4.0 (X11; HP-UX)", "UNIX", "(HP-UX)"},
      {"Mozilla/5.0 (X11; Linux x86_64)", "UNIX", "(Linux)"},
      {"Mozilla/4.0 (X11; SunOS 5.8)", "UNIX", "(SunOS)"},
      {"Mozilla/4.0 (X11; FreeBSD)", "UNIX", "(Other/Unspecified)"},
      {"IWENG/1.2", "Windows", "3.1/95 (16-bit)"},
      {"Lynx/2.8.3rel.1", "UNIX", "(Other/Unspecified)"},
      {"Mozilla/4.0 (compatible; WebTV/2.6)", "WebTV", ""},
      {"Mozilla/5.0 (BeOS; U)", "Unknown Platform", ""},
  };
  for (const Case& c : cases) {
    TAgentInfo a = DetectAgent(c.agent);
    EXPECT_EQ(a.platform, c.platform) << c.agent;
    EXPECT_EQ(a.platform_version, c.version) << c.agent;
  }
}

// Agents as current browsers, tools and robots send them.
TEST(DetectAgent, CurrentAgents) {
  struct Case {
    const char* agent;
    const char* browser;
    const char* version;
    const char* platform;
    const char* platform_version;
  } cases[] = {
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/129.0.6668.90 Safari/537.36",
       "Chrome", "129", "Windows", "10"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/129.0.0.0 Safari/537.36 Edg/129.0.2792.79",
       "Edge", "129", "Windows", "10"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/70.0.3538.102 Safari/537.36 Edge/18.18363",
       "Edge", "18", "Windows", "10"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/128.0.0.0 Safari/537.36 OPR/114.0.0.0",
       "Opera", "114", "Windows", "10"},
      {"Mozilla/5.0 (Windows NT 10.0; Win64; x64; rv:131.0) Gecko/20100101 Firefox/131.0",
       "Firefox", "131", "Windows", "10"},
      {"Mozilla/5.0 (Windows NT 6.3; WOW64; Trident/7.0; rv:11.0) like Gecko",
       "MS Internet Explorer", "11", "Windows", "8.1"},
      {"Mozilla/5.0 (compatible; MSIE 10.0; Windows NT 6.2; Trident/6.0)",
       "MS Internet Explorer", "10", "Windows", "8"},
      // IIS writes blanks as "+".
      {"Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64)+AppleWebKit/537.36+(KHTML,+like+Gecko)+"
       "Chrome/129.0.0.0+Safari/537.36",
       "Chrome", "129", "Windows", "10"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 (KHTML, like "
       "Gecko) Version/17.6 Safari/605.1.15",
       "Safari", "17", "macOS", "10.15"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
       "like Gecko) Version/17.5 Mobile/15E148 Safari/604.1",
       "Safari", "17", "iOS", "17"},
      {"Mozilla/5.0 (iPad; CPU OS 16_7_10 like Mac OS X) AppleWebKit/605.1.15 (KHTML, like "
       "Gecko) Version/16.6 Mobile/15E148 Safari/604.1",
       "Safari", "16", "iOS", "16"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_5 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
       "like Gecko) CriOS/129.0.6668.69 Mobile/15E148 Safari/604.1",
       "Chrome", "129", "iOS", "17"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
       "like Gecko) FxiOS/131.0 Mobile/15E148 Safari/605.1.15",
       "Firefox", "131", "iOS", "17"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
       "like Gecko) Version/17.0 EdgiOS/129.0.2792.84 Mobile/15E148 Safari/604.1",
       "Edge", "129", "iOS", "17"},
      {"Mozilla/5.0 (iPhone; CPU iPhone OS 17_6 like Mac OS X) AppleWebKit/605.1.15 (KHTML, "
       "like Gecko) Version/17.6 OPiOS/5.0.1 Mobile/15E148 Safari/604.1",
       "Opera", "5", "iOS", "17"},
      {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/129.0.6668.81 Mobile Safari/537.36",
       "Chrome", "129", "Android", "10"},
      {"Mozilla/5.0 (Linux; Android 14; SAMSUNG SM-S918B) AppleWebKit/537.36 (KHTML, like "
       "Gecko) SamsungBrowser/26.0 Chrome/122.0.0.0 Mobile Safari/537.36",
       "Samsung Internet", "26", "Android", "14"},
      {"Mozilla/5.0 (Linux; Android 10; K) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/129.0.0.0 Mobile Safari/537.36 EdgA/129.0.0.0",
       "Edge", "129", "Android", "10"},
      {"Mozilla/5.0 (Android 14; Mobile; rv:131.0) Gecko/131.0 Firefox/131.0", "Firefox", "131",
       "Android", "14"},
      {"Mozilla/5.0 (Linux; Android 4.4.2; GT-I9505 Build/KOT49H) AppleWebKit/534.30 (KHTML, "
       "like Gecko) Version/4.0 Mobile Safari/534.30",
       "Safari", "4", "Android", "4"},
      {"Mozilla/5.0 (X11; CrOS x86_64 14541.0.0) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/129.0.0.0 Safari/537.36",
       "Chrome", "129", "Chrome OS", ""},
      {"Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) "
       "Chrome/129.0.0.0 Safari/537.36",
       "Chrome", "129", "UNIX", "(Linux)"},
      {"curl/8.5.0", "curl", "", "Unknown Platform", ""},
      {"Wget/1.21.4", "Wget", "", "Unknown Platform", ""},
      // Robots say "compatible" and are no browser, whatever engine they
      // name; the platform they claim still counts.
      {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)",
       "Other Mozilla compatible Agents", "", "Unknown Platform", ""},
      {"Mozilla/5.0 (Linux; Android 6.0.1; Nexus 5X Build/MMB29P) AppleWebKit/537.36 (KHTML, "
       "like Gecko) Chrome/129.0.6668.89 Mobile Safari/537.36 (compatible; Googlebot/2.1; "
       "+http://www.google.com/bot.html)",
       "Other Mozilla compatible Agents", "", "Android", "6"},
      {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; bingbot/2.0; "
       "+http://www.bing.com/bingbot.htm) Chrome/116.0.1938.76 Safari/537.36",
       "Other Mozilla compatible Agents", "", "Unknown Platform", ""},
  };
  for (const Case& c : cases) {
    const TAgentInfo a = DetectAgent(c.agent);
    EXPECT_EQ(a.browser, c.browser) << c.agent;
    EXPECT_EQ(a.browser_version, c.version) << c.agent;
    EXPECT_EQ(a.platform, c.platform) << c.agent;
    EXPECT_EQ(a.platform_version, c.platform_version) << c.agent;
  }
}

// Chrome 129 was shown as "Chrome 1": only one character was taken.
TEST(DetectAgent, RegressionVersionIsTheWholeMajorNumber) {
  struct Case {
    const char* agent;
    const char* version;
  } cases[] = {
      {"Mozilla/5.0 (X11) AppleWebKit/537.36 Chrome/129.0.6668.90 Safari/537.36", "129"},
      {"Mozilla/4.0 (compatible; MSIE 10.0; Windows NT 6.2)", "10"},
      {"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)", "6"},
      {"Mozilla/5.0 (Windows; U) Gecko Netscape/7.1", "7"},
      {"Microsoft Internet Explorer/12.0 (Windows 95)", "12"},
      {"Mozilla/5.0 (X11) AppleWebKit Version/123 Safari/605", "123"},
      // Nothing numeric where the version stands, or the text ends there.
      {"Mozilla/4.0 (compatible; MSIE; Windows 98)", ""},
      {"Mozilla/5.0 (X11) Chrome/", ""},
      {"Mozilla/4.0 (compatible; MSIE", ""},
      {"Mozilla/5.0 (X11) Version/ Safari/605", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DetectAgent(c.agent).browser_version, c.version) << c.agent;
}

TEST(DetectAgent, AppleSystemVersions) {
  struct Case {
    const char* agent;
    const char* platform;
    const char* version;
  } cases[] = {
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7)", "macOS", "10.15"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10.9)", "macOS", "10.9"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 10_)", "macOS", "10"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 11_2_3)", "macOS", "11"},
      {"Mozilla/5.0 (Macintosh; Intel Mac OS X 14_0)", "macOS", "14"},
      {"Mozilla/5.0 (Macintosh; U; PPC Mac OS X; en)", "macOS", ""},
      {"Mozilla/5.0 (iPod touch; CPU iPhone OS 12_5_7 like Mac OS X)", "iOS", "12"},
      {"Mozilla/5.0 (iPhone; U; CPU like Mac OS X; en)", "iOS", ""},
      {"Mozilla/5.0 (Apple TV; CPU OS 16_1 like Mac OS X)", "iOS", "16"},
      {"Mozilla/5.0 (iPad; CPU OS ", "iOS", ""},
      {"Mozilla/5.0 (Linux; Android)", "Android", ""},
      {"Dalvik/2.1.0 (Linux; U; Android 14; Pixel 8)", "Android", "14"},
      {"Mozilla/5.0 (Linux; Android", "Android", ""},
  };
  for (const Case& c : cases) {
    const TAgentInfo a = DetectAgent(c.agent);
    EXPECT_EQ(a.platform, c.platform) << c.agent;
    EXPECT_EQ(a.platform_version, c.version) << c.agent;
  }
}

// Agents come from log lines: any bytes, any length.
TEST(DetectAgent, HostileAgents) {
  const std::string long_number = "Mozilla/5.0 (X11) Chrome/" + std::string(100000, '9');
  EXPECT_EQ(DetectAgent(long_number).browser_version, std::string(100000, '9'));
  const std::string long_agent = "Mozilla/5.0 (" + std::string(1 << 20, 'A') + " Mac OS X 10_";
  EXPECT_EQ(DetectAgent(long_agent).platform_version, "10");
  EXPECT_EQ(DetectAgent(std::string("Mozilla\0/5.0 Chrome/1", 21)).browser, "Chrome");

  // Key words cut off and glued together with random bytes must give
  // digits as versions and platforms from the table.
  const char* pieces[] = {"Mozilla/", "compatible", "Chrome/", "Edg/", "Version/", "Safari/",
                          "rv:", "Trident/", "MSIE", "Netscape/", " OS ", "iPhone", "Android",
                          "Mac OS X", "10_", "Windows NT ", "X11", "+", "/", " ", "("};
  std::mt19937 random(7);
  for (int i = 0; i < 5000; ++i) {
    std::string agent;
    for (int n = static_cast<int>(random() % 8); n > 0; --n) {
      agent += pieces[random() % std::size(pieces)];
      for (int b = static_cast<int>(random() % 4); b > 0; --b)
        agent += static_cast<char>(random() % 256);
    }
    const TAgentInfo a = DetectAgent(agent);
    EXPECT_EQ(a.browser_version.find_first_not_of("0123456789"), std::string::npos) << agent;
    EXPECT_FALSE(a.platform.empty()) << agent;
    if (a.platform == "Android" || a.platform == "iOS" || a.platform == "macOS") {
      EXPECT_EQ(a.platform_version.find_first_not_of("0123456789."), std::string::npos) << agent;
    }
  }
}

TEST(DurationText, UnitsPluralsAndLeadingZeros) {
  const double ms = 1.0 / 86400000.0;
  EXPECT_EQ(DurationText(1.5 / 24), "1 hour, 30 mins, 0 secs, 0 msecs.");
  EXPECT_EQ(DurationText((3 * 60 + 5) * 1000 * ms + 20 * ms), "3 mins, 5 secs, 20 msecs.");
  EXPECT_EQ(DurationText(2 + 1.0 / 24 + 1000 * ms + ms), "2 days, 1 hour, 0 mins, 1 sec, 1 msec.");
  EXPECT_EQ(DurationText(1), "1 day, 0 hours, 0 mins, 0 secs, 0 msecs.");
  EXPECT_EQ(DurationText(0), "0 msecs.");
  EXPECT_EQ(DurationText(0.2 * ms), "0 msecs.");
}

TEST(ExpandDatePatterns, EveryPatternLetter) {
  const TDateTime t = EncodeDate(2024, 3, 5) + EncodeTime(7, 8, 9);  // a Tuesday
  EXPECT_EQ(ExpandDatePatterns("ex<yymmdd>.log", t), "ex240305.log");
  EXPECT_EQ(ExpandDatePatterns("<yyyy>-<m>-<d>", t), "2024-3-5");
  EXPECT_EQ(ExpandDatePatterns("<mmm>/<mmmm>", t), "Mar/March");
  EXPECT_EQ(ExpandDatePatterns("<ddd> <dddd> <dd>", t), "Tue Tuesday 05");
  EXPECT_EQ(ExpandDatePatterns("<hh>:<nn>:<ss> <h>.<n>.<s>", t), "07:08:09 7.8.9");
  EXPECT_EQ(ExpandDatePatterns("no patterns", t), "no patterns");
  EXPECT_EQ(ExpandDatePatterns("open <yyyy", t), "open <yyyy");
  EXPECT_EQ(ExpandDatePatterns("<>x", t), "x");
}

TEST(IsIPv6Address, ValidInvalidAndBoundary) {
  struct TCase {
    const char* text;
    bool valid;
  };
  for (const TCase& c : std::vector<TCase>{
           {"::1", true},
           {"::", true},
           {"::ffff:10.0.0.1", true},
           {"2001:db8::7", true},
           {"2001:0db8:85a3:0000:0000:8a2e:0370:7334", true},
           {"fe80::1%eth0", true},
           {"1::", true},
           {"1:2:3:4:5:6:7::", true},
           {"1:2:3:4:5:6:1.2.3.4", true},
           {"", false},
           {":", false},
           {":1", false},
           {":::1", false},
           {"1:::2", false},
           {"1::2::3", false},
           {"12345::", false},
           {"1:2:3:4:5:6:7:8:9", false},
           {"1:2:3:4:5:6:7", false},
           {"1:2:3:4:5:6:7:8::", false},
           {"::ffff:10.0.0.256", false},
           {"::ffff:10.0.0", false},
           {"::ffff:10.0.0.1.2", false},
           {"10.0.0.1", false},
           {"g::1", false},
           {"::1%", false},
           {": periodic log", false},
           {"::1 - -", false},
       })
    EXPECT_EQ(IsIPv6Address(c.text), c.valid) << c.text;
}

TEST(HtmlEscape, TheFourCharactersAndNothingElse) {
  EXPECT_EQ(HtmlEscape("<svg/onload=\"a&b\">"), "&lt;svg/onload=&quot;a&amp;b&quot;&gt;");
  EXPECT_EQ(HtmlEscape("plain 'text' / %20"), "plain 'text' / %20");
}

}  // namespace
}  // namespace trelvar
