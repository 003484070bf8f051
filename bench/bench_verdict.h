// The verdict of the analysis measurements: the program's figures against
// the peer analyser's (analog), one row per log kind and size, each goal
// marked met or missed, so that anyone can repeat the judgement with
// `trelvar-bench --check`.
//
// The goals:
//   combined log: peer seconds / shipped-set seconds >= 1.0, peer seconds /
//     one-basic-report seconds >= 3.0, shipped-set peak memory <= 1.5x the
//     peer's;
//   W3C log and gzip input: each of those three ratios no more than 10% worse
//     than the combined log's of the same size (better is never a miss);
//   linearity (when two or more sizes of the combined log were measured):
//     seconds per line of the largest no more than 10% above the smallest's,
//     for both the shipped set and the basic report.
// A figure that was not measured (a failed or skipped run) misses its goal.
//
// Pure functions over plain numbers; no I/O, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench_registry.h"

namespace bench {

// The measured figures of one log kind at one size. Seconds or memory of 0
// mean "not measured".
struct TGoalFigures {
  std::string kind;  // "combined", "W3C" or "gzip"
  int64_t lines = 0;
  double shipped_seconds = 0;
  double basic_seconds = 0;
  double shipped_peak_mb = 0;
  double peer_seconds = 0;
  double peer_peak_mb = 0;
  double floor_seconds = 0;  // gzip only: zcat FILE | wc -l
  bool peer_installed = true;
};

struct TVerdictRow {
  std::string kind;  // as in TGoalFigures, or "linearity"
  int64_t lines = 0;  // linearity: the largest size
  TGoalFigures figures;
  // Peer seconds / ours (linearity: our seconds per line, largest over
  // smallest size); 0 when a figure is missing.
  double shipped_ratio = 0;
  double basic_ratio = 0;
  double memory_ratio = 0;  // our peak / the peer's
  double floor_multiple = 0;  // gzip: our shipped-set seconds / the floor's
  std::vector<std::string> missed;  // one short text per missed goal
  bool met() const { return missed.empty(); }
};

struct TVerdict {
  std::vector<TVerdictRow> rows;
  bool peer_missing = false;  // no row had the peer measured because it is not installed
  bool met() const;
};

// Figures by log kind and size from the rows of the analysis measurements
// (rows whose log_kind is set), in the order the kinds first appear.
std::vector<TGoalFigures> GoalFigures(const std::vector<TBenchRow>& rows);

TVerdict Judge(const std::vector<TGoalFigures>& figures);

// The table, aligned, one line per row, with a heading and a line naming
// the goals.
std::string FormatVerdict(const TVerdict& verdict, const std::string& peer);

// --check's exit status: 0 all goals met, 1 a goal missed, 2 no verdict
// possible (the peer is not installed, or nothing was measured).
int CheckStatus(const TVerdict& verdict);

}  // namespace bench
