#include "sites/log_formats.h"

#include <gtest/gtest.h>

#include <map>

#include "config/main_settings.h"
#include "test_support.h"

namespace trelvar {
namespace {

TEST(TLogFmts, CatalogueOperations) {
  TLogFmts f;
  f.AddFormatLine("  Apache common ;<ip> <nil>");
  f.AddFormatLine("W3C;<ip> <href>");
  f.AddFormatLine("no separator");
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"Apache common", "W3C"}));
  EXPECT_EQ(f.GetTemplate("Apache common"), "<ip> <nil>");
  EXPECT_EQ(f.GetTemplate("apache common"), "");  // exact name only
  f.AddFormatLine("APACHE COMMON;<ip> <status>");  // replaces in place
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"Apache common", "W3C"}));
  EXPECT_EQ(f.GetTemplate("Apache common"), "<ip> <status>");
  f.AddFormatLine("Copy;<ip> <href>");
  EXPECT_EQ(f.FindNameByTemplate("<ip> <href>"), "Copy");  // the last one wins
  EXPECT_EQ(f.FindNameByTemplate("<IP> <href>"), "");
  f.AddFormatLine("w3c;");  // an empty template removes
  EXPECT_EQ(f.Names(), (std::vector<std::string>{"Apache common", "Copy"}));
  EXPECT_EQ(f.MakeFreeName("MS IIS 6.0 Custom"), "MS IIS 6.0 Custom 0");
  f.AddFormatLine("ms iis 6.0 custom 0;x");
  EXPECT_EQ(f.MakeFreeName("MS IIS 6.0 Custom"), "MS IIS 6.0 Custom 1");
}

TEST(SplitQuoted, QuotedWordsAndSeparatorRuns) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitQuoted("a  \"b c\" d\"e f", " "), (V{"a", "b c", "d\"e", "f"}));
  EXPECT_EQ(SplitQuoted("\"open to the end", " "), (V{"open to the end"}));
  EXPECT_EQ(SplitQuoted("x \"\" y", " "), (V{"x", "y"}));
  EXPECT_EQ(SplitQuoted("", " "), V{});
  EXPECT_EQ(SplitQuoted("a,b;c", ",;"), (V{"a", "b", "c"}));
}

std::vector<std::string> Sample(const std::vector<std::string>& lines) {
  size_t i = 0;
  return TLogFmts::CollectHeaderSample([&](std::string& line) {
    if (i == lines.size()) return false;
    line = lines[i++];
    return true;
  });
}

const char kCommon[] =
    "127.0.0.1 - frank [10/Oct/2000:13:55:36 -0700] \"GET /apache_pb.gif HTTP/1.0\" 200 2326";
const char kCombined[] =
    "62.1.2.3 - - [01/Dec/2000:10:00:00 +0100] \"GET /index.htm HTTP/1.1\" 200 1043 "
    "\"http://www.google.com/search?q=widgets\" \"Mozilla/4.0 (compatible; MSIE 5.5; Windows 98)\"";

TEST(Recognize, ApacheFamilyAndNativeLayouts) {
  struct Case {
    std::string line;
    const char* format;
  } cases[] = {
      {"127.0.0.1 - frank [10/Oct/2000:13:55:36] \"GET /a.gif HTTP/1.0\" 200 2326", "Apache common"},
      {kCommon, "NSCA Common"},
      {std::string("www.example.com ") + kCommon, "Apache common with Virtual host"},
      {std::string(kCommon) + " \"Mozilla/4.0\"", "Apache combined 3"},
      {kCombined, "Apache combined"},
      {std::string(kCombined) + " \"session=42\"", "Apache combined 4"},
      {"62.1.2.3 - - [01/Dec/2000:10:00:00 +0100] \"GET / HTTP/1.1\" 200 1043 351 \"-\" \"Lynx\"",
       "Apache combined 2"},
      {"1.2.3.4 - - [01/Dec/2000:10:00:00 +0100] \"GET / HTTP/1.1\" \"w\" \"x\" \"y\" \"z\"", ""},
      {"192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2, SALES1, 172.21.13.45, 4502, 163, 3223, "
       "200, 0, GET, /DeptLogo.gif, -,",
       "MS IIS 6.0 Short"},
      {"62.1.2.3 \"[01/Dec/2000:10:00:00 +0100]\" \"GET /blog/ HTTP/1.1\" 200 512 \"-\" "
       "\"Mozilla/4.0\" \"blog.example.com\"",
       "Blogware"},
      {"just some text", ""},
  };
  for (const Case& c : cases) {
    TLogFmts f;
    test::TCaptureHost host(TRunMode::Console);
    EXPECT_EQ(f.RecognizeSample(Sample({c.line}), "x.log", true, true), c.format) << c.line;
    const std::string expected = *c.format == '\0'
                                     ? "We can not recognize your log format type for file\n"
                                       "x.log\nPlease, contact our support.\n"
                                     : "";  // no notices in console mode
    EXPECT_EQ(host.stdout_text, expected) << c.line;
  }
}

