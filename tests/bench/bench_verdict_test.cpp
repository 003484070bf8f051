// The benchmark's goal verdict: which goals a set of figures meets or
// misses, the bounds themselves, the comparison of W3C and gzip with the
// combined log, linearity, and the exit status of --check.
#include "bench_verdict.h"

#include <gtest/gtest.h>

namespace bench {
namespace {

TGoalFigures Figures(const std::string& kind, int64_t lines, double shipped, double basic,
                     double peak, double peer, double peer_peak) {
  TGoalFigures f;
  f.kind = kind;
  f.lines = lines;
  f.shipped_seconds = shipped;
  f.basic_seconds = basic;
  f.shipped_peak_mb = peak;
  f.peer_seconds = peer;
  f.peer_peak_mb = peer_peak;
  return f;
}

std::string Missed(const TVerdictRow& row) {
  std::string text;
  for (const std::string& m : row.missed) text += (text.empty() ? "" : "; ") + m;
  return text;
}

TEST(BenchVerdict, CombinedLogGoalsAndTheirBounds) {
  struct Case {
    const char* name;
    double shipped, basic, peak;  // peer: 10 seconds, 100 MB
    const char* missed;
  } cases[] = {
      {"all met", 9, 3, 120, ""},
      {"exactly on every bound", 10, 10.0 / 3, 150, ""},
      {"shipped set slower than the peer", 10.5, 3, 120, "shipped 0.95 < 1.00"},
      {"basic report only twice as fast", 9, 5, 120, "basic 2.00 < 3.00"},
      {"memory just over", 9, 3, 151, "memory 1.51 > 1.50"},
      {"all missed", 20, 5, 300,
       "shipped 0.50 < 1.00; basic 2.00 < 3.00; memory 3.00 > 1.50"},
      {"a failed run", 0, 3, 0, "shipped not measured; memory not measured"},
  };
  for (const Case& c : cases) {
    const TVerdict v = Judge({Figures("combined", 1000000, c.shipped, c.basic, c.peak, 10, 100)});
    ASSERT_EQ(v.rows.size(), 1u) << c.name;
    EXPECT_EQ(Missed(v.rows[0]), c.missed) << c.name;
    EXPECT_EQ(CheckStatus(v), *c.missed == '\0' ? 0 : 1) << c.name;
  }
}

TEST(BenchVerdict, W3cAndGzipWithinTenPercentOfTheCombinedLog) {
  // Combined: shipped ratio 0.5, basic 2.0, memory 1.2 (all three missed
  // there; the other kinds are judged against them, not the absolute goals).
  const TGoalFigures combined = Figures("combined", 1000, 20, 5, 120, 10, 100);
  struct Case {
    const char* name;
    TGoalFigures figures;
    const char* missed;
  } cases[] = {
      {"the same ratios", Figures("W3C", 1000, 20, 5, 120, 10, 100), ""},
      {"better everywhere", Figures("gzip", 1000, 10, 2, 100, 10, 100), ""},
      {"10% worse is still near", Figures("W3C", 1000, 40, 10, 132, 18, 100), ""},
      {"shipped 20% worse", Figures("gzip", 1000, 25, 5, 120, 10, 100),
       "shipped 0.40 < 90% of combined 0.50"},
      {"memory 20% worse", Figures("W3C", 1000, 20, 5, 144, 10, 100),
       "memory 1.44 > 110% of combined 1.20"},
      {"no combined log of this size", Figures("W3C", 2000, 20, 5, 120, 10, 100),
       "no combined log of this size to compare with"},
  };
  for (const Case& c : cases) {
    const TVerdict v = Judge({combined, c.figures});
    ASSERT_EQ(v.rows.size(), 2u) << c.name;
    const TVerdictRow& row = v.rows[0].kind == "combined" ? v.rows[1] : v.rows[0];
    EXPECT_EQ(Missed(row), c.missed) << c.name;
  }
}

TEST(BenchVerdict, LinearityComparesTheLargestWithTheSmallestSize) {
  struct Case {
    const char* name;
    double shipped_10m, basic_10m;  // seconds at ten million lines; 1 and 0.5 at one million
    const char* missed;
  } cases[] = {
      {"linear", 10, 5, ""},
      {"10% more per line is still linear", 11, 5.5, ""},
      {"shipped set grows faster", 13, 5, "shipped per line 1.30 > 1.10"},
      {"a failed large run", 10, 0, "basic per line not measured"},
  };
  for (const Case& c : cases) {
    const TVerdict v = Judge({Figures("combined", 10000000, c.shipped_10m, c.basic_10m, 1, 1, 1),
                              Figures("combined", 1000000, 1, 0.5, 1, 1, 1)});
    ASSERT_EQ(v.rows.size(), 3u) << c.name;
    EXPECT_EQ(v.rows[0].lines, 1000000) << c.name;  // sizes in ascending order
    EXPECT_EQ(v.rows.back().kind, "linearity") << c.name;
    EXPECT_EQ(Missed(v.rows.back()), c.missed) << c.name;
  }
  // One size: no linearity row.
  EXPECT_EQ(Judge({Figures("combined", 1000, 1, 1, 1, 1, 1)}).rows.size(), 1u);
}

TEST(BenchVerdict, CheckNeedsThePeerAndSomethingMeasured) {
  TGoalFigures f = Figures("combined", 1000, 1, 0.1, 1, 10, 10);
  EXPECT_EQ(CheckStatus(Judge({f})), 0);
  f.peer_installed = false;
  f.peer_seconds = f.peer_peak_mb = 0;
  const TVerdict v = Judge({f});
  EXPECT_EQ(CheckStatus(v), 2);
  EXPECT_NE(FormatVerdict(v, "analog").find("no verdict: it needs analog"), std::string::npos);
  EXPECT_EQ(CheckStatus(Judge({})), 2);
}

TEST(BenchVerdict, FiguresComeFromTheRowsOfTheAnalysisMeasurements) {
  auto row = [](const std::string& kind, const std::string& role, int64_t lines, double seconds,
                double peak) {
    TBenchRow r;
    r.log_kind = kind;
    r.role = role;
    r.items = lines;
    r.seconds = seconds;
    r.peak_mb = peak;
    return r;
  };
  TBenchRow other = row("", "", 1000, 99, 99);  // a row of another measurement
  TBenchRow webalizer = row("combined", "", 1000, 99, 99);  // a tool that is not the peer
  const std::vector<TGoalFigures> figures = GoalFigures(
      {other, row("combined", "shipped", 1000, 2, 50), row("combined", "basic", 1000, 1, 40),
       webalizer, row("combined", "peer", 1000, 3, 30), row("gzip", "floor", 1000, 0.5, 0),
       row("gzip", "shipped", 1000, 4, 60), row("combined", "shipped", 2000, 5, 70)});
  ASSERT_EQ(figures.size(), 3u);
  EXPECT_EQ(figures[0].kind, "combined");
  EXPECT_EQ(figures[0].shipped_seconds, 2);
  EXPECT_EQ(figures[0].shipped_peak_mb, 50);
  EXPECT_EQ(figures[0].basic_seconds, 1);
  EXPECT_EQ(figures[0].peer_seconds, 3);
  EXPECT_EQ(figures[0].peer_peak_mb, 30);
  EXPECT_EQ(figures[1].kind, "gzip");
  EXPECT_EQ(figures[1].floor_seconds, 0.5);
  EXPECT_EQ(figures[1].shipped_seconds, 4);
  EXPECT_EQ(figures[2].lines, 2000);
  EXPECT_EQ(figures[2].shipped_seconds, 5);
}

}  // namespace
}  // namespace bench
