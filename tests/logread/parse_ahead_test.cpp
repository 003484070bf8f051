// Parsing ahead on a thread of its own hands over and tells exactly what
// parsing line by line does, in the same order.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <random>
#include <sstream>

#include "base/progress.h"
#include "config/main_settings.h"
#include "logread/gzip_test_support.h"
#include "logread/line_parser.h"
#include "logread/parser_world.h"
#include "sites/log_formats.h"
#include "sites/website.h"
#include "test_support.h"

namespace trelvar {
namespace {

const char kCombined[] =
    "<ip> <nil> <user> [<day>/<month_>/<year>:<hour>:<min>:<sec> <nil>] \"<method> <href> "
    "<version>\" <status> <bytes> \"<referrer>\" \"<agent>\"";

// The whole URL a split was made of.
std::string Whole(const TSplitURL& split) {
  return std::string(split.WithoutQuery()) + std::string(split.query());
}

// Where two transcripts part: the first line that differs in each (a
// whole-text comparison would print megabytes).
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::istringstream in_a(a), in_b(b);
  std::string line_a, line_b;
  for (int n = 1;; ++n) {
    const bool more_a = static_cast<bool>(std::getline(in_a, line_a));
    const bool more_b = static_cast<bool>(std::getline(in_b, line_b));
    if (!more_a && !more_b) return "";
    if (!more_a || !more_b || line_a != line_b)
      return "line " + std::to_string(n) + ":\n" + (more_a ? line_a : "(end)") + "\n" +
             (more_b ? line_b : "(end)");
  }
}

// Writes everything the scan says and hands over into one transcript.
struct TTranscript : TLineReporter {
  void ScanStarting(const std::string& heading) override { text << "start " << heading << "\n"; }
  void Notice(const std::string& line) override { text << "notice " << line << "\n"; }
  void Rejected(std::string_view reason, std::string_view raw) override {
    text << "rejected " << reason << " | " << raw << "\n";
  }
  void ScanFinished() override { text << "finished\n"; }
  std::ostringstream text;
};

struct ParseAheadTest : ::testing::Test, test::TParserWorld {
  bool period_on = false;
  TDateTime period_from = 0, period_to = 0;
  bool few_reports = false;  // parsing ahead, the driver looks the URLs up
  bool agent = true;         // a report reads the browser or platform

  std::unique_ptr<TLineParser> Parser(bool ahead, TLineReporter* reporter,
                                      TfrmProg* progress = nullptr) {
    TLineParser::TEnvironment env = Environment();
    env.site = &site;
    env.progress = progress;
    auto parser = std::make_unique<TLineParser>(env);
    parser->SetSiteTemplate(kCombined);
    parser->ResetTemplate();
    parser->SetReporter(reporter);
    parser->SetParseAhead(ahead);
    TLineParser::TNeeds needs;
    needs.few_reports = few_reports;
    needs.agent = agent;
    parser->SetNeeds(needs);
    return parser;
  }