TEST(Recognize, W3CHeaderBuildsAndReusesATemplate) {
  const std::vector<std::string> header = {
      "#Software: Microsoft Internet Information Services 6.0", "#Version: 1.0",
      "#Date: 2003-01-01 00:00:00", "#Fields: date time c-ip cs-method cs-uri-stem sc-status",
      "2003-01-01 00:00:01 10.0.0.1 GET /index.htm 200"};
  TLogFmts f;
  test::TCaptureHost host(TRunMode::Windowed);
  EXPECT_EQ(f.RecognizeSample(Sample(header), "ex030101.log", true, false), "MS IIS 6.0 Custom 0");
  EXPECT_EQ(f.GetTemplate("MS IIS 6.0 Custom 0"),
            "<year>-<month>-<day> <hour>:<min>:<sec> <ip> <method> <href> <status>");
  EXPECT_EQ(host.messages.back(), "We recognized your log format and saved it as MS IIS 6.0 Custom 0");
  // A second file with the same fields gets the saved name.
  EXPECT_EQ(f.RecognizeSample(Sample(header), "ex030102.log", true, false), "MS IIS 6.0 Custom 0");
  EXPECT_EQ(f.Entries().size(), 1u);
  EXPECT_EQ(host.messages.back(), "This log format is already in our list. It is MS IIS 6.0 Custom 0");
}

TEST(Recognize, UnknownW3CFieldsAndEmptyPiecesBecomeNil) {
  TLogFmts f;
  f.RecognizeSample(
      Sample({"#Software: Microsoft Internet Information Services 7.5",
              "#Fields: date time s-sitename s-computername c-ip cs(User-Agent)  sc-substatus "
              "sc-win32-status sc-bytes cs-bytes time-taken cs(Cookie) cs(Referer) s-port"}),
      "u_ex.log", false, true);
  const std::string t = f.GetTemplate("MS IIS 7.0 Custom 0");
  EXPECT_EQ(t,
            "<year>-<month>-<day> <hour>:<min>:<sec> <nil> <nil> <ip> <agent> <nil> <nil> <nil> "
            "<bytes> <nil> <time_taken> <cooki> <referrer> <nil>");
}

TEST(Recognize, NetscapeHeader) {
  TLogFmts f;
  EXPECT_EQ(f.RecognizeSample(
                Sample({"format=%Ses->client.ip% - %Req->vars.auth-user% [%SYSDATE%] "
                        "\"%Req->reqpb.clf-request%\" %Req->srvhdrs.clf-status% "
                        "%Req->srvhdrs.content-length%"}),
                "access", false, true),
            "Netscape iPlanet Custom 0");
  EXPECT_EQ(f.GetTemplate("Netscape iPlanet Custom 0"),
            "<ip> <nil> <username> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] "
            "\"<method> <href> <version>\" <status> <bytes>");
}

// The header IIS 8.5 and 10.0 write with their default field choice.
std::vector<std::string> CurrentIisHeader(const std::string& version) {
  return {"#Software: Microsoft Internet Information Services " + version,
          "#Version: 1.0",
          "#Date: 2024-10-01 00:00:05",
          "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
          "cs(User-Agent) cs(Referer) sc-status sc-substatus sc-win32-status time-taken",
          "2024-10-01 00:00:05 10.0.0.4 GET /shop/cart.aspx id=42 443 - 203.0.113.9 "
          "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64) https://www.bing.com/ 200 0 0 31"};
}

