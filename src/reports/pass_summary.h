// TPassSummary: the figures at the top of the details page.
//
// What a webmaster looks at first: the time range, what became of the log
// lines of this analysis, and for everything counted the hits, page views,
// visits, distinct client addresses, kilobytes sent and hits by status
// class. The driver feeds it every counted line and the visits the tracker
// finishes (with those of robots, by the run's crawler list). With incremental analysis the counted figures are kept in a
// file beside the site's cache, so that they cover the whole log and not
// only the lines read since; the line figures are always of this analysis.
//
// A summary file that is missing or damaged is not loaded, and the page
// then says that the counted figures are of this analysis only. Owns its
// counts and the set of client addresses. Main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "logread/log_line.h"

namespace trelvar {

class TPassSummary {
 public:
  void Clear();
  // One line the reports counted.
  void CountLine(const TCurrentLine& line);
  // Visits the tracker finished, and how many of them were robots'.
  void CountVisits(int64_t finished, int64_t robots) {
    visits_ += finished;
    robot_visits_ += robots;
  }
  // At the end of the pass: what became of its lines, and the visits
  // still open (they are visits too).
  void EndPass(const TLineCounts& lines, int64_t counted, int64_t open_visits,
               int64_t open_robot_visits);

  // The section of the details page; `from` and `to` are the time range.
  std::string Html(const std::string& from, const std::string& to) const;
  // The same as CSV lines ("caption;value"), with CR LF.
  std::string Csv(const std::string& from, const std::string& to) const;

  // Adds the counted figures kept in `path`. False, and nothing added,
  // when the file is missing or damaged: the page then says that the
  // counted figures are of this analysis only.
  bool Load(const std::string& path);
  // Keeps the counted figures in `path`; raises EFCreateError.
  void Save(const std::string& path) const;

  int64_t Hits() const { return hits_; }
  int64_t Pages() const { return pages_; }
  int64_t Visits() const { return visits_ + open_visits_; }
  int64_t RobotVisits() const { return robot_visits_ + open_robot_visits_; }
  size_t Addresses() const { return addresses_.size(); }
  int64_t Bytes() const { return bytes_; }

 private:
  // (caption, value) rows in page order.
  std::vector<std::pair<std::string, std::string>> Rows(const std::string& from,
                                                        const std::string& to) const;

  TLineCounts lines_;
  int64_t counted_ = 0;
  int64_t hits_ = 0, pages_ = 0, visits_ = 0, open_visits_ = 0, bytes_ = 0;
  int64_t robot_visits_ = 0, open_robot_visits_ = 0;
  // By the first digit of the status: 0 for none or another, 1 to 5.
  std::array<int64_t, 6> status_{};
  std::unordered_set<std::string> addresses_;
  bool missing_earlier_ = false;  // a cache was used, but its summary not
};

}  // namespace trelvar
