// The measurements of trelvar-bench: each has a name that the command line
// selects, a one-line description and a function that prints its rows.
//
// A measurement registers itself from its own file with a static
// TRegisterMeasurement; main() runs them in name order. Measurements share
// the options and the work folder (generated sample files are kept there
// for the run, so that two measurements of the same files make them once).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace bench {

struct TBenchOptions {
  std::string work_dir;     // temporary folder of this run, ends in "/"
  int64_t size_mb = 256;    // size of generated sample files
  int repeat = 3;           // runs per timing; the best counts
  std::map<std::string, std::string> files;  // given sample files by kind ("plain", "gzip")
  bool keep = false;        // leave generated files behind
  int64_t lines = 1000000;  // request lines of the generated analysis logs (this pass's size)
  // Reference analysers the analysis measurement times ("analog", "webalizer",
  // "goaccess"); empty: none.
  std::vector<std::string> tools = {"analog", "webalizer", "goaccess"};
};

// One row of the result table.
struct TBenchRow {
  std::string measurement;
  std::string subject;
  double size_mb = 0;
  int64_t items = 0;
  double seconds = 0;
  std::string reference;    // what it is compared with
  double reference_seconds = 0;
  double goal_ratio = 0;    // seconds / reference_seconds must not exceed it; 0: no goal
  // Throughput rows (a whole program over a log) go to a table of their own
  // with lines per second, the peak memory and a verdict text.
  bool throughput = false;
  double peak_mb = 0;
  std::string verdict;      // goals met or missed, ratios, "not installed"
  // Rows of the analysis measurements that the goal verdict reads: the log
  // kind ("combined", "W3C", "gzip") and what the row times ("shipped",
  // "basic", "peer", "floor"); empty for every other row.
  std::string log_kind;
  std::string role;
  bool not_installed = false;  // the program of the row is not on this machine
};

struct TMeasurement {
  std::string name;
  std::string description;
  // Returns false when the measurement could not run or its check failed.
  std::function<bool(const TBenchOptions&, std::vector<TBenchRow>&)> run;
  // Part of the goal verdict: run once for each size of --lines, and by
  // --check when no measurement is named.
  bool verdict = false;
};

std::map<std::string, TMeasurement>& Measurements();

struct TRegisterMeasurement {
  explicit TRegisterMeasurement(TMeasurement m);
};

// Seconds of a steady clock.
double Seconds();
// Best wall time of `repeat` runs of `f`.
double BestOf(int repeat, const std::function<void()>& f);
// Runs a shell command, returns its standard output ("" on failure).
std::string RunCommand(const std::string& command);
// `path` quoted for the shell.
std::string ShellQuote(const std::string& path);

}  // namespace bench