const char kCurrentIisTemplate[] =
    "<year>-<month>-<day> <hour>:<min>:<sec> <nil> <method> <href> <uri_query> <nil> "
    "<username> <ip> <agent> <referrer> <status> <nil> <nil> <time_taken>";

// IIS 8.5 and 10.0 logs with a complete header were "not recognized".
TEST(Recognize, RegressionCurrentIisHeadersAreRecognized) {
  struct Case {
    std::string software;
    const char* format;
  } cases[] = {
      {"8.5", "MS IIS 8.5 Custom 0"},
      {"10.0", "MS IIS 10.0 Custom 0"},
      {"8", "MS IIS 8 Custom 0"},
      {"10.0.17763", "MS IIS 10.0 Custom 0"},  // major and minor only
      {"12.1 (preview)", "MS IIS 12.1 Custom 0"},
      // The versions that have their own names keep them.
      {"7.5", "MS IIS 7.0 Custom 0"},
      {"6.0", "MS IIS 6.0 Custom 0"},
      // Not a version of 8 or more: a W3C log like any other.
      {"0.9", "W3C Custom 0"},
      {"", "W3C Custom 0"},
  };
  for (const Case& c : cases) {
    TLogFmts f;
    test::TCaptureHost host(TRunMode::Windowed);
    EXPECT_EQ(f.RecognizeSample(Sample(CurrentIisHeader(c.software)), "u_ex.log", true, false),
              c.format)
        << c.software;
    EXPECT_EQ(f.GetTemplate(c.format), kCurrentIisTemplate) << c.software;
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.messages.back(),
              std::string("We recognized your log format and saved it as ") + c.format);
  }
}

TEST(Recognize, CurrentIisLogsReuseTheirEntry) {
  TLogFmts f;
  test::TCaptureHost host(TRunMode::Windowed);
  EXPECT_EQ(f.RecognizeSample(Sample(CurrentIisHeader("8.5")), "a.log", true, false),
            "MS IIS 8.5 Custom 0");
  // The same fields again, written by the same or by another version.
  EXPECT_EQ(f.RecognizeSample(Sample(CurrentIisHeader("8.5")), "b.log", true, false),
            "MS IIS 8.5 Custom 0");
  EXPECT_EQ(host.messages.back(), "This log format is already in our list. It is MS IIS 8.5 Custom 0");
  EXPECT_EQ(f.RecognizeSample(Sample(CurrentIisHeader("10.0")), "c.log", true, false),
            "MS IIS 8.5 Custom 0");
  EXPECT_EQ(f.Entries().size(), 1u);
  // Other fields make a second entry of the version's own name.
  std::vector<std::string> other = CurrentIisHeader("10.0");
  other[3] = "#Fields: date time c-ip cs-method cs-uri-stem sc-status sc-bytes";
  EXPECT_EQ(f.RecognizeSample(Sample(other), "d.log", false, true), "MS IIS 10.0 Custom 0");
  other[3] += " time-taken";
  EXPECT_EQ(f.RecognizeSample(Sample(other), "e.log", false, true), "MS IIS 10.0 Custom 1");
  EXPECT_EQ(f.Entries().size(), 3u);
}

TEST(Recognize, OtherW3CHeadersAreCustomW3CFormats) {
  struct Case {
    std::vector<std::string> sample;
    const char* format;
  } cases[] = {
      {{"#Software: Apache/2.4 mod_log_w3c", "#Version: 1.0",
        "#Fields: date time c-ip cs-method cs-uri-stem sc-status",
        "2024-10-01 00:00:05 203.0.113.9 GET /index.html 200"},
       "W3C Custom 0"},
      {{"#Version: 1.0", "#Fields: date time c-ip cs-method cs-uri-stem sc-status"},
       "W3C Custom 0"},
      // The older tests that such a sample could also fit come first.
      {{"#Fields: date time c-ip cs-method cs-uri-stem sc-status",
        "format=%Ses->client.ip% %Req->srvhdrs.clf-status%"},
       "Netscape iPlanet Custom 0"},
      {{std::string(kCombined), "#Fields: date time c-ip"}, "Apache combined"},
      // "#Fields:" only counts at the start of a line.
      {{"2024-10-01 00:00:05 203.0.113.9 GET /#Fields:x 200"}, ""},
      {{"#fields: date time c-ip"}, ""},
  };
  for (const Case& c : cases) {
    TLogFmts f;
    test::TCaptureHost host(TRunMode::Console);
    EXPECT_EQ(f.RecognizeSample(Sample(c.sample), "w3c.log", true, true), c.format)
        << c.sample.front();
  }
  TLogFmts f;
  f.RecognizeSample(Sample(cases[0].sample), "w3c.log", false, true);
  EXPECT_EQ(f.GetTemplate("W3C Custom 0"),
            "<year>-<month>-<day> <hour>:<min>:<sec> <ip> <method> <href> <status>");
  EXPECT_EQ(f.RecognizeSample(Sample(cases[1].sample), "w3c2.log", false, true), "W3C Custom 0");
  EXPECT_EQ(f.Entries().size(), 1u);
}