  // The whole scan of `log_path` as text: what is told, each file start
  // with the field codes the driver sees, each line handed over with
  // every value and the progress, and the counts at the end.
  std::string Scan(bool ahead, const std::string& log_path) {
    current.Clear();
    // What an earlier scan left: a scan that reads no agent empties it.
    current.line.browser = current.line.platform_version = "stale";
    TTranscript said;
    TfrmProg progress(host);
    auto parser = Parser(ahead, &said, &progress);
    parser->SetPeriod(period_on, period_from, period_to);
    parser->SetOnFileStart([&](const std::string& path) {
      said.text << "file " << path << " codes";
      for (int code : parser->FieldCodes()) said.text << ' ' << code;
      said.text << "\n";
    });
    parser->BeginScan(log_path);
    EXPECT_EQ(parser->ParsingAhead(), ahead);
    for (int guard = 0; !parser->Finished() && guard < 1000000; ++guard) {
      if (!parser->GetLine()) continue;
      std::ostringstream& t = said.text;
      t << "line";
      for (const std::string& f : current.fields) t << " [" << f << "]";
      const TLogLine& l = current.line;
      t.precision(17);
      t << " t=" << l.timestamp << " dow=" << l.day_of_week << " req=" << Whole(*l.request)
        << " ref=" << Whole(*l.referrer) << " hit=" << l.is_hit << " " << l.browser << "/"
        << l.browser_version << " " << l.platform << "/" << l.platform_version
        << " agent#=" << l.agent_serial << " at=" << progress.Position() << "\n";
    }
    const TLineCounts& n = parser->Counts();
    said.text << "counts " << n.read << ' ' << n.rejected << ' ' << n.filtered << ' ' << n.outside
              << ' ' << n.already << "\n";
    for (const std::string& p : parser->Chooser().InputProblems()) said.text << "problem " << p;
    return said.text.str();
  }
};

// A random log: good lines with a few hundred URLs, referrers and agents,
// lines too short, without a valid date or fitting nothing, header lines,
// and now and then a long run of lines that are never delivered.
std::string RandomLog(std::mt19937& random, int lines) {
  const char* const agents[] = {
      "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 Chrome/124.0 Safari/537.36",
      "Mozilla/5.0 (X11; Linux x86_64; rv:125.0) Gecko/20100101 Firefox/125.0",
      "Googlebot/2.1 (+http://www.google.com/bot.html)", "curl/8.5.0", "-"};
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  std::string log;
  int second = 0;
  for (int i = 0; i < lines; ++i) {
    const int kind = pick(100);
    if (kind == 0) {
      // A run of rejected lines longer than a batch reads for one line.
      for (int j = 0, n = 3000 + pick(3000); j < n; ++j)
        log += "junk line " + std::to_string(j) + "\n";
      continue;
    }
    if (kind < 3) {
      log += "short\n";
      continue;
    }
    if (kind < 5) {
      log += "10.0.0.1 - - [31/Feb/2024:10:00:00 +0000] \"GET / HTTP/1.1\" 200 1 \"-\" \"-\"\n";
      continue;
    }
    if (kind < 6) {
      log += "#Fields: a comment\n";
      continue;
    }
    second += pick(600);
    char time[32];
    std::snprintf(time, sizeof time, "%02d/May/2024:%02d:%02d:%02d", 1 + second / 86400 % 28,
                  second / 3600 % 24, second / 60 % 60, second % 60);
    const int url = pick(300);
    const std::string href = "/dir" + std::to_string(url % 7) + "/page" + std::to_string(url) +
                             (url % 3 == 0   ? ".htm"
                              : url % 3 == 1 ? ".gif"
                                             : ".php?q=" + std::to_string(url));
    const std::string referrer =
        pick(3) == 0 ? "-" : "https://www.example" + std::to_string(pick(40)) + ".com/x?q=a+b";
    log += "10.0." + std::to_string(pick(4)) + "." + std::to_string(pick(250)) + " - " +
           (pick(5) == 0 ? "alice.mail.example.com" : "-") + " [" + time + " +0200] \"" +
           (pick(10) == 0 ? "POST " : "GET ") + href + " HTTP/1.1\" " +
           (pick(8) == 0 ? "404 " : "200 ") + std::to_string(pick(90000)) + " \"" + referrer +
           "\" \"" + agents[pick(5)] + "\"\n";
  }
  return log;
}

TEST_F(ParseAheadTest, LinesAndWhatIsToldComeOutAsWhenParsingLineByLine) {
  // Filters that rewrite and drop lines, and a period that leaves some out.
  TSiteFilter rewrite;
  rewrite.parameter = SiteParamFromKey("href");
  rewrite.line_field = SiteParamLineField(rewrite.parameter);
  rewrite.condition = TFilterCondition::Includes;
  rewrite.value = "/dir3/";
  rewrite.action = TFilterAction::ReplaceAll;
  rewrite.action_value = "/third/";
  TSiteFilter drop = rewrite;
  drop.parameter = SiteParamFromKey("status");
  drop.line_field = SiteParamLineField(drop.parameter);
  drop.condition = TFilterCondition::Equals;
  drop.value = "404";
  drop.action = TFilterAction::SkipLine;
  site.filters = {rewrite, drop};
  for (const unsigned seed : {1u, 2u, 3u}) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    Settings("WebPageExtensions=.htm.php\r\n");
    period_on = true;
    period_from = EncodeDate(2024, 5, 1);
    period_to = EncodeDate(2024, 5, 9);
    // Several files of different sizes: one empty, one gzip-compressed,
    // one missing, one that fits no line.
    test::WriteFile(dir / "data/a.log", RandomLog(random, 5000));
    test::WriteFile(dir / "data/b.log", "");
    test::WriteFile(dir / "data/c.log.gz", test::Gzip(RandomLog(random, 2500)));
    test::WriteFile(dir / "data/d.log", RandomLog(random, 700));
    test::WriteFile(dir / "data/e.log", std::string(2000, 'x') + "\n");
    const std::string path = dir / "data/a.log;" + dir / "data/b.log;" + dir / "data/c.log.gz;" +
                             dir / "data/gone.log;" + dir / "data/d.log;" + dir / "data/e.log";
    const std::string alone = Scan(false, path);
    const std::string ahead = Scan(true, path);
    EXPECT_EQ(FirstDifference(ahead, alone), "");
    few_reports = true;
    EXPECT_EQ(FirstDifference(Scan(true, path), alone), "") << "the driver looking URLs up";
    // Nobody reading the agent: no browser or platform, stale or not.
    agent = false;
    const std::string no_agent = Scan(false, path);
    EXPECT_EQ(no_agent.find("stale"), std::string::npos);
    EXPECT_EQ(FirstDifference(Scan(true, path), no_agent), "") << "without the agent";
    agent = true;
    few_reports = false;
    // The scan did meet every kind of line.
    for (const char* part : {"rejected", "line ", "counts", "problem", "file ", "notice "})
      EXPECT_NE(alone.find(part), std::string::npos) << part;
    if (HasFailure()) break;
  }
}

