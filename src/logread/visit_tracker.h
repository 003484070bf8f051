// TVisLine: groups the page hits of an analysis into visits.
//
// A visit is the run of page hits from one client address whose gaps stay
// below 30 minutes. The driver clears Done before each line; the first
// report that needs visits calls Update, the others read the result:
// OpenVisits (still running) and FinishedVisits (finished at this line:
// the first page hit of any client more than 30 minutes after the visit's
// last hit). Lines without the hit flag only empty FinishedVisits.
//
// Open visits are found through a per-address index, so a line costs the
// same however many clients are open. Owns its visits. Main thread only.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <queue>
#include <string>
#include <unordered_map>
#include <vector>

#include "logread/log_line.h"

namespace trelvar {

struct TVisPageTable {
  std::string url;  // field 3, decoded
  TSplitRef split;  // of the undecoded field 3
  TDateTime time_spent = 0;
  int timed_count = 0;
};

struct TVisPathTable {
  std::string address;
  std::string referrer;
  TSplitRef referrer_split = EmptySplit();
  TDateTime first_request = 0;
  TDateTime last_request = 0;
  std::string agent;
  std::string user_name;
  std::string browser, browser_version, platform, platform_version;
  std::string day_of_week;
  std::vector<TVisPageTable> hits;
  // The agent's robot name as the tracker's robot finder gave it when the
  // visit began, with the finder's generation; null when it was not asked.
  const std::string* robot = nullptr;
  uint64_t robot_generation = 0;
};

class TVisLine {
 public:
  static constexpr TDateTime kTimeout = 1.0 / 48;  // 30 minutes

  explicit TVisLine(const TCurrentLine& current) : current_(current) {}

  // Who names the robot of a new visit's agent (a name valid while the
  // generation stays), so that the visit reports need not each look it
  // up per visit.
  struct TRobotFinder {
    std::function<const std::string&(const std::string& agent)> name;
    std::function<uint64_t()> generation;
  };
  void SetRobotFinder(TRobotFinder finder) { robot_finder_ = std::move(finder); }

  // Brings the tracker up to date for the current line.
  void Update();
  bool Done() const { return done_; }
  void SetDone(bool done) { done_ = done; }
  // Update unless already done for this line.
  void EnsureUpdated() {
    if (!done_) Update();
  }

  // Shared and read-only: a report counting on another thread may hold a
  // visit after the next line.
  using TVisits = std::vector<std::shared_ptr<const TVisPathTable>>;
  const TVisits& FinishedVisits() const { return finished_; }
  // Open visits in the order they were started.
  std::vector<const TVisPathTable*> OpenVisits() const;
  size_t OpenCount() const { return open_.size(); }

  static TDateTime VisitDuration(const TVisPathTable& visit);
  void Clear();

 private:
  // Open visits by the serial of their start (list order), with indexes by
  // address and by last request (in milliseconds, so that a gap of exactly
  // 30 minutes is exactly the timeout).
  struct TOpen {
    // Shared from the start: a finished visit is handed on without a
    // second allocation for its count.
    std::shared_ptr<TVisPathTable> visit;
    int64_t last_ms = 0;
  };
  using TStamp = std::pair<int64_t, uint64_t>;  // (last request, serial)
  const TCurrentLine& current_;
  std::map<uint64_t, TOpen> open_;
  // Every last request a visit had, earliest on top; an entry is stale once
  // its visit has a later one (or is gone), and is skipped when it comes up.
  std::priority_queue<TStamp, std::vector<TStamp>, std::greater<TStamp>> by_last_;
  std::unordered_map<std::string, std::vector<std::pair<uint64_t, TOpen*>>> by_address_;
  TVisits finished_;
  std::vector<uint64_t> expired_;  // serials finishing at this line, kept for its storage
  TRobotFinder robot_finder_;
  uint64_t next_serial_ = 0;
  bool done_ = false;

  // The decoded text of the line's URL. URLs repeat, and decoding is dear:
  // recent ones are remembered with their raw text, in a place picked by
  // the split the parser shares among the lines of a URL.
  const std::string& DecodedHref();
  struct TDecoded {
    std::string raw, decoded;
  };
  std::vector<TDecoded> decoded_ = std::vector<TDecoded>(4096);
};

}  // namespace trelvar