// With the formats that ship, a default IIS 10 log needs no new entry.
TEST(Recognize, DefaultIis10LogMatchesTheShippedEntry) {
  test::TTempDir data;
  TFolders folders(TRELVAR_SOURCE_DIR, data.path());
  TLogFmts formats;
  TMainSettings settings(folders, formats, nullptr);
  const size_t shipped = formats.Entries().size();
  EXPECT_EQ(formats.RecognizeSample(Sample(CurrentIisHeader("10.0")), "u_ex.log", false, true),
            "MS IIS 10.0 W3C default");
  EXPECT_EQ(formats.Entries().size(), shipped);
}

TEST(Recognize, HeaderSampleRules) {
  // "INIT:" lines are not counted; the sample starts at the IIS header.
  auto s = Sample({"INIT: service started", "INIT: ready", "#Software: Microsoft Internet "
                   "Information Services 5.0", "#Fields: date time c-ip", "2000-12-01 00:00:00 1.2.3.4"});
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(s[0], "#Software: Microsoft Internet Information Services 5.0");

  // After a first line that is kept, nothing is dropped.
  s = Sample({"a", "b", "c"});
  EXPECT_EQ(s.size(), 3u);

  // A process-accounting block is thrown away; collecting resumes at the
  // next IIS header.
  s = Sample({"#Software: Microsoft Internet Information Services 6.0", "#Version: 1.0",
              "#SubComponent: Process Accounting", "#Fields: s-computername", "junk line",
              "#Software: Microsoft Internet Information Services 6.0", "#Fields: date time c-ip"});
  ASSERT_EQ(s.size(), 2u);
  EXPECT_EQ(s[1], "#Fields: date time c-ip");

  // No more than 15 lines: a later "#Fields:" line is not seen.
  std::vector<std::string> late(15, "filler line");
  late.push_back("#Fields: date time");
  EXPECT_EQ(Sample(late).size(), 15u);
}

// Cuts a log line by a template the way the line parser does: a token's
// value runs up to the next occurrence of the literal that follows it.
std::map<std::string, std::string> Cut(const std::string& tmpl, const std::string& line) {
  std::map<std::string, std::string> fields;
  size_t t = 0, l = 0;
  while (t < tmpl.size()) {
    if (tmpl[t] == '<') {
      const size_t close = tmpl.find('>', t);
      const std::string token = tmpl.substr(t + 1, close - t - 1);
      t = close + 1;
      const size_t next = tmpl.find('<', t);
      const std::string literal = tmpl.substr(t, next - t);
      const size_t end = literal.empty() ? line.size() : line.find(literal, l);
      if (end == std::string::npos) return {};
      fields[token] = line.substr(l, end - l);
      l = end;
    } else {
      const size_t next = tmpl.find('<', t);
      const std::string literal = tmpl.substr(t, next - t);
      if (line.compare(l, literal.size(), literal) != 0) return {};
      l += literal.size();
      t += literal.size();
    }
  }
  return l == line.size() ? fields : std::map<std::string, std::string>{};
}