TEST_F(ParseAheadTest, FilesOfRecognisedFormatsGiveTheDriverTheirOwnFields) {
  Settings("AutoRecognizeLogFormat=-1\r\n");
  std::mt19937 random(7);
  test::WriteFile(dir / "data/access.log", RandomLog(random, 3000));
  test::WriteFile(dir / "data/u_ex241001.log",
                  "#Software: Microsoft Internet Information Services 10.0\r\n"
                  "#Version: 1.0\r\n"
                  "#Date: 2024-10-01 00:00:05\r\n"
                  "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query c-ip sc-status\r\n"
                  "2024-10-01 00:00:05 10.0.0.4 GET /shop/cart.aspx id=42 203.0.113.9 404\r\n");
  test::WriteFile(dir / "data/more.log", RandomLog(random, 1500));
  const std::string path =
      dir / "data/access.log;" + dir / "data/u_ex241001.log;" + dir / "data/more.log";
  const std::string alone = Scan(false, path);
  EXPECT_NE(alone.find("recognized as"), std::string::npos);
  EXPECT_NE(alone.find("\nline "), std::string::npos);
  EXPECT_EQ(FirstDifference(Scan(true, path), alone), "");
  few_reports = true;
  EXPECT_EQ(FirstDifference(Scan(true, path), alone), "") << "the driver looking URLs up";
}

TEST_F(ParseAheadTest, SplitsOfForgottenUrlsStayValidForLinesInFlight) {
  // More distinct URLs than the parser remembers: its memo is forgotten
  // while lines pointing into it are still on their way.
  Settings("");
  std::string log;
  for (int i = 0; i < 210000; ++i)
    log += "10.0.0.1 - - [01/May/2024:10:00:00 +0200] \"GET /p" + std::to_string(i) +
           ".htm?x=" + std::to_string(i) + " HTTP/1.1\" 200 1 \"-\" \"-\"\n";
  test::WriteFile(dir / "data/many.log", log);
  // Also where the driver looks the URLs up: it forgets them itself.
  for (const bool driver : {false, true}) {
    SCOPED_TRACE(driver);
    few_reports = driver;
    TTranscript said;
    auto parser = Parser(true, &said);
    parser->BeginScan("many.log");
    int i = 0;
    uint64_t last_serial = 0;
    for (int guard = 0; !parser->Finished() && guard < 1000000; ++guard) {
      if (!parser->GetLine()) continue;
      const std::string href = "/p" + std::to_string(i) + ".htm?x=" + std::to_string(i);
      ASSERT_EQ(Whole(*current.line.request), href);
      ASSERT_EQ(current.fields[kFieldUriQuery], "?x=" + std::to_string(i));
      ASSERT_TRUE(current.line.is_hit);
      ASSERT_GT(current.line.request_serial, last_serial);  // never given twice
      last_serial = current.line.request_serial;
      ++i;
    }
    EXPECT_EQ(i, 210000);
  }
}

TEST_F(ParseAheadTest, ACancelOrAParserGoneEndsTheParsingThread) {
  Settings("");
  std::mt19937 random(3);
  test::WriteFile(dir / "data/access.log", RandomLog(random, 20000));
  TTranscript said;
  TfrmProg progress(host);
  int delivered = 0;
  host.on_events = [&] {
    if (delivered == 1500) progress.Cancel();
  };
  auto parser = Parser(true, &said, &progress);
  parser->BeginScan("access.log");
  while (parser->GetLine()) ++delivered;
  EXPECT_EQ(delivered, 1500);
  EXPECT_TRUE(progress.IsCancelled());
  EXPECT_FALSE(parser->Finished());
  parser.reset();

  // A driver may leave in the middle of a scan (a log older than the
  // cache): the parser goes with its thread.
  host.on_events = nullptr;
  parser = Parser(true, &said);
  parser->BeginScan("access.log");
  ASSERT_TRUE(parser->GetLine());
  parser.reset();
}

}  // namespace
}  // namespace trelvar
