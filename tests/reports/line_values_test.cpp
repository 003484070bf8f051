// The current line's values: worked out once per line, numbered by text.
#include "reports/line_values.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "config/folders.h"
#include "config/main_settings.h"
#include "reports/report_base.h"
#include "sites/log_formats.h"
#include "sites/robots.h"
#include "test_support.h"

namespace trelvar {
namespace {

class LineValuesTest : public ::testing::Test {
 protected:
  void SetUp() override { ctx.current = &current; }
  void Line(const std::string& href, const std::string& agent, const std::string& ip = "1.2.3.4") {
    current.fields[kFieldHref] = href;
    current.fields[kFieldAgent] = agent;
    current.fields[kFieldIp] = ip;
    // Each split is another memo entry of the parser, with its serial.
    current.line.request = MakeSplit(href);
    current.line.request_serial = ++serials_;
    ctx.values.NextLine();
  }
  // A line with this referrer and its own split.
  void Referred(const std::string& referrer) {
    current.fields[kFieldReferrer] = referrer;
    current.line.referrer = MakeSplit(referrer);
    current.line.referrer_serial = ++serials_;
    Line("/", "agent");
  }
  // Settings whose main.ini holds `line`; they live as long as the test.
  const TMainSettings* SettingsWith(const std::string& line) {
    test::WriteFile(dir_ / "prog/Default/main.ini", "\r\n");
    test::WriteFile(dir_ / "data/main.ini", line + "\r\n");
    return settings_.emplace_back(std::make_unique<TMainSettings>(folders_, formats_, nullptr))
        .get();
  }
  TCurrentLine current;
  TReportContext ctx;
  uint64_t serials_ = 0;

