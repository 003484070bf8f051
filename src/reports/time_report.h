// TCustomTimeReport ("time_report"): one quantity of the traffic (requests,
// hits, hosts, visitors or bytes) counted per calendar period (hour, day,
// week, month, quarter or year), shown as a chart with a moving average and
// as a table with a proportional bar per period, and exported as a
// semicolon-separated file.
//
// The report owns its buckets. A line's period is computed from its time,
// so its bucket is found through the last bucket used or an index by
// period start: a line costs the same however many periods there are.
// Buckets keep the order in which their periods first came until Display
// or ExportCsv sorts them by start. Clear drops the buckets (filters and
// settings stay).
//
// Errors: a bytes field that is not a number raises EConvertError from
// ProcessLine (the driver logs it and goes on); a "ma_period" that is not a
// number raises EConvertError from LoadParam; a CSV file that cannot be
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

enum TimeParam : uint8_t {
  kTimeRequests = 0, kTimeHits = 1, kTimeHosts = 2, kTimeVisitors = 3,
  kTimeKBytes = 4, kTimeMBytes = 5, kTimeGBytes = 6,
};
enum TimeDuration : uint8_t {
  kDurationHour = 0, kDurationDay = 1, kDurationWeek = 2, kDurationMonth = 3,
  kDurationQuarter = 4, kDurationYear = 5,
};

// "requests" .. "gbytes", "unknown" for any other code.
std::string TimeParamText(uint8_t param);
// "hour" .. "year", "unknown" for any other code.
std::string TimeDurationText(uint8_t duration);
// Trimmed, any case; unknown texts give visitors.
uint8_t TimeParamFromText(std::string_view text);
// Trimmed, any case ("quater" is a quarter too); unknown texts give day.
uint8_t TimeDurationFromText(std::string_view text);

// One period: [start, end) and what fell into it.
struct TTimeBucket {
  TDateTime start = 0;
  TDateTime end = 0;
  int32_t value = 0;
  // For the byte quantities: the exact sum, of which value is the rounded
  // kilobytes (lines are not rounded one by one).
  int64_t bytes = 0;
};

// The period of `duration` that holds the instant t (to the millisecond).
TTimeBucket PeriodOf(uint8_t duration, TDateTime t);
// The bucket's label: its start date, with the time unless it is midnight.
std::string PeriodLabel(const TTimeBucket& bucket);

class TCustomTimeReport : public TReportOf<TCustomTimeReport, TCustomFiltredRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"time_report", 355, "Time Report"};

  using TReportOf::TReportOf;
  static const TReportKeys<TCustomTimeReport>& DefinitionKeys();

  void ProcessLine() override;
  void Display() override;
  void ExportCsv() override;
  void Clear() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // Adds v to the bucket of the period that holds t (a new bucket when
  // none does yet).
  void AddValue(TDateTime t, int32_t v);
  // Adds bytes to that bucket's byte sum; its value becomes the sum in
  // kilobytes.
  void AddBytes(TDateTime t, int64_t bytes);
  using TBuckets = std::vector<std::unique_ptr<TTimeBucket>>;
  const TBuckets& Buckets() const { return buckets_; }
  // Sorts the buckets by start (stable).
  void SortBuckets();

  uint8_t param = kTimeHits;
  uint8_t duration = kDurationDay;
  bool show_chart = true;
  bool show_table = true;
  std::string chart_type = "line";
  bool use_min_y = false;
  bool use_max_y = false;
  int32_t min_y = 0;
  int32_t max_y = 1000;
  bool show_ma = true;
  int32_t ma_period = 5;

 private:
  TTimeBucket& BucketAt(TDateTime t);
  bool SumsBytes() const;
  void DrawChart();
  std::string BarCell(int32_t value, int32_t maximum, bool have_image) const;
  void Reindex();

  TBuckets buckets_;
  // Buckets by the millisecond of their start.
  std::unordered_map<int64_t, TTimeBucket*> by_start_;
  TTimeBucket* last_ = nullptr;
  int64_t last_unit_ = 0;        // the hour or day of the serial last_ was found for
  uint8_t last_duration_ = 0;
  // Display turned the sums into megabytes or gigabytes already.
  bool scaled_ = false;
};

}  // namespace trelvar
