#include "logread/line_parser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "config/main_settings.h"
#include "logread/parser_world.h"
#include "logread/reject_log.h"
#include "sites/log_formats.h"
#include "sites/website.h"
#include "test_support.h"

namespace trelvar {
namespace {

const char kCommonTemplate[] =
    "<ip> <nil> <nil> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] \"<method> <href> "
    "<version>\" <status> <bytes>";

struct ParserTest : ::testing::Test, test::TParserWorld {
  std::ostringstream errors;
  TRejectLog reporter{&errors};
  TLineReporter* use_reporter = &reporter;

  // Parses `log` (written to `file`) and returns every delivered line;
  // `log_path` names more files than that one.
  std::vector<TCurrentLine> Run(const std::string& line_template, const std::string& log,
                                const std::string& file = "access.log",
                                const std::string& log_path = "") {
    if (!settings) Settings("");
    test::WriteFile(dir / ("data/" + file), log);
    TLineParser::TEnvironment env = Environment();
    env.site = &site;
    TLineParser parser(env);
    parser.SetSiteTemplate(line_template);
    parser.ResetTemplate();
    parser.SetReporter(use_reporter);
    parser.BeginScan(log_path.empty() ? file : log_path);
    std::vector<TCurrentLine> lines;
    for (int guard = 0; !parser.Finished() && guard < 100000; ++guard)
      if (parser.GetLine()) lines.push_back(current);
    return lines;
  }
};

// Everything the user hears of a scan, in order.
struct TRecordingReporter : TLineReporter {
  void ScanStarting(const std::string& heading) override { said.push_back("start " + heading); }
  void Notice(const std::string& line) override { said.push_back("notice " + line); }
  void Rejected(std::string_view reason, std::string_view raw) override {
    said.push_back("rejected " + std::string(reason) + " | " + std::string(raw));
  }
  void ScanFinished() override { said.push_back("finished"); }
  std::vector<std::string> said;
};

// The parser is a source of lines: what it has to say goes to its
// reporter, never to the output channel itself.
TEST_F(ParserTest, TheScanSpeaksOnlyThroughItsReporter) {
  TRecordingReporter recorder;
  use_reporter = &recorder;
  test::WriteFile(dir / "data/b.log", "junk\r\n");
  const auto lines =
      Run(kCommonTemplate,
          "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a.htm HTTP/1.0\" 200 512\r\n",
          "a.log", dir / "data/a.log;" + dir / "data/b.log;" + dir / "data/gone.log");
  EXPECT_EQ(lines.size(), 1u);
  EXPECT_EQ(host.stdout_text, "");
  ASSERT_GE(recorder.said.size(), 6u);
  EXPECT_EQ(recorder.said.front(), "start <P><b>Scanning log file(s)  ..</b></P>");
  EXPECT_EQ(recorder.said[1], "notice <P>Scanning log files...</P>");
  EXPECT_EQ(recorder.said.back(), "finished");
  const std::string all = [&] {
    std::string text;
    for (const std::string& s : recorder.said) text += s + "\n";
    return text;
  }();
  EXPECT_NE(all.find("notice Processing file (1 of 3): " + (dir / "data/a.log")), std::string::npos)
      << all;
  EXPECT_NE(all.find("| junk\n"), std::string::npos) << all;
  EXPECT_NE(all.find("gone.log not found</P>"), std::string::npos) << all;
}

TEST_F(ParserTest, CombinedStyleLine) {
  Settings("WebPageExtensions=.htm.html\r\n");
  auto lines = Run(kCommonTemplate,
                   "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /a/b.htm?x=1 HTTP/1.0\" 200 512\r\n");
  ASSERT_EQ(lines.size(), 1u);
  const TCurrentLine& l = lines[0];
  EXPECT_EQ(l.fields[kFieldIp], "10.0.0.1");
  EXPECT_EQ(l.fields[kFieldMonth], "12");
  EXPECT_EQ(l.fields[kFieldYear], "2005");
  EXPECT_EQ(l.line.timestamp, EncodeDate(2005, 12, 7) + EncodeTime(13, 5, 1));
  EXPECT_EQ(l.fields[kFieldHref], "/a/b.htm?x=1");
  EXPECT_EQ(l.fields[kFieldUriQuery], "?x=1");
  EXPECT_EQ(l.line.request->site(), "");
  EXPECT_EQ(l.line.request->path(), "/a/");
  EXPECT_EQ(l.line.request->extension(), ".htm");
  EXPECT_TRUE(l.line.is_hit);
  EXPECT_EQ(l.line.day_of_week, "4");  // a Wednesday
  EXPECT_EQ(l.fields[kFieldBytes], "512");
}

TEST_F(ParserTest, SkipRulesAndRejectedLines) {
  const std::string good =
      "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET /index.htm HTTP/1.0\" 200 512";
  auto lines = Run(kCommonTemplate,
                   "\r\n#comment " + good + "\r\n:colon " + good + "\r\nINIT: " + good +
                       "\r\nx Periodic-Log " + good + "\r\n" + "10.0.0.1 - - [07/Dec/2005:1]\r\n" +
                       "no template fits this line at all here\r\n" + good + "\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].fields[kFieldHref], "/index.htm");

  // A line of 32 characters is skipped even when it fits.
  EXPECT_TRUE(Run("<ip> <href>", std::string("1.2.3.4 /") + std::string(23, 'a') + "\r\n").empty());
  EXPECT_EQ(Run("<ip> <href>", std::string("1.2.3.4 /") + std::string(24, 'a') + "\r\n").size(), 0u)
      << "no date fields: the date cannot be built";
  // Two tokens in a row reject every line.
  EXPECT_TRUE(Run("<ip><href>", good + "\r\n").empty());
}

TEST_F(ParserTest, DatesFromHeadersFileNamesAndYearRules) {
  const char w3c[] = "<hour>:<min>:<sec> <ip> <method> <href> <status>";
  auto lines = Run(w3c,
                   "#Software: Microsoft Internet Information Services 5.0\r\n"
                   "#Date: 2005-12-07 00:00:00\r\n"
                   "10:00:00 192.168.0.1 GET /index.htm 200\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].line.timestamp, EncodeDate(2005, 12, 7) + EncodeTime(10, 0, 0));

  lines = Run(w3c, "10:00:00 192.168.0.1 GET /index.htm 200\r\n", "ex051208.log");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].line.timestamp, EncodeDate(2005, 12, 8) + EncodeTime(10, 0, 0));

  // Years since 1900 come with a zero-based month.
  lines = Run("<ip> <year>-<month>-<day> <hour>:<min>:<sec> <href>",
              "10.1.1.1 105-11-07 08:00:00 /index.htm?long=enough\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].line.timestamp, EncodeDate(2005, 12, 7) + EncodeTime(8, 0, 0));
  lines = Run("<ip> <month>/<day>/<year> <hour>:<min>:<sec> <href>",
              "10.1.1.1 03/20/01 07:55:20 /DeptLogo.gif\r\n10.1.1.1 03/20/99 07:55:20 /DeptLogo.gif\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].fields[kFieldYear], "2001");
  EXPECT_EQ(lines[1].fields[kFieldYear], "1999");
}

TEST_F(ParserTest, ImpossibleDatesGoToTheErrorLog) {
  const std::string t = "<ip> <year>-<month>-<day> <hour>:<min>:<sec> <href>";
  auto lines = Run(t,
                   "10.1.1.1 2005-13-07 08:00:00 /index.htm?a=1\r\n"
                   "10.1.1.1 2005-12-32 08:00:00 /index.htm?a=2\r\n"
                   "10.1.1.1 2005-12-07 25:00:00 /index.htm?a=3\r\n"
                   "10.1.1.1 20x5-12-07 08:00:00 /index.htm?a=4\r\n"
                   "10.1.1.1 2005-12-07 08:00:00 /index.htm?a=5\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].fields[kFieldUriQuery], "?a=5");
  const std::string log = errors.str();
  EXPECT_NE(log.find("ADDPAR: "), std::string::npos);
  EXPECT_NE(log.find("10.1.1.1 2005-13-07 08:00:00 /index.htm?a=1<BR>\r\n<BR>\r\n"), std::string::npos);
  EXPECT_NE(log.find("'20x5' is not a valid integer value<BR>"), std::string::npos);
}

TEST_F(ParserTest, SiteFiltersChangeAndDropLines) {
  auto filter = [](const char* param, TFilterCondition condition, const char* value,
                   TFilterAction action, const char* action_value) {
    TSiteFilter f;
    f.parameter = SiteParamFromKey(param);
    f.line_field = SiteParamLineField(f.parameter);
    f.condition = condition;
    f.value = value;
    f.action = action;
    f.action_value = action_value;
    return f;
  };
  using enum TFilterCondition;
  using enum TFilterAction;
  site.filters = {filter("href", Equals, "/index.htm", Assign, "/"),
                  filter("referrer", Includes, "-", Assign, "<ip> via <method>"),
                  filter("href", Includes, "/old/", ReplaceAll, "/new/"),
                  filter("href", Includes, "?", ReplaceRight, ""),
                  filter("ip", Equals, "10.0.0.9", SkipLine, "")};
  const std::string t = "<ip> <hour>:<min>:<sec> <method> <href> <referrer>";
  auto lines = Run(t,
                   "#Date: 2005-12-07 00:00:00\r\n"
                   "10.0.0.1 10:00:00 GET /index.htm -\r\n"
                   "10.0.0.2 10:00:01 GET /Old/x/old/a.htm?x=1 http://example.com/\r\n"
                   "10.0.0.9 10:00:02 GET /index.htm -\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].fields[kFieldHref], "/");
  EXPECT_EQ(lines[0].fields[kFieldReferrer], "10.0.0.1 via GET");
  EXPECT_EQ(lines[1].fields[kFieldHref], "/new/x/new/a.htm");  // replaced in any case
  EXPECT_EQ(lines[1].fields[kFieldReferrer], "http://example.com/");

  // A reference to something that is no field drops that line only.
  site.filters = {
      filter("referrer", TFilterCondition::Includes, "-", TFilterAction::Assign, "<nothing>")};
  lines = Run(t, "#Date: 2005-12-07 00:00:00\r\n10.0.0.1 10:00:00 GET /a.htm -\r\n"
                 "10.0.0.2 10:00:01 GET /b.htm http://x/\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].fields[kFieldHref], "/b.htm");
}

TEST_F(ParserTest, PeriodOffsetAndUrlCase) {
  Settings("TimeOffset=-60\r\nCaseSensitiveURLs=0\r\n");
  const std::string t = "<ip> <year>-<month>-<day> <hour>:<min>:<sec> <href>";
  auto lines = Run(t, "10.1.1.1 2005-12-07 00:30:00 /Index.HTM?Q=A\r\n");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0].line.timestamp, EncodeDate(2005, 12, 6) + EncodeTime(23, 30, 0), 1e-9);
  EXPECT_EQ(lines[0].fields[kFieldHref], "/index.htm?q=a");
}

TEST_F(ParserTest, UserDomainAndSiteFromTheUserName) {
  const std::string t = "<ip> <year>-<month>-<day> <hour>:<min>:<sec> <username> <href>";
  auto lines = Run(t, "10.1.1.1 2005-12-07 10:00:00 dial-1.pool.example.co.uk /a.htm\r\n"
                      "10.1.1.1 2005-12-07 10:00:00 localhost-name /a.htm\r\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].fields[kFieldUserDomain], ".uk");
  EXPECT_EQ(lines[0].fields[kFieldUserSite], ".co.uk");
  EXPECT_EQ(lines[1].fields[kFieldUserDomain], "");
}

TEST_F(ParserTest, PagesAreWholeExtensionsOfTheList) {
  const std::string t = "<ip> <year>-<month>-<day> <hour>:<min>:<sec> <href>";
  auto lines = Run(t, "10.1.1.1 2005-12-07 10:00:00 /scripts/menu.js\r\n"
                      "10.1.1.1 2005-12-07 10:00:00 /INDEX.HTM\r\n"
                      "10.1.1.1 2005-12-07 10:00:00 /page.php\r\n"
                      "10.1.1.1 2005-12-07 10:00:00 /images/a.gif\r\n"
                      "10.1.1.1 2005-12-07 10:00:00 /folder/\r\n");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_FALSE(lines[0].line.is_hit);  // ".js" is no page because ".jsp" is one
  EXPECT_TRUE(lines[1].line.is_hit);
  EXPECT_TRUE(lines[2].line.is_hit);
  EXPECT_FALSE(lines[3].line.is_hit);
  EXPECT_TRUE(lines[4].line.is_hit);
}

TEST(LineTemplate, CompileRules) {
  TLineTemplate t;
  t.Compile("<IP> <unknown> [<Month_>] <href");
  EXPECT_EQ(t.FieldCodes(), (std::vector<int>{kFieldIp, kFieldNil, kFieldMonthName, kFieldNil}));
  EXPECT_TRUE(t.UsesMonthName());
  std::string many;
  for (int i = 0; i < 80; ++i) many += "<ip> ";
  t.Compile(many);
  EXPECT_EQ(t.ElementCount(), TLineTemplate::kMaxElements);
}

// Answers every lookup at once with a name made from the address.
class TInstantLookup : public platform::TReverseLookup {
 public:
  std::optional<std::string> Lookup(const std::string& dotted) override {
    return "host-" + dotted + ".example";
  }
};

TEST_F(ParserTest, RegressionFileChecksWaitForTheNewFilesFirstLine) {
  // With reverse DNS the parser reads up to 1000 lines ahead, across the
  // start of the next file; the driver's per-file checks must still run
  // between the last line of one file and the first of the next, and each
  // line carries only the fields of its own file's format.
  Settings("ReverseDNSLookup=-1\r\nDNSLookupThreads=2\r\nAutoRecognizeLogFormat=-1\r\n");
  formats.AddFormatLine("NSCA Common;" + std::string(kCommonTemplate));
  formats.AddFormatLine(
      "Apache combined;<ip> <nil> <nil> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] \"<method> "
      "<href> <version>\" <status> <bytes> \"<referrer>\" \"<agent>\"");
  std::string combined, common;
  for (int i = 0; i < 30; ++i) {
    combined += "10.0.0." + std::to_string(i % 7) +
                " - - [07/Dec/2005:13:05:01 +0100] \"GET /c.htm HTTP/1.0\" 200 5 \"http://r/\" "
                "\"Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)\"\r\n";
    common += "10.0.1." + std::to_string(i % 7) +
              " - - [07/Dec/2005:14:05:01 +0100] \"GET /n.htm HTTP/1.0\" 200 5\r\n";
  }
  test::WriteFile(dir / "data/a.log", combined);
  test::WriteFile(dir / "data/b.log", common);
  test::WriteFile(dir / "data/c.log", combined);

  TLineParser::TEnvironment env = Environment();
  env.resolver = std::make_shared<TInstantLookup>();
  TLineParser parser(env);
  parser.SetDnsNeeded(true);
  std::vector<std::pair<std::string, size_t>> starts;  // file, lines delivered before
  size_t delivered = 0;
  parser.SetOnFileStart([&](const std::string& path) {
    starts.emplace_back(ExtractFileName(path), delivered);
  });
  parser.BeginScan("a.log;" + (dir / "data/b.log") + ";" + (dir / "data/c.log"));
  ASSERT_TRUE(parser.DnsActive());
  std::map<std::string, int> by_file;
  for (int guard = 0; !parser.Finished() && guard < 100000; ++guard) {
    if (!parser.GetLine()) continue;
    ++delivered;
    const bool common_line = current.fields[kFieldHref] == "/n.htm";
    ++by_file[common_line ? "b" : "ac"];
    EXPECT_EQ(current.fields[kFieldReferrer].empty(), common_line) << delivered;
    EXPECT_EQ(current.fields[kFieldAgent].empty(), common_line) << delivered;
    EXPECT_EQ(current.line.browser.empty(), common_line) << delivered;
    EXPECT_EQ(current.fields[kFieldUserName], "host-" + current.fields[kFieldIp] + ".example");
  }
  EXPECT_EQ(delivered, 90u);
  EXPECT_EQ(by_file["b"], 30);
  ASSERT_EQ(starts.size(), 3u);
  // Lines of a file may be reordered by DNS, but never cross its start.
  EXPECT_EQ(starts[0], std::make_pair(std::string("a.log"), size_t{0}));
  EXPECT_EQ(starts[1], std::make_pair(std::string("b.log"), size_t{30}));
  EXPECT_EQ(starts[2], std::make_pair(std::string("c.log"), size_t{60}));
  EXPECT_EQ(parser.Counts().read, 90);
}

// Each line alone: its timestamp when it is accepted, else the reason it
// was rejected for.
struct TDateCase {
  const char* date;  // "dd/Mon/yyyy:hh:nn:ss" of a common-format line
  TDateTime expected;  // when accepted
  const char* reason;  // when rejected
};

TEST_F(ParserTest, DatesOfValidInvalidAndBoundaryLines) {
  const TDateCase cases[] = {
      {"31/Dec/2024:23:59:59", EncodeDate(2024, 12, 31) + EncodeTime(23, 59, 59), nullptr},
      {"01/Jan/2024:00:00:00", EncodeDate(2024, 1, 1), nullptr},
      {"01/jan/2024:00:00:00", EncodeDate(2024, 1, 1), nullptr},
      {"01/JAN/2024:00:00:00", EncodeDate(2024, 1, 1), nullptr},
      {"01/sEP/2024:00:00:00", EncodeDate(2024, 9, 1), nullptr},
      {"29/Feb/2024:12:00:00", EncodeDate(2024, 2, 29) + EncodeTime(12, 0, 0), nullptr},
      {"7/Dec/2024:1:2:3", EncodeDate(2024, 12, 7) + EncodeTime(1, 2, 3), nullptr},
      {"07/Dec/24:10:00:00", EncodeDate(2024, 12, 7) + EncodeTime(10, 0, 0), nullptr},
      {"07/Dec/99:10:00:00", EncodeDate(1999, 12, 7) + EncodeTime(10, 0, 0), nullptr},
      {"07/Nov/124:10:00:00", EncodeDate(2024, 12, 7) + EncodeTime(10, 0, 0), nullptr},
      {"07/Dec/0000002024:10:00:00", EncodeDate(2024, 12, 7) + EncodeTime(10, 0, 0), nullptr},
      {"29/Feb/2023:12:00:00", 0, "ADDPAR: '2023-02-29' is not a valid date and time"},
      {"00/Dec/2024:10:00:00", 0, "ADDPAR: '2024-12-00' is not a valid date and time"},
      {"32/Dec/2024:10:00:00", 0, "ADDPAR: '2024-12-32' is not a valid date and time"},
      {"07/Dex/2024:10:00:00", 0, "ADDPAR: '2024-256-07' is not a valid date and time"},
      {"07/Dece/2024:10:00:00", 0, "ADDPAR: '2024-256-07' is not a valid date and time"},
      {"07/De/2024:10:00:00", 0, "ADDPAR: '2024-256-07' is not a valid date and time"},
      {"07/J@n/2024:10:00:00", 0, "ADDPAR: '2024-256-07' is not a valid date and time"},
      {"07/J\xc1N/2024:10:00:00", 0, "ADDPAR: '2024-256-07' is not a valid date and time"},
      {"07/1an/2024:10:00:00", 0, "ADDPAR: '2024-256-07' is not a valid date and time"},
      {"07/Dec/124:10:00:00", 0, "ADDPAR: '2024-13-07' is not a valid date and time"},
      {"07/Dec/2024:24:00:00", 0, "ADDPAR: '24:00:00' is not a valid date and time"},
      {"07/Dec/2024:23:60:00", 0, "ADDPAR: '23:60:00' is not a valid date and time"},
      {"07/Dec/2024:23:59:60", 0, "ADDPAR: '23:59:60' is not a valid date and time"},
      {"x7/Dec/2024:10:00:00", 0, "ADDPAR: 'x7' is not a valid integer value"},
      {"07/Dec/2024:1O:00:00", 0, "ADDPAR: '1O' is not a valid integer value"},
      {"07/Dec/20245678901:10:00:00", 0, "ADDPAR: '20245678901' is not a valid integer value"},
  };
  for (const TDateCase& c : cases) {
    SCOPED_TRACE(c.date);
    TRecordingReporter recorder;
    use_reporter = &recorder;
    const auto lines = Run(kCommonTemplate, std::string("10.0.0.1 - - [") + c.date +
                                                " +0100] \"GET /index.htm HTTP/1.0\" 200 512\r\n");
    std::vector<std::string> rejected;
    for (const std::string& s : recorder.said)
      if (s.rfind("rejected ", 0) == 0) rejected.push_back(s.substr(9, s.find(" | ") - 9));
    if (c.reason == nullptr) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(lines[0].line.timestamp, c.expected);
      EXPECT_TRUE(rejected.empty());
    } else {
      EXPECT_TRUE(lines.empty());
      EXPECT_EQ(rejected, std::vector<std::string>{c.reason});
    }
  }
}

TEST_F(ParserTest, MonthNamesInAnyLetterCase) {
  const char* const names[] = {"jan", "FEB", "Mar", "aPR", "MaY", "jun",
                               "JUL", "Aug", "sep", "OcT", "nOV", "DEC"};
  std::string log;
  for (const char* name : names)
    log += std::string("10.0.0.1 - - [15/") + name + "/2024:10:00:00 +0100] \"GET /i.htm HTTP/1.0\" 200 5\r\n";
  const auto lines = Run(kCommonTemplate, log);
  ASSERT_EQ(lines.size(), 12u);
  for (int m = 1; m <= 12; ++m) {
    EXPECT_EQ(lines[static_cast<size_t>(m - 1)].fields[kFieldMonth], std::to_string(m));
    EXPECT_EQ(lines[static_cast<size_t>(m - 1)].line.timestamp,
              EncodeDate(2024, m, 15) + EncodeTime(10, 0, 0));
  }
}

// Each line alone through a template whose date comes first: what is
// delivered of it (the href and status), or the reason it was rejected for.
struct TEdgeCase {
  const char* name;
  std::string line;
  const char* href;    // when accepted
  const char* status;  // when accepted
  std::string reason;  // when rejected
};

TEST_F(ParserTest, LinesAtTheLengthLimitsAndTheEdgesOfTheCut) {
  const std::string t = "<year>-<month>-<day> <hour>:<min>:<sec> <href>|<status>";
  const std::string date = "2024-12-07 10:00:00 ";
  const TEdgeCase cases[] = {
      {"exactly the shortest line", date + "/" + std::string(8, 'a') + "|200", "/aaaaaaaa", "200",
       ""},
      {"one character shorter", date + "/" + std::string(7, 'a') + "|200", nullptr, nullptr,
       "Line shorter than 33 characters"},
      {"exactly the longest line", date + "/" + std::string(10240 - date.size() - 5, 'a') + "|200",
       nullptr, "200", ""},
      {"one character longer", date + "/" + std::string(10241 - date.size() - 5, 'a') + "|200",
       nullptr, nullptr, "Line longer than 10240 characters (not shown)"},
      {"the last field at the very end", date + "/the/last/field/is|404", "/the/last/field/is", "404",
       ""},
      {"the last field takes the rest", date + "/a/b|404 and more", "/a/b", "404 and more", ""},
      {"a line that ends after the separator", date + "/only/the/href/here/|",
       "/only/the/href/here/", "", ""},
      {"a line that ends inside the date", "2024-12-07 10:" + std::string(30, ' ') + "x", nullptr,
       nullptr, "Line does not fit the log format"},
      {"a missing separator", "2024-12-07T10:00:00/no/separator/here/at/all", nullptr, nullptr,
       "Line does not fit the log format"},
      {"an empty field", "2024-12-07 10::00 /an/empty/minute/field|200", nullptr, nullptr,
       "Line does not fit the log format"},
  };
  for (const TEdgeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TRecordingReporter recorder;
    use_reporter = &recorder;
    const auto lines = Run(t, c.line + "\r\n");
    std::vector<std::string> rejected;
    for (const std::string& s : recorder.said)
      if (s.rfind("rejected ", 0) == 0) rejected.push_back(s.substr(9, s.find(" | ") - 9));
    if (c.reason.empty()) {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_TRUE(rejected.empty());
      if (c.href != nullptr) {
        EXPECT_EQ(lines[0].fields[kFieldHref], c.href);
      }
      EXPECT_EQ(lines[0].fields[kFieldStatus], c.status);
      EXPECT_EQ(lines[0].line.timestamp, EncodeDate(2024, 12, 7) + EncodeTime(10, 0, 0));
    } else {
      EXPECT_TRUE(lines.empty());
      EXPECT_EQ(rejected, std::vector<std::string>{c.reason});
    }
  }
}

TEST_F(ParserTest, ValuesOfEveryLengthReplaceThoseOfTheLineBefore) {
  // The current line's texts are reused from line to line: each value must
  // replace the one before whole, whether shorter, longer or as long.
  const std::vector<std::string> users = {
      "a", "bc", "def", "ghij", "klmnopq", "rstuvwxy", "z12345678901234", "0123456789abcdef",
      "0123456789abcdefg", std::string(40, 'u'), "xyz", "ab", "Q", "0123456789abcdeX", "ZZZZ"};
  std::string log;
  for (const std::string& u : users)
    log += "10.0.0.1 2005-12-07 10:00:00 " + u + " /page-" + u + ".htm\r\n";
  const auto lines =
      Run("<ip> <year>-<month>-<day> <hour>:<min>:<sec> <username> <href>", log);
  ASSERT_EQ(lines.size(), users.size());
  for (size_t i = 0; i < users.size(); ++i) {
    EXPECT_EQ(lines[i].fields[kFieldUserName], users[i]);
    EXPECT_EQ(lines[i].fields[kFieldHref], "/page-" + users[i] + ".htm");
  }
}

TEST_F(ParserTest, PeriodicLogLinesAreSkippedWhereverTheMarkStands) {
  const std::string good = "10.0.0.1 2005-12-07 10:00:00 /index.htm";
  const std::string t = "<ip> <year>-<month>-<day> <hour>:<min>:<sec> <href>";
  struct {
    std::string line;
    bool skipped;
  } cases[] = {
      {"Periodic-Log " + good, true},
      {good + " Periodic-Log", true},
      {good + std::string(5, ' ') + "x Periodic-Log", true},
      {"0123456789abcdePeriodic-Log " + good, true},
      {"0123456789abcdefPeriodic-Log " + good, true},
      {"0123456789abcdefgPeriodic-Log " + good, true},
      {good + " Periodic-Lo", false},
      {good + " periodic-log", false},
      {good + " Periodic_Log", false},
      {good + " PPeriodic-Lgo Periodic-LoX", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    errors.str("");
    Settings("");
    test::WriteFile(dir / "data/p.log", c.line + "\r\n");
    TLineParser parser(Environment());
    parser.SetSiteTemplate(t);
    parser.ResetTemplate();
    parser.SetReporter(&reporter);
    parser.BeginScan("p.log");
    int delivered = 0;
    for (int guard = 0; !parser.Finished() && guard < 100; ++guard) delivered += parser.GetLine();
    // A skipped line is no record; any other line is read (and here
    // delivered, or rejected when the mark spoils its fields).
    EXPECT_EQ(parser.Counts().read, c.skipped ? 0 : 1);
    if (c.skipped) {
      EXPECT_EQ(delivered, 0);
    }
  }
}

TEST_F(ParserTest, DatesOfHeadersHoldForLinesReadAhead) {
  // With reverse DNS lines are parsed far ahead of their delivery; a line
  // without date fields keeps the date of the header above it even when
  // later headers have changed the date by the time it is delivered.
  Settings("ReverseDNSLookup=-1\r\nDNSLookupThreads=2\r\n");
  std::string log;
  for (int day = 1; day <= 5; ++day) {
    log += "#Date: 2005-12-0" + std::to_string(day) + " 00:00:00\r\n";
    for (int i = 0; i < 20; ++i)
      log += "10:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i) + " 192.168.0." +
             std::to_string(i % 3) + " GET /d" + std::to_string(day) + ".htm 200\r\n";
  }
  test::WriteFile(dir / "data/w3c.log", log);
  TLineParser::TEnvironment env = Environment();
  env.resolver = std::make_shared<TInstantLookup>();
  TLineParser parser(env);
  parser.SetSiteTemplate("<hour>:<min>:<sec> <ip> <method> <href> <status>");
  parser.ResetTemplate();
  parser.SetReporter(&reporter);
  parser.SetDnsNeeded(true);
  parser.BeginScan("w3c.log");
  ASSERT_TRUE(parser.DnsActive());
  int delivered = 0;
  for (int guard = 0; !parser.Finished() && guard < 100000; ++guard) {
    if (!parser.GetLine()) continue;
    ++delivered;
    const int day = current.fields[kFieldHref][2] - '0';
    EXPECT_EQ(current.fields[kFieldDay], "0" + std::to_string(day));
    EXPECT_EQ(current.fields[kFieldMonth], "12");
    EXPECT_EQ(current.fields[kFieldYear], "2005");
    EXPECT_EQ(std::floor(current.line.timestamp), EncodeDate(2005, 12, day));
    EXPECT_EQ(current.fields[kFieldUserName], "host-" + current.fields[kFieldIp] + ".example");
  }
  EXPECT_EQ(delivered, 100);
}

TEST_F(ParserTest, PagesFollowTheExtensionListOfEachScan) {
  // Splits of URLs are remembered from scan to scan; whether a URL is a
  // page must follow the list of the scan at hand.
  Settings("WebPageExtensions=.htm\r\n");
  test::WriteFile(dir / "data/x.log", "10.0.0.1 2005-12-07 10:00:00 /a/page.php\r\n"
                                      "10.0.0.1 2005-12-07 10:00:01 /a/page.htm\r\n");
  TLineParser parser(Environment());
  parser.SetSiteTemplate("<ip> <year>-<month>-<day> <hour>:<min>:<sec> <href>");
  parser.ResetTemplate();
  parser.SetReporter(&reporter);
  auto hits = [&] {
    parser.BeginScan("x.log");
    std::vector<bool> flags;
    for (int guard = 0; !parser.Finished() && guard < 100; ++guard)
      if (parser.GetLine()) flags.push_back(current.line.is_hit);
    return flags;
  };
  EXPECT_EQ(hits(), (std::vector<bool>{false, true}));
  settings->web_page_extensions = ".php";
  EXPECT_EQ(hits(), (std::vector<bool>{true, false}));
}

TEST_F(ParserTest, ManyInterleavedUrlsAndAgentsEachGetTheirOwnSplitAndBrowser) {
  // Splits and agents are remembered and found again by a cheap hash of a
  // few of their bytes: texts alike in those bytes (same length, start,
  // middle and end) must never be taken for one another.
  const char* const agents[] = {
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 Chrome/124.0 Safari/537.36",
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 Firefox/24.00 Safari/537.36",
      "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0",
      "Mozilla/5.0 (Macintosh; Intel Mac OS X 10_15_7) AppleWebKit/605.1.15 Version/17.4 Safari/605.1.15",
      "Googlebot/2.1 (+http://www.google.com/bot.html)", "curl/8.5.0", "Wget/1.21"};
  std::string log;
  std::vector<std::string> hrefs;
  for (int i = 0; i < 3000; ++i) {
    // Same length, first, middle and last eight bytes in pairs of URLs
    const int n = i % 1500;
    // (the 12th character differs, the others sampled are alike).
    const std::string href = "/catalogue/" + std::string(i < 1500 ? "a" : "b") +
                             "/section/x" + std::to_string(1000 + n) + "/a-long-product-name/item." +
                             (n % 3 == 0 ? "htm" : n % 3 == 1 ? "gif" : "php");
    hrefs.push_back(href);
    log += "10.0.0.1 - - [07/Dec/2005:13:05:01 +0100] \"GET " + href + " HTTP/1.0\" 200 5 \"-\" \"" +
           agents[i % 7] + "\"\r\n";
  }
  Settings("WebPageExtensions=.htm\r\n");
  const auto lines = Run("<ip> <nil> <nil> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] "
                         "\"<method> <href> <version>\" <status> <bytes> \"<referrer>\" \"<agent>\"",
                         log);
  ASSERT_EQ(lines.size(), hrefs.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(hrefs[i]);
    const TSplitURL expected = SplitUrl(hrefs[i]);
    EXPECT_EQ(lines[i].line.request->path(), expected.path());
    EXPECT_EQ(lines[i].line.request->document(), expected.document());
    EXPECT_EQ(lines[i].line.is_hit, expected.extension() == ".htm");
    const TAgentInfo agent = DetectAgent(agents[i % 7]);
    EXPECT_EQ(lines[i].line.browser, agent.browser);
    EXPECT_EQ(lines[i].line.browser_version, agent.browser_version);
    EXPECT_EQ(lines[i].line.platform, agent.platform);
    if (HasFailure()) break;
  }
}

TEST_F(ParserTest, LinesWaitingForDnsKeepTheirSplitsWhenTheMemoForgets) {
  // Lines share the splits the parser remembers. With reverse DNS up to a
  // thousand lines wait for their host names while the parser reads on;
  // when a log of endless distinct URLs makes it forget its splits, the
  // waiting lines must still hand over their own.
  Settings("ReverseDNSLookup=-1\r\nDNSLookupThreads=4\r\n");
  constexpr int kLines = 120000;  // two distinct URLs each: the memo forgets once
  std::string log;
  log.reserve(kLines * 110);
  for (int i = 0; i < kLines; ++i)
    log += "10.0." + std::to_string(i % 250) + ".1 - - [07/Dec/2005:13:05:01 +0100] \"GET /p" +
           std::to_string(i) + ".htm HTTP/1.0\" 200 5 \"http://r/" + std::to_string(i) +
           "\" \"-\"\r\n";
  test::WriteFile(dir / "data/access.log", log);
  TLineParser::TEnvironment env = Environment();
  env.resolver = std::make_shared<TInstantLookup>();
  TLineParser parser(env);
  parser.SetSiteTemplate(
      "<ip> <nil> <nil> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] \"<method> <href> "
      "<version>\" <status> <bytes> \"<referrer>\" \"<agent>\"");
  parser.ResetTemplate();
  parser.SetDnsNeeded(true);
  parser.BeginScan("access.log");
  ASSERT_TRUE(parser.DnsActive());
  int delivered = 0, wrong = 0;
  for (int guard = 0; !parser.Finished() && guard < 10 * kLines; ++guard) {
    if (!parser.GetLine()) continue;
    ++delivered;
    const std::string& href = current.fields[kFieldHref];
    const std::string number = href.substr(2, href.size() - 6);
    if (current.line.request->document() != href.substr(1) ||
        current.line.referrer->document() != number ||
        current.fields[kFieldReferrer] != "http://r/" + number) {
      if (wrong++ == 0)
        ADD_FAILURE() << href << " " << current.line.request->document() << " "
                      << current.line.referrer->document() << " " << current.fields[kFieldReferrer];
    }
  }
  EXPECT_EQ(delivered, kLines);
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace trelvar
