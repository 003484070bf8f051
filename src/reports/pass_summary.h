// TPassSummary: the figures at the top of the details page.
//
// What a webmaster looks at first: the time range, what became of the log
// lines of this analysis, and for everything counted the hits, page views,
// visits, distinct client addresses, kilobytes sent and hits by status
// class. The driver feeds it every counted line. Visits are counted here as
// the visit tracker forms them (page hits of one client whose gaps stay
// below 30 minutes, those still open at the end included) from each
// client's last page hit, which costs a fraction of the tracker's work, so
// that a report set without visit reports pays nothing for the tracker. With incremental analysis the counted figures are kept in a
// file beside the site's cache, so that they cover the whole log and not
// only the lines read since; the line figures are always of this analysis.
//
// A summary file that is missing or damaged is not loaded, and the page
// then says that the counted figures are of this analysis only. Owns its
// counts and the set of client addresses. Main thread only.
#pragma once

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "logread/log_line.h"
#include "reports/html_page.h"

namespace trelvar {

class TPassSummary {
 public:
  TPassSummary() = default;
  // Not copied: the table of recent clients points into the owner's map.
  TPassSummary(const TPassSummary&) = delete;
  TPassSummary& operator=(const TPassSummary&) = delete;

  void Clear();
  // One line the reports counted; true when it starts a visit, which the
  // caller then tells apart with RobotVisit when a robot made it.
  bool CountLine(const TCurrentLine& line);
  void RobotVisit() { ++robot_visits_; }
  // At the end of the pass: what became of its lines.
  void EndPass(const TLineCounts& lines, int64_t counted);

  // Appends the section of the details page; `from` and `to` are the time
  // range.
  void Html(TPageSink& page, const std::string& from, const std::string& to) const;
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
  int64_t Visits() const { return visits_; }
  int64_t RobotVisits() const { return robot_visits_; }
  size_t Addresses() const { return clients_.size(); }
  int64_t Bytes() const { return bytes_; }

 private:
  // (caption, value) rows in page order.
  std::vector<std::pair<std::string, std::string>> Rows(const std::string& from,
                                                        const std::string& to) const;

  TLineCounts lines_;
  int64_t counted_ = 0;
  int64_t hits_ = 0, pages_ = 0, visits_ = 0, robot_visits_ = 0, bytes_ = 0;
  // By the first digit of the status: 0 for none or another, 1 to 5.
  std::array<int64_t, 6> status_{};
  // Every client address seen, with the time of its last page hit in
  // milliseconds (kNoVisit before its first, or when kept from a cache).
  static constexpr int64_t kNoVisit = INT64_MIN;
  std::unordered_map<std::string, int64_t> clients_;
  // Clients seen a little before, by RecentTextHash: most lines come from
  // one of them, found without hashing the whole text or walking a bucket.
  // Entries of clients_ stay in place until it is emptied.
  static constexpr int kRecentBits = 12;
  std::array<std::pair<const std::string, int64_t>*, size_t{1} << kRecentBits> recent_{};
  bool missing_earlier_ = false;  // a cache was used, but its summary not
};

}  // namespace trelvar
