#include "bench_verdict.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

constexpr double kShippedGoal = 1.0;  // peer seconds / shipped-set seconds, at least
constexpr double kBasicGoal = 3.0;    // peer seconds / one-basic-report seconds, at least
constexpr double kMemoryGoal = 1.5;   // shipped-set peak / the peer's, at most
constexpr double kSameWithin = 0.10;  // W3C and gzip against the combined log; linearity
// A figure on a bound meets it, whatever the last bit of the division says.
constexpr double kSlack = 1e-9;

std::string Format(const char* format, double a, double b) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

double Ratio(double numerator, double denominator) {
  return numerator > 0 && denominator > 0 ? numerator / denominator : 0;
}

// Speed ratios must reach `goal`, the memory ratio stay at or under it.
void AtLeast(TVerdictRow& row, const char* what, double ratio, double goal) {
  if (ratio <= 0)
    row.missed.push_back(std::string(what) + " not measured");
  else if (ratio < goal - kSlack)
    row.missed.push_back(std::string(what) + Format(" %.2f < %.2f", ratio, goal));
}

void AtMost(TVerdictRow& row, const char* what, double ratio, double goal) {
  if (ratio <= 0)
    row.missed.push_back(std::string(what) + " not measured");
  else if (ratio > goal + kSlack)
    row.missed.push_back(std::string(what) + Format(" %.2f > %.2f", ratio, goal));
}

TVerdictRow Compare(const TGoalFigures& f) {
  TVerdictRow row;
  row.kind = f.kind;
  row.lines = f.lines;
  row.figures = f;
  row.shipped_ratio = Ratio(f.peer_seconds, f.shipped_seconds);
  row.basic_ratio = Ratio(f.peer_seconds, f.basic_seconds);
  row.memory_ratio = Ratio(f.shipped_peak_mb, f.peer_peak_mb);
  row.floor_multiple = Ratio(f.shipped_seconds, f.floor_seconds);
  return row;
}

// Against the combined log's `base`: a speed ratio may be at most 10% lower,
// the memory ratio at most 10% higher.
void NearSpeed(TVerdictRow& row, const char* what, double ratio, double base) {
  if (ratio <= 0 || base <= 0)
    row.missed.push_back(std::string(what) + " not measured");
  else if (ratio < base * (1 - kSameWithin) - kSlack)
    row.missed.push_back(std::string(what) + Format(" %.2f < 90%% of combined %.2f", ratio, base));
}

void NearMemory(TVerdictRow& row, double ratio, double base) {
  if (ratio <= 0 || base <= 0)
    row.missed.push_back("memory not measured");
  else if (ratio > base * (1 + kSameWithin) + kSlack)
    row.missed.push_back(Format("memory %.2f > 110%% of combined %.2f", ratio, base));
}

int KindRank(const std::string& kind) {
  return kind == "combined" ? 0 : kind == "W3C" ? 1 : kind == "gzip" ? 2 : 3;
}

const TGoalFigures* Find(const std::vector<TGoalFigures>& figures, const std::string& kind,
                         int64_t lines) {
  for (const TGoalFigures& f : figures)
    if (f.kind == kind && f.lines == lines) return &f;
  return nullptr;
}

}  // namespace

bool TVerdict::met() const {
  if (peer_missing || rows.empty()) return false;
  return std::all_of(rows.begin(), rows.end(), [](const TVerdictRow& r) { return r.met(); });
}

std::vector<TGoalFigures> GoalFigures(const std::vector<TBenchRow>& rows) {
  std::vector<TGoalFigures> figures;
  for (const TBenchRow& r : rows) {
    if (r.log_kind.empty() || r.role.empty()) continue;
    auto at = std::find_if(figures.begin(), figures.end(), [&](const TGoalFigures& f) {
      return f.kind == r.log_kind && f.lines == r.items;
    });
    if (at == figures.end()) {
      figures.push_back(TGoalFigures{});
      at = figures.end() - 1;
      at->kind = r.log_kind;
      at->lines = r.items;
    }
    if (r.role == "shipped") {
      at->shipped_seconds = r.seconds;
      at->shipped_peak_mb = r.peak_mb;
    } else if (r.role == "basic") {
      at->basic_seconds = r.seconds;
    } else if (r.role == "peer") {
      at->peer_seconds = r.seconds;
      at->peer_peak_mb = r.peak_mb;
      at->peer_installed = !r.not_installed;
    } else if (r.role == "floor") {
      at->floor_seconds = r.seconds;
    }
  }
  return figures;
}

