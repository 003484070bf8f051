// trelvar-bench: runs the named measurements (all without names) and
// prints a table of seconds and ratios against the reference tools, then
// the goal verdict of the analysis measurements against analog.
//
//   trelvar-bench [--list] [--size-mb=N] [--lines=N[,N...]] [--repeat=N] [--plain=FILE]
//                 [--gzip=FILE] [--tools=LIST] [--dir=FOLDER] [--keep] [--check]
//                 [measurement ...]
//
// Build it as Release or RelWithDebInfo; a debug or sanitizer build
// measures the instrumentation.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "bench_registry.h"
#include "bench_verdict.h"

namespace {

void Usage() {
  std::cout << "usage: trelvar-bench [options] [measurement ...]\n"
               "  --list          list the measurements\n"
               "  --size-mb=N     size of generated sample logs (default 256)\n"
               "  --lines=N[,N]   lines of the generated analysis logs (default 1000000);\n"
               "                  with several sizes the analysis measurements run once for each\n"
               "                  and the verdict judges linearity\n"
               "  --repeat=N      runs per timing, the best counts (default 3)\n"
               "  --plain=FILE    use FILE as the plain sample log\n"
               "  --gzip=FILE     use FILE as the gzip sample log\n"
               "  --tools=LIST    reference analysers to time, comma-separated\n"
               "                  (default analog,webalizer,goaccess; empty for none)\n"
               "  --dir=FOLDER    where the temporary work folder is made (default $TMPDIR or /tmp)\n"
               "  --keep          keep the generated files\n"
               "  --check         exit 1 when a goal of the verdict is missed, 2 when analog is\n"
               "                  not installed; without measurement names it runs only\n"
               "                  analysis, analysis-gzip and analysis-w3c\n";
}

bool Value(const std::string& arg, const std::string& name, std::string& value) {
  if (arg.rfind(name + "=", 0) != 0) return false;
  value = arg.substr(name.size() + 1);
  return true;
}

void PrintRatioRows(const std::vector<bench::TBenchRow>& rows) {
  std::printf("\n%-11s %-23s %9s %10s %9s %-13s %9s %7s %7s\n", "measurement", "subject",
              "size MB", "lines", "seconds", "reference", "ref s", "ratio", "goal");
  for (const bench::TBenchRow& r : rows) {
    if (r.throughput) continue;
    const double ratio = r.reference_seconds > 0 ? r.seconds / r.reference_seconds : 0;
    std::string goal = "-";
    if (r.goal_ratio > 0) {
      char text[32];
      std::snprintf(text, sizeof text, "<=%.2f%s", r.goal_ratio,
                    ratio <= r.goal_ratio ? "" : " MISSED");
      goal = text;
    }
    std::printf("%-11s %-23s %9.1f %10lld %9.3f %-13s %9.3f %7.2f %7s\n", r.measurement.c_str(),
                r.subject.c_str(), r.size_mb, static_cast<long long>(r.items), r.seconds,
                r.reference.c_str(), r.reference_seconds, ratio, goal.c_str());
  }
}

void PrintThroughputRows(const std::vector<bench::TBenchRow>& rows) {
  std::printf("\n%-12s %-26s %8s %9s %9s %10s %8s  %s\n", "measurement", "subject", "size MB",
              "lines", "seconds", "lines/s", "peak MB", "goals / ratios");
  for (const bench::TBenchRow& r : rows) {
    if (!r.throughput) continue;
    if (r.seconds <= 0) {
      std::printf("%-12s %-26s %8s %9s %9s %10s %8s  %s\n", r.measurement.c_str(),
                  r.subject.c_str(), "-", "-", "-", "-", "-", r.verdict.c_str());
      continue;
    }
    std::printf("%-12s %-26s %8.1f %9lld %9.3f %10.0f %8.1f  %s\n", r.measurement.c_str(),
                r.subject.c_str(), r.size_mb, static_cast<long long>(r.items), r.seconds,
                static_cast<double>(r.items) / r.seconds, r.peak_mb, r.verdict.c_str());
  }
}

void PrintRows(const std::vector<bench::TBenchRow>& rows) {
  bool ratio = false, throughput = false;
  for (const bench::TBenchRow& r : rows) (r.throughput ? throughput : ratio) = true;
  if (ratio) PrintRatioRows(rows);
  if (throughput) PrintThroughputRows(rows);
}

std::vector<std::string> SplitList(const std::string& text) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t comma = std::min(text.find(',', start), text.size());
    if (comma > start) items.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

}  // namespace

