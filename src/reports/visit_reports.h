// The reports that look at visits instead of single lines.
//
//   TTimeonsiteRep ("timeonsite")     shortest, longest and average length of
//                                     the finished visits of two hits or more;
//                                     a section of the details page.
//   TVisPathRep ("visitor_path")      the recent visits one by one with their
//                                     pages, on "vis_paths.htm"; it groups the
//                                     lines into visits itself (its own page
//                                     test, timeout and download rule).
//   TCommonPathRep ("common_path")    identical page sequences of finished
//                                     visits counted, the most frequent shown
//                                     with their times, on "common_paths.htm".
//
// The filters of the visitor paths choose the lines it groups; those of
// the other two choose the finished visits they count.
//
// Each report owns what it collected; Clear drops it (definition and
// filters stay). A client's visit is found through an index by address and
// a page sequence through a hash of its URLs, so a line costs the same
// however many visits or paths there are; trimming the oldest visit is a
// removal at the front.
//
// Errors: a "limit" that is not an integer raises EConvertError from
// LoadParam; a page that cannot be written raises EFCreateError from
// Display; a cache block that is damaged or ends too soon raises
// EInOutError after emptying the report. Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/position_index.h"
#include "base/text_pool.h"
#include "logread/visit_tracker.h"
#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

class TTimeonsiteRep : public TReportOf<TTimeonsiteRep, TCustomFiltredRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"timeonsite", 367, "Time on site report"};
  using TReportOf::TReportOf;

  void ProcessLine() override;
  void Display() override;
  // Drops the statistics (not the definition), so that a failed cache load
  // leaves nothing half-counted.
  void Clear() override;
  void CheckLogFields(const std::vector<int>& fields) override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // Days.
  TDateTime min_time = 0, max_time = 0, sum_time = 0;
  int32_t visit_count = 0;
};

class TVisPathRep : public TReportOf<TVisPathRep, TCustomFiltredRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"visitor_path", 356, "Visitor Paths",
                                                "vis_paths.htm"};
  static constexpr TDateTime kDefaultTimeout = 1.0 / 48;  // 30 minutes

  using TReportOf::TReportOf;
  static const TReportKeys<TVisPathRep>& DefinitionKeys();

  void ProcessLine() override;
  void Display() override;
  void Clear() override;
  void CheckLogFields(const std::vector<int>& fields) override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // The visits in the order they were created.
  std::vector<const TVisPathTable*> Visits() const;

  int32_t limit = 30;
  bool sort_by_ip = false;
  TDateTime timeout = kDefaultTimeout;

 private:
  struct TOwnVisit {
    TVisPathTable visit;
    uint64_t serial = 0;
    int64_t last_ms = 0;                    // last request, milliseconds
    std::unordered_set<std::string> downloads;  // download URLs already hit
  };

  // The first visit (in creation order) of the address that the time
  // continues, or null.
  TOwnVisit* FindVisit(const std::string& address, int64_t t_ms);
  TOwnVisit& AddVisit(TVisPathTable visit);
  // A new visit of the current line's client, begun at `t`.
  TOwnVisit& StartVisit(const TCurrentLine& c, TDateTime t);
  // Enters the visit in the index by address.
  void IndexVisit(const TOwnVisit& v);
  void SetLast(TOwnVisit& v, TDateTime t);
  void RemoveOldest();
  bool IsDownload(std::string_view extension) const;
  bool IsPathPage(const TSplitURL& request) const;
  // kKnownUrl with kPathPage and kDownload of the current line's URL.
  uint8_t LineUrlKind();
  static constexpr uint8_t kKnownUrl = 1, kPathPage = 2, kDownload = 4;

  // Visits by creation serial; per address the (last request, serial)
  // pairs of its visits, so the visits a time continues are found at once.
  std::map<uint64_t, std::unique_ptr<TOwnVisit>> visits_;
  std::unordered_map<std::string, std::set<std::pair<int64_t, uint64_t>>> by_address_;
  uint64_t next_serial_ = 0;
  decltype(visits_)::node_type spare_;  // the visit removed last, for the next one
  // The index entries it left, for the next one's.
  decltype(by_address_)::node_type spare_address_;
  std::set<std::pair<int64_t, uint64_t>>::node_type spare_entry_;
  std::string extensions_source_, extensions_lower_;  // the page list, lower-cased once
  TByValueNumber<uint8_t> url_kinds_;  // LineUrlKind by the URL's number
};

// One position of a page sequence.
struct TCommonPathPage {
  uint32_t url = 0;  // its number in the report's pool
  int32_t timed_count = 0;
  TDateTime time_spent = 0;  // sum of the positive times
};

// One page sequence and how often and how long it was followed.
struct TCommonPath {
  int32_t count = 1;
  std::vector<TCommonPathPage> pages;
  TDateTime total_time = 0;          // sum of the positive visit lengths
  int32_t timed_visits = 0;
  uint64_t hash = 0;                 // of the URLs, for the index
};

class TCommonPathRep : public TReportOf<TCommonPathRep, TVisitCountingRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"common_path", 362, "Common Paths",
                                                "common_paths.htm"};

  using TReportOf::TReportOf;
  static const TReportKeys<TCommonPathRep>& DefinitionKeys();

  void AddVisit(const TVisPathTable& visit) override;
  void Display() override;
  void Clear() override;
  // With approximate analysis: a long path list is cut to its most
  // followed paths.
  void Compact() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;
  using TPaths = std::vector<TCommonPath>;
  const TPaths& Paths() const { return paths_; }
  std::string_view Url(const TCommonPathPage& page) const { return urls_.Text(page.url); }

  int32_t limit = 10;
  int32_t total_visits = 0;

 private:
  TCommonPath* Find(const TVisPathTable& visit, uint64_t hash);
  bool SameSequence(const TCommonPath& path, const TVisPathTable& visit) const;
  void Append(TCommonPath path);
  void SortByCount();
  void Reindex();

  TPaths paths_;
  TPositionIndex index_;  // of paths_ by their hash
  // The URLs of the paths: thousands of paths share a few hundred pages.
  TTextPool urls_;
};

}  // namespace trelvar