TVerdict Judge(const std::vector<TGoalFigures>& figures) {
  TVerdict verdict;
  for (const TGoalFigures& f : figures) {
    if (!f.peer_installed) verdict.peer_missing = true;
    TVerdictRow row = Compare(f);
    if (!f.peer_installed) {
      row.missed.push_back("the peer is not installed");
    } else if (f.kind == "combined") {
      AtLeast(row, "shipped", row.shipped_ratio, kShippedGoal);
      AtLeast(row, "basic", row.basic_ratio, kBasicGoal);
      AtMost(row, "memory", row.memory_ratio, kMemoryGoal);
    } else {
      const TGoalFigures* combined = Find(figures, "combined", f.lines);
      if (combined == nullptr) {
        row.missed.push_back("no combined log of this size to compare with");
      } else {
        const TVerdictRow base = Compare(*combined);
        NearSpeed(row, "shipped", row.shipped_ratio, base.shipped_ratio);
        NearSpeed(row, "basic", row.basic_ratio, base.basic_ratio);
        NearMemory(row, row.memory_ratio, base.memory_ratio);
      }
    }
    verdict.rows.push_back(row);
  }
  std::stable_sort(verdict.rows.begin(), verdict.rows.end(),
                   [](const TVerdictRow& a, const TVerdictRow& b) {
                     if (a.lines != b.lines) return a.lines < b.lines;
                     return KindRank(a.kind) < KindRank(b.kind);
                   });

  // Linearity: the largest against the smallest size of the combined log.
  const TGoalFigures* smallest = nullptr;
  const TGoalFigures* largest = nullptr;
  for (const TGoalFigures& f : figures) {
    if (f.kind != "combined") continue;
    if (smallest == nullptr || f.lines < smallest->lines) smallest = &f;
    if (largest == nullptr || f.lines > largest->lines) largest = &f;
  }
  if (smallest != nullptr && largest->lines > smallest->lines) {
    TVerdictRow row;
    row.kind = "linearity";
    row.lines = largest->lines;
    row.figures.lines = largest->lines;
    const double scale = static_cast<double>(smallest->lines) / static_cast<double>(largest->lines);
    row.shipped_ratio = Ratio(largest->shipped_seconds * scale, smallest->shipped_seconds);
    row.basic_ratio = Ratio(largest->basic_seconds * scale, smallest->basic_seconds);
    AtMost(row, "shipped per line", row.shipped_ratio, 1 + kSameWithin);
    AtMost(row, "basic per line", row.basic_ratio, 1 + kSameWithin);
    verdict.rows.push_back(row);
  }
  return verdict;
}

std::string FormatVerdict(const TVerdict& verdict, const std::string& peer) {
  auto seconds = [](double s) { return s > 0 ? Format("%.3f", s, 0) : std::string("-"); };
  auto ratio = [](double r) { return r > 0 ? Format("%.2f", r, 0) : std::string("-"); };
  auto mb = [](double m) { return m > 0 ? Format("%.1f", m, 0) : std::string("-"); };
  std::string out;
  char line[512];
  std::snprintf(line, sizeof line, "%-9s %9s %9s %9s %9s %8s %8s %8s %8s %6s %8s %7s  %s\n",
                "log", "lines", "shipped s", "basic s", (peer + " s").c_str(), "shipped", "basic",
                "peak MB", (peer + " MB").c_str(), "memory", "floor s", "x floor", "verdict");
  out += line;
  for (const TVerdictRow& r : verdict.rows) {
    const TGoalFigures& f = r.figures;
    std::string result = r.met() ? "met" : "missed: ";
    for (size_t i = 0; i < r.missed.size(); ++i) result += (i > 0 ? "; " : "") + r.missed[i];
    if (r.kind == "linearity") {
      std::snprintf(line, sizeof line, "%-9s %9lld %9s %9s %9s %8s %8s %8s %8s %6s %8s %7s  %s\n",
                    r.kind.c_str(), static_cast<long long>(r.lines), "", "", "",
                    ratio(r.shipped_ratio).c_str(), ratio(r.basic_ratio).c_str(), "", "", "", "",
                    "", result.c_str());
    } else {
      std::snprintf(line, sizeof line, "%-9s %9lld %9s %9s %9s %8s %8s %8s %8s %6s %8s %7s  %s\n",
                    r.kind.c_str(), static_cast<long long>(r.lines),
                    seconds(f.shipped_seconds).c_str(), seconds(f.basic_seconds).c_str(),
                    f.peer_installed ? seconds(f.peer_seconds).c_str() : "none",
                    ratio(r.shipped_ratio).c_str(), ratio(r.basic_ratio).c_str(),
                    mb(f.shipped_peak_mb).c_str(), mb(f.peer_peak_mb).c_str(),
                    ratio(r.memory_ratio).c_str(), seconds(f.floor_seconds).c_str(),
                    ratio(r.floor_multiple).c_str(), result.c_str());
    }
    out += line;
  }
  out += "shipped, basic: " + peer +
         " seconds / ours (goals >= 1.00 and >= 3.00); memory: our shipped-set peak / " + peer +
         "'s (goal <= 1.50);\nW3C and gzip: each ratio at most 10% worse than the combined log's;"
         " x floor: our shipped-set seconds / zcat | wc -l's;\nlinearity: seconds per line of the"
         " largest combined log / the smallest's (goal <= 1.10)\n";
  if (verdict.peer_missing)
    out += "no verdict: it needs " + peer + " (Debian package " + peer + ")\n";
  return out;
}

int CheckStatus(const TVerdict& verdict) {
  if (verdict.peer_missing || verdict.rows.empty()) return 2;
  return verdict.met() ? 0 : 1;
}

}  // namespace bench