int main(int argc, char** argv) {
  bench::TBenchOptions options;
  std::vector<std::string> names;
  std::vector<int64_t> line_counts;
  bool check = false;
  std::string base;
  if (const char* tmp = std::getenv("TMPDIR")) base = tmp;
  if (base.empty()) base = "/tmp";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    std::string value;
    if (arg == "--help" || arg == "-h") {
      Usage();
      return 0;
    } else if (arg == "--list") {
      for (const auto& [name, m] : bench::Measurements())
        std::cout << name << "  " << m.description << "\n";
      return 0;
    } else if (Value(arg, "--size-mb", value)) {
      options.size_mb = std::atoll(value.c_str());
    } else if (Value(arg, "--lines", value)) {
      line_counts.clear();
      for (const std::string& item : SplitList(value)) {
        const int64_t lines = std::atoll(item.c_str());
        if (lines < 1) {
          std::cerr << "--lines: " << item << " is not a number of lines\n";
          return 2;
        }
        if (std::find(line_counts.begin(), line_counts.end(), lines) == line_counts.end())
          line_counts.push_back(lines);
      }
    } else if (Value(arg, "--tools", value)) {
      options.tools = SplitList(value);
    } else if (Value(arg, "--repeat", value)) {
      options.repeat = std::atoi(value.c_str());
    } else if (Value(arg, "--plain", value)) {
      options.files["plain"] = value;
    } else if (Value(arg, "--gzip", value)) {
      options.files["gzip"] = value;
    } else if (Value(arg, "--dir", value)) {
      base = value;
    } else if (arg == "--keep") {
      options.keep = true;
    } else if (arg == "--check") {
      check = true;
    } else if (!arg.empty() && arg[0] == '-') {
      std::cerr << "unknown option " << arg << "\n";
      Usage();
      return 2;
    } else if (bench::Measurements().count(arg) == 0) {
      std::cerr << "unknown measurement " << arg << " (see --list)\n";
      return 2;
    } else {
      names.push_back(arg);
    }
  }
  if (options.size_mb < 1) options.size_mb = 1;
  if (line_counts.empty()) line_counts.push_back(options.lines);
  if (names.empty())
    for (const auto& [name, m] : bench::Measurements())
      if (!check || m.verdict) names.push_back(name);
  // The verdict is against analog; --check cannot leave it out.
  if (check && std::find(options.tools.begin(), options.tools.end(), "analog") == options.tools.end())
    options.tools.push_back("analog");

  std::string tmpl = base + "/trelvar-bench-XXXXXX";
  if (mkdtemp(tmpl.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  options.work_dir = tmpl + "/";

  std::vector<bench::TBenchRow> rows;
  bool ok = true;
  // Every measurement runs at the first size; those of the verdict at each.
  for (size_t size = 0; size < line_counts.size(); ++size) {
    options.lines = line_counts[size];
    for (const std::string& name : names) {
      const bench::TMeasurement& m = bench::Measurements().at(name);
      if (size > 0 && !m.verdict) continue;
      std::cerr << "measuring " << name;
      if (m.verdict) std::cerr << " (" << options.lines << " lines)";
      std::cerr << " ...\n";
      if (!m.run(options, rows)) ok = false;
    }
  }
  PrintRows(rows);

  const std::vector<bench::TGoalFigures> figures = bench::GoalFigures(rows);
  int status = ok ? 0 : 1;
  if (!figures.empty() || check) {
    const bench::TVerdict verdict = bench::Judge(figures);
    std::cout << "\ngoals against analog\n" << bench::FormatVerdict(verdict, "analog");
    if (check) {
      status = bench::CheckStatus(verdict);
      if (figures.empty()) std::cout << "no verdict: no analysis measurement ran\n";
      std::cout << (status == 0   ? "check: every goal met\n"
                    : status == 1 ? "check: goals missed (see the verdict column)\n"
                                  : "check: no verdict\n");
    }
  }

  if (options.keep) {
    std::cout << "\nfiles kept in " << options.work_dir << "\n";
  } else {
    std::error_code ec;
    std::filesystem::remove_all(options.work_dir, ec);
  }
  return status;
}