TEST(ShippedFormats, EveryTemplateCutsALineOfItsLayout) {
  test::TTempDir data;
  TFolders folders(TRELVAR_SOURCE_DIR, data.path());
  TLogFmts formats;
  TMainSettings settings(folders, formats, nullptr);

  struct Case {
    const char* format;
    std::string line;
    const char* href;
  } cases[] = {
      {"MS IIS 5.0",
       "2000-12-01 00:50:24 194.123.153.249 - GET /news/2000-12.htm - 200 3923 324 1024 "
       "Mozilla/4.7+[de]+(Win98;+I) http://www.google.com/search?q=blue+widgets",
       "/news/2000-12.htm"},
      {"MS IIS 6.0 W3C default",
       "2005-03-01 10:00:00 W3SVC1 10.0.0.5 GET /default.aspx id=1 80 - 62.1.2.3 "
       "Mozilla/4.0+(compatible;+MSIE+6.0;+Windows+NT+5.1) 200 0 0",
       "/default.aspx"},
      {"MS IIS 10.0 W3C default",
       "2024-05-01 08:00:00 10.0.0.5 GET /shop/cart.aspx - 443 - 203.0.113.9 "
       "Mozilla/5.0+(Windows+NT+10.0;+Win64;+x64) https://www.bing.com/ 200 0 0 31",
       "/shop/cart.aspx"},
      {"MS IIS 6.0 Short",
       "192.168.114.201, -, 03/20/01, 7:55:20, W3SVC2, SALES1, 172.21.13.45, 4502, 163, 3223, "
       "200, 0, GET, /DeptLogo.gif, -,",
       "/DeptLogo.gif"},
      {"W3C minimal", "2003-01-01 00:00:01 10.0.0.1 GET /index.htm 200", "/index.htm"},
      {"Apache common", "127.0.0.1 - frank [10/Oct/2000:13:55:36] \"GET /a.gif HTTP/1.0\" 200 2326",
       "/a.gif"},
      {"NSCA Common", kCommon, "/apache_pb.gif"},
      {"Apache common with Virtual host", std::string("www.example.com ") + kCommon,
       "/apache_pb.gif"},
      {"Apache combined", kCombined, "/index.htm"},
      {"Apache combined 2",
       "62.1.2.3 - - [01/Dec/2000:10:00:00 +0100] \"GET / HTTP/1.1\" 200 1043 351 \"-\" \"Lynx\"",
       "/"},
      {"Apache combined 3", std::string(kCommon) + " \"Mozilla/4.0\"", "/apache_pb.gif"},
      {"Apache combined 4", std::string(kCombined) + " \"session=42\"", "/index.htm"},
      {"Apache vhost combined",
       "www.example.com:443 203.0.113.7 - - [08/Dec/2026:10:11:12 +0000] \"GET /shop HTTP/2.0\" "
       "200 5120 \"https://duckduckgo.com/\" \"Mozilla/5.0 (X11; Linux x86_64)\"",
       "/shop"},
      {"nginx combined",
       "203.0.113.7 - - [08/Dec/2026:10:11:12 +0000] \"GET /api/v1?x=1 HTTP/1.1\" 404 153 \"-\" "
       "\"curl/8.5.0\"",
       "/api/v1?x=1"},
      {"nginx main",
       "203.0.113.7 - alice [08/Dec/2026:10:11:12 +0000] \"POST /login HTTP/1.1\" 302 0 "
       "\"https://example.com/\" \"Mozilla/5.0\" \"198.51.100.2\"",
       "/login"},
      {"Blogware",
       "62.1.2.3 \"[01/Dec/2000:10:00:00 +0100]\" \"GET /blog/ HTTP/1.1\" 200 512 \"-\" "
       "\"Mozilla/4.0\" \"blog.example.com\"",
       "/blog/"},
  };
  for (const Case& c : cases) {
    const std::string tmpl = formats.GetTemplate(c.format);
    ASSERT_FALSE(tmpl.empty()) << c.format;
    const auto fields = Cut(tmpl, c.line);
    ASSERT_FALSE(fields.empty()) << c.format << " does not cut " << c.line;
    EXPECT_EQ(fields.at("href"), c.href) << c.format;
    EXPECT_TRUE(fields.count("status")) << c.format;
    EXPECT_TRUE(fields.count("ip")) << c.format;
  }
  // Every name recognition returns has an entry.
  for (const char* name : {"Apache common", "NSCA Common", "Apache common with Virtual host",
                           "Apache combined", "Apache combined 2", "Apache combined 3",
                           "Apache combined 4", "MS IIS 6.0 Short", "Blogware", "MS IIS 5.0"})
    EXPECT_FALSE(formats.GetTemplate(name).empty()) << name;
  EXPECT_GE(settings.SearchEngines().EngineCount(), 25u);
}

}  // namespace
}  // namespace trelvar