 private:
  test::TTempDir dir_;
  TFolders folders_{dir_ / "prog", dir_ / "data"};
  TLogFmts formats_;
  std::vector<std::unique_ptr<TMainSettings>> settings_;
};

TEST_F(LineValuesTest, EqualTextsGetEqualNumbersAndSplitsNumberTheirOwnParts) {
  TLineValues& v = ctx.values;
  Line("/a/x.htm", "Agent A");
  const uint32_t a = v.Number(ReportParam::kHref), dir = v.Number(ReportParam::kPath);
  EXPECT_EQ(v.Text(ReportParam::kPath), "/a/");
  Line("/b/y.htm", "Agent B");
  EXPECT_NE(v.Number(ReportParam::kHref), a);
  EXPECT_NE(v.Number(ReportParam::kPath), dir);
  // The same URL with a split of its own (another parser memo entry) and
  // a sibling in the same folder: the folder keeps its number.
  Line("/a/x.htm", "Agent A");
  EXPECT_EQ(v.Text(ReportParam::kHref), "/a/x.htm");
  EXPECT_EQ(v.Number(ReportParam::kPath), dir);
  Line("/a/z.htm", "Agent A");
  EXPECT_EQ(v.Number(ReportParam::kPath), dir);
  EXPECT_EQ(v.Text(ReportParam::kFileExt), ".htm");
  // A line without a split serial is numbered by its text: equal texts
  // get one number whatever split they carry (the driver may leave the
  // split empty when nobody reads it).
  current.fields[kFieldHref] = "/c";
  current.line.request = EmptySplit();
  current.line.request_serial = 0;
  v.NextLine();
  EXPECT_EQ(v.Text(ReportParam::kHref), "/c");
  const uint32_t c = v.Number(ReportParam::kHref);
  current.line.request = MakeSplit("/c");
  v.NextLine();
  EXPECT_EQ(v.Number(ReportParam::kHref), c);
  // Serials of the parser number a URL whatever its text: no hashing.
  current.line.request = EmptySplit();
  current.line.request_serial = 77;
  v.NextLine();
  const uint32_t by_serial = v.Number(ReportParam::kHref);
  EXPECT_NE(by_serial, c);
  current.fields[kFieldHref] = "/d";
  v.NextLine();
  EXPECT_EQ(v.Number(ReportParam::kHref), by_serial);
}

TEST_F(LineValuesTest, SerialsFarApartOrOutOfOrderGetTheirNumbersInTheOrderFirstSeen) {
  // Most serials are found by their place after the epoch's first one;
  // those before it or far beyond are found by hash. Either way a serial
  // keeps its number, and numbers go by first sighting.
  TLineValues& v = ctx.values;
  const uint64_t far = 1000 + TLineValues::kKeyWindow + 3;
  const struct {
    uint64_t serial;
    uint32_t number;
  } lines[] = {{1000, 0}, {1001, 1}, {5, 2}, {far, 3}, {1001, 1}, {5, 2},
               {far, 3},  {1000, 0}, {999, 4}, {1000 + TLineValues::kKeyWindow - 1, 5}};
  for (const auto& line : lines) {
    current.line.request_serial = line.serial;
    v.NextLine();
    EXPECT_EQ(v.Number(ReportParam::kHref), line.number) << line.serial;
  }
  // A new pass starts from the first serial it meets.
  v.Forget();
  for (const uint64_t serial : {uint64_t{3}, uint64_t{1000}, uint64_t{3}}) {
    current.line.request_serial = serial;
    v.NextLine();
    EXPECT_EQ(v.Number(ReportParam::kHref), serial == 3 ? 0u : 1u) << serial;
  }
}

TEST_F(LineValuesTest, AgentsAreNumberedByTheParsersSerialAndTheirPartsByText) {
  TLineValues& v = ctx.values;
  auto agent = [&](const std::string& text, uint64_t serial, const std::string& browser) {
    current.line.agent_serial = serial;
    current.line.browser = browser;
    Line("/", text);
  };
  agent("Mozilla/5.0 One", 7, "Firefox");
  const uint32_t one = v.Number(ReportParam::kAgent);
  const uint32_t firefox = v.Number(ReportParam::kBrowser);
  agent("Mozilla/5.0 Two", 9, "Firefox");
  const uint32_t two = v.Number(ReportParam::kAgent);
  EXPECT_NE(two, one);
  EXPECT_EQ(v.Text(ReportParam::kAgent), "Mozilla/5.0 Two");
  EXPECT_EQ(v.Number(ReportParam::kBrowser), firefox);  // another agent, the same browser
  agent("Mozilla/5.0 One", 7, "Firefox");
  EXPECT_EQ(v.Number(ReportParam::kAgent), one);
  // The parser's memo forgot the text and gave it a new serial: another
  // number, but the same browser.
  agent("Mozilla/5.0 One", 12, "Firefox");
  EXPECT_NE(v.Number(ReportParam::kAgent), one);
  EXPECT_EQ(v.Text(ReportParam::kBrowser), "Firefox");
  EXPECT_EQ(v.Number(ReportParam::kBrowser), firefox);
  // Without a serial the text numbers it.
  agent("Lynx", 0, "Lynx");
  const uint32_t lynx = v.Number(ReportParam::kAgent);
  agent("Lynx", 0, "Lynx");
  EXPECT_EQ(v.Number(ReportParam::kAgent), lynx);
  EXPECT_EQ(v.Text(ReportParam::kBrowser), "Lynx");
}

TEST_F(LineValuesTest, RobotsAnswerAnewWithANewCatalogueAndAfterForget) {
  TRobots bots;
  bots.LoadFromText("bot\r\n");
  ctx.robots.Use(&bots);
  Line("/", "Some bot 1.0");
  EXPECT_EQ(ctx.values.Text(ReportParam::kRobot), "bot");
  TRobots none;
  ctx.robots.Use(&none);
  Line("/", "Some bot 1.0");
  EXPECT_EQ(ctx.values.Text(ReportParam::kRobot), "");
  ctx.robots.Use(&bots);
  ctx.values.Forget();
  Line("/", "Some bot 1.0");
  EXPECT_EQ(ctx.values.Text(ReportParam::kRobot), "bot");
}

TEST_F(LineValuesTest, SearchPhrasesAndEnginesFollowTheReferrerAndTheSettings) {
  const TMainSettings* google = SettingsWith("SearchEngine=Google;google.;q");
  const TMainSettings* other = SettingsWith("SearchEngine=Other;google.;x");
  ctx.settings = google;
  // One split shared by several lines, as the parser shares it.
  Referred("http://www.google.com/search?q=Red+%22Shoes%22&x=Blue");
  const TSplitRef shared = current.line.referrer;
  const uint64_t shared_serial = current.line.referrer_serial;
  EXPECT_EQ(ctx.values.SearchPhrase(), "red \"shoes\"");
  EXPECT_EQ(ctx.values.SearchEngine(), "Google");
  Referred("http://www.example.com/?q=none");
  EXPECT_EQ(ctx.values.SearchPhrase(), "");
  EXPECT_EQ(ctx.values.SearchEngine(), "");
  current.line.referrer = shared;
  current.line.referrer_serial = shared_serial;
  ctx.values.NextLine();
  EXPECT_EQ(ctx.values.SearchPhrase(), "red \"shoes\"");
  // Other engines answer for the same referrer anew, and no settings none.
  ctx.settings = other;
  ctx.values.NextLine();
  EXPECT_EQ(ctx.values.SearchPhrase(), "blue");
  EXPECT_EQ(ctx.values.SearchEngine(), "Other");
  ctx.settings = nullptr;
  ctx.values.NextLine();
  EXPECT_EQ(ctx.values.SearchPhrase(), "");
  EXPECT_EQ(ctx.values.SearchEngine(), "");
}

TEST_F(LineValuesTest, EndlessDistinctPhrasesStayRightWhenTheirTextsAreForgotten) {
  ctx.settings = SettingsWith("SearchEngine=Google;google.;q");
  Referred("http://www.google.com/search?q=first");
  const TSplitRef first = current.line.referrer;
  EXPECT_EQ(ctx.values.SearchPhrase(), "first");
  for (size_t i = 0; i < TLineValues::kLimit; ++i) {
    const std::string word = "w" + std::to_string(i);
    Referred("http://www.google.com/search?q=" + word);
    const std::string& phrase = ctx.values.SearchPhrase();
    ASSERT_EQ(ctx.values.SearchEngine(), "Google");
    ASSERT_EQ(phrase, word);  // still held after the engine was worked out
  }
  current.fields[kFieldReferrer] = "http://www.google.com/search?q=first";
  current.line.referrer = first;
  Line("/", "agent");
  EXPECT_EQ(ctx.values.SearchPhrase(), "first");
}

TEST_F(LineValuesTest, AFullTableStartsAgainInANewEpochWithTheRightTexts) {
  TLineValues& v = ctx.values;
  Line("/", "agent 0", "10.0.0.0");
  const uint64_t first = v.Epoch(ReportParam::kIp);
  for (size_t i = 0; i <= TLineValues::kLimit; ++i) {
    const std::string ip = "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256);
    Line("/", "agent", ip);
    ASSERT_LT(v.Number(ReportParam::kIp), TLineValues::kLimit);
    ASSERT_EQ(v.Text(ReportParam::kIp), ip);
    ASSERT_EQ(v.Text(ReportParam::kCountry), "N/A");  // no database
  }
  EXPECT_NE(v.Epoch(ReportParam::kIp), first);
  // What a report keeps by number is forgotten with the epoch.
  TByValueNumber<int> kept;
  kept.At(3, first) = 7;
  EXPECT_EQ(kept.At(3, first), 7);
  EXPECT_EQ(kept.At(3, v.Epoch(ReportParam::kIp)), 0);
}

}  // namespace
}  // namespace trelvar
