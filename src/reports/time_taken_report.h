// TTimeTaken ("time_taken"): the requested URLs with the smallest server
// processing time the log gives for each (raw field 18) and the time of the
// request that had it.
//
// The report owns one item per URL, kept in the order the URLs first came
// until a sort, and found through a hash index on the URL, so a line costs
// the same however many URLs there are. Clear drops the items (filters and
// settings stay). The report's filters are not applied to lines.
//
// Errors: a time-taken or date field that is not a number (or no real
// date) raises EConvertError from ProcessLine, which the driver logs; the
// line is then not counted by this report. A CSV file that cannot be
// written raises EFCreateError; a damaged cache block raises EInOutError
// after emptying the report. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/datetime.h"
#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

struct TTimeTakenItem {
  std::string url;
  int32_t time_taken = 0;  // in the unit of the log's field
  TDateTime request_time = 0;
};

// A copy (Clone) takes the base settings, filters and the two sort flags.
class TTimeTaken : public TReportOf<TTimeTaken, TCustomFiltredRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"time_taken", 368, "Time taken"};
  static constexpr int32_t kDefaultLimit = 20;

  using TReportOf::TReportOf;
  static const TReportKeys<TTimeTaken>& DefinitionKeys();

  void ProcessLine() override;
  void Display() override;
  void ExportCsv() override;
  void Clear() override;
  // Supported when the log format has the time-taken field.
  void CheckLogFields(const std::vector<int>& fields) override;
  // With approximate analysis: a long item list is cut to its first items.
  void Compact() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // The URL's item keeps the smaller time and the time of its request.
  void AddTime(const std::string& url, int32_t time_taken, TDateTime request_time);
  // By time taken or by URL (ASCII case ignored); reversed when descending.
  void SortItems();
  using TItems = std::vector<std::unique_ptr<TTimeTakenItem>>;
  const TItems& Items() const { return items_; }

  bool sort_by_time_taken = true;
  bool sort_descending = true;
  int32_t limit = kDefaultLimit;
  bool pages_only = true;

 private:
  size_t ShownCount() const;
  void Reindex();

  TItems items_;
  std::unordered_map<std::string_view, TTimeTakenItem*> by_url_;  // views into the items
};

}  // namespace trelvar
