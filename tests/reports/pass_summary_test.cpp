#include "reports/pass_summary.h"

#include <gtest/gtest.h>

#include <map>

#include "base/datetime.h"
#include "platform/files.h"
#include "test_support.h"

namespace trelvar {
namespace {

TCurrentLine Line(const std::string& ip, const std::string& status, const std::string& bytes,
                  bool page, double minutes = 0) {
  TCurrentLine l;
  l.fields[kFieldIp] = ip;
  l.fields[kFieldStatus] = status;
  l.fields[kFieldBytes] = bytes;
  l.line.is_hit = page;
  l.line.timestamp = EncodeDate(2005, 12, 7) + minutes / 1440;
  return l;
}

std::string HtmlOf(const TPassSummary& s, const std::string& from, const std::string& to) {
  TPageSink page;
  s.Html(page, from, to);
  return page.Text();
}

// The value cell of a row of the summary table.
std::string Value(const std::string& html, const std::string& caption) {
  const size_t at = html.find(">" + caption + "</TD>");
  if (at == std::string::npos) return "(no row " + caption + ")";
  const size_t open = html.find("nowrap>", at) + 7;
  return html.substr(open, html.find("</TD>", open) - open);
}

TEST(PassSummary, CountsWhatWasCounted) {
  TPassSummary s;
  // 4 560 answers of 51 bytes are 227 KB, not 0; three clients, whose
  // page hits start one visit each.
  int started = 0;
  for (int i = 0; i < 4560; ++i)
    started += s.CountLine(Line("10.0.0." + std::to_string(i % 3), "200", "51", i % 6 < 3, i / 1000.0));
  EXPECT_EQ(started, 3);
  EXPECT_TRUE(s.CountLine(Line("::1", "404", "-", true)));
  s.RobotVisit();  // the caller found a robot's agent
  EXPECT_FALSE(s.CountLine(Line("10.0.0.1", "503", "x1", false, 60)));  // no page: no visit
  EXPECT_FALSE(s.CountLine(Line("", "", "", false)));  // a log without these fields
  // 30 minutes after the last page hit: a new visit; an earlier time
  // goes on with the visit, a later one within 30 minutes too.
  EXPECT_TRUE(s.CountLine(Line("10.0.0.1", "200", "0", true, 4.555 + 30)));
  EXPECT_FALSE(s.CountLine(Line("10.0.0.1", "200", "0", true, 20)));
  EXPECT_FALSE(s.CountLine(Line("10.0.0.1", "200", "0", true, 49.9)));
  TLineCounts lines;
  lines.read = 4570;
  lines.rejected = 4;
  s.EndPass(lines, 4566);
  const std::string html = HtmlOf(s, "2005-12-07", "2005-12-08");
  EXPECT_EQ(Value(html, "Time range"), "2005-12-07 - 2005-12-08");
  EXPECT_EQ(Value(html, "Lines read"), "4570");
  EXPECT_EQ(Value(html, "Lines counted"), "4566");
  EXPECT_EQ(Value(html, "Lines rejected"), "4");
  EXPECT_EQ(html.find("Lines filtered out"), std::string::npos);  // only when there are some
  EXPECT_EQ(Value(html, "Hits"), "4566");
  EXPECT_EQ(Value(html, "Page views"), "2284");
  EXPECT_EQ(Value(html, "Visits"), "5");
  EXPECT_EQ(Value(html, "Of them, visits by robots"), "1");
  EXPECT_EQ(Value(html, "Distinct client addresses"), "4");
  EXPECT_EQ(Value(html, "Kilobytes sent"), "227");
  EXPECT_EQ(Value(html, "Hits with status 2xx"), "4563");
  EXPECT_EQ(Value(html, "Hits with status 3xx"), "0");
  EXPECT_EQ(Value(html, "Hits with status 4xx"), "1");
  EXPECT_EQ(Value(html, "Hits with status 5xx"), "1");
  EXPECT_EQ(Value(html, "Hits with another status or none"), "1");
  const std::string csv = s.Csv("a", "b");
  EXPECT_EQ(csv.rfind("Summary\r\nTime range;a - b\r\nLines read;4570\r\n", 0), 0u) << csv;
  EXPECT_NE(csv.find("\r\nKilobytes sent;227\r\n"), std::string::npos);
}

TEST(PassSummary, ManyClientsSharingPlacesOfTheRecentTableCountApart) {
  // More clients than the table of recent ones has places, each coming
  // back in turn: every client and every visit is counted as a plain
  // model counts them, before and after the summary is cleared.
  TPassSummary s;
  for (int round = 0; round < 2; ++round) {
    std::map<std::string, double> last;
    int64_t visits = 0, started = 0;
    uint32_t seed = 17 + round;
    for (int i = 0; i < 60000; ++i) {
      seed = seed * 1103515245u + 12345u;
      const std::string ip = "10." + std::to_string(seed >> 24) + ".0." + std::to_string(i % 23);
      const double minutes = i / 100.0;
      auto [it, added] = last.try_emplace(ip, minutes);
      if (added || minutes - it->second >= 30) ++visits;
      it->second = minutes;
      started += s.CountLine(Line(ip, "200", "1", true, minutes));
    }
    EXPECT_EQ(s.Addresses(), last.size());
    EXPECT_EQ(started, visits);
    EXPECT_EQ(s.Visits(), visits);
    s.Clear();
    EXPECT_EQ(s.Addresses(), 0u);
  }
}

TEST(PassSummary, KeptFiguresAddUpAndDamagedFilesAreRefused) {
  test::TTempDir dir;
  const std::string path = dir / "T.cache_summary";
  TPassSummary first;
  first.CountLine(Line("10.0.0.1", "200", "2048", true));
  first.RobotVisit();
  first.CountLine(Line("10.0.0.2", "304", "0", false));
  first.EndPass({}, 2);
  first.Save(path);

  TPassSummary second;
  second.CountLine(Line("10.0.0.2", "200", "1024", true));
  ASSERT_TRUE(second.Load(path));
  EXPECT_EQ(second.Hits(), 3);
  EXPECT_EQ(second.Pages(), 2);
  EXPECT_EQ(second.Visits(), 2);
  EXPECT_EQ(second.RobotVisits(), 1);
  EXPECT_EQ(second.Addresses(), 2u);
  EXPECT_EQ(second.Bytes(), 3072);
  EXPECT_EQ(HtmlOf(second, "a", "b").find("kept no summary"), std::string::npos);

  const std::string good = test::ReadFile(path);
  const std::string negative_hits = good.substr(0, 18) + std::string(8, '\xff') + good.substr(26);
  for (const std::string& damaged :
       {std::string(), std::string("Trelvar summary 1\n"), good.substr(0, good.size() - 1),
        good + "x", negative_hits, std::string("Other magic\n") + good.substr(18)}) {
    test::WriteFile(path, damaged);
    TPassSummary s;
    s.CountLine(Line("10.0.0.9", "200", "1", true));
    EXPECT_FALSE(s.Load(path)) << damaged.size();
    EXPECT_EQ(s.Hits(), 1);
    EXPECT_NE(HtmlOf(s, "a", "b").find("kept no summary: the figures below are of this analysis only"),
              std::string::npos);
  }
}

}  // namespace
}  // namespace trelvar
