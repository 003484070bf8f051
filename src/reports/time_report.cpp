// TCustomTimeReport: periods, buckets, chart with moving average, table
// with bars, CSV file and cache block of the time report.
#include "reports/time_report.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "reports/byte_sums.h"
#include "reports/chart_service.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kMsPerHour = 3600000;
constexpr uint8_t kNoDuration = kNoCode;
// 10000-01-01 00:00: no date, but the end of the last period that has one.
constexpr TDateTime kEndOfLastDay = static_cast<double>(static_cast<int64_t>(kMaxDateTime) + 1);

const char* const kParamTexts[] = {"requests", "hits", "hosts", "visitors",
                                   "kbytes", "mbytes", "gbytes"};
const char* const kDurationTexts[] = {"hour", "day", "week", "month", "quarter", "year"};

int64_t FloorDiv(int64_t a, int64_t b) {
  const int64_t q = a / b;
  return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

// The millisecond of an instant: periods are cut on whole milliseconds, so
// an instant computed as "the end of the last period" lands in the next one
// whatever the rounding of the arithmetic that made it.
int64_t Millisecond(TDateTime t) { return std::llround(t * static_cast<double>(kMsPerDay)); }

int32_t SaturatedAdd(int32_t a, int64_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  if (sum > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (sum < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(sum);
}

// The first day of the month `months` after (year, month). The month
// after December 9999 has no date, but its first instant is still the end
// of the last period.
TDateTime MonthStart(int year, int month, int months) {
  const int index = year * 12 + (month - 1) + months;
  if (index / 12 > 9999) return kEndOfLastDay;
  return EncodeDate(index / 12, index % 12 + 1, 1);
}

uint8_t DurationCode(std::string_view text) {
  const std::string word = LowerCase(Trim(text));
  if (word == "quater") return kDurationQuarter;
  for (uint8_t i = 0; i < std::size(kDurationTexts); ++i)
    if (word == kDurationTexts[i]) return i;
  return kNoDuration;
}

}  // namespace

std::string TimeParamText(uint8_t param) {
  return param < std::size(kParamTexts) ? kParamTexts[param] : "unknown";
}

std::string TimeDurationText(uint8_t duration) {
  return duration < std::size(kDurationTexts) ? kDurationTexts[duration] : "unknown";
}

uint8_t TimeParamFromText(std::string_view text) {
  const std::string word = LowerCase(Trim(text));
  for (uint8_t i = 0; i < std::size(kParamTexts); ++i)
    if (word == kParamTexts[i]) return i;
  return kTimeVisitors;
}

uint8_t TimeDurationFromText(std::string_view text) {
  const uint8_t code = DurationCode(text);
  return code == kNoDuration ? static_cast<uint8_t>(kDurationDay) : code;
}

TTimeBucket PeriodOf(uint8_t duration, TDateTime t) {
  const int64_t ms = Millisecond(t);
  const int64_t day = FloorDiv(ms, kMsPerDay);
  TTimeBucket b;
  switch (duration) {
    case kDurationHour: {
      const int64_t hour = FloorDiv(ms, kMsPerHour);
      b.start = static_cast<double>(hour) / 24.0;
      b.end = static_cast<double>(hour + 1) / 24.0;
      return b;
    }
    case kDurationWeek: {
      // Seven-day blocks from day 0 of the serial: weeks begin on Saturdays
      // (the week of 0001-01-01 begins with that day, the first there is).
      const int64_t first = FloorDiv(day, 7) * 7;
      b.start = std::max(static_cast<double>(first), kMinDateTime);
      b.end = static_cast<double>(first + 7);
      return b;
    }
    case kDurationMonth:
    case kDurationQuarter:
    case kDurationYear: {
      const TDateParts p = DecodeDateTime(static_cast<double>(day));
      int month = p.month, months = 1;
      if (duration == kDurationQuarter) {
        month = (p.month - 1) / 3 * 3 + 1;
        months = 3;
      } else if (duration == kDurationYear) {
        month = 1;
        months = 12;
      }
      b.start = MonthStart(p.year, month, 0);
      b.end = MonthStart(p.year, month, months);
      return b;
    }
    default:  // a day, and what an unknown code falls back to
      b.start = static_cast<double>(day);
      b.end = static_cast<double>(day + 1);
      return b;
  }
}

std::string PeriodLabel(const TTimeBucket& bucket) { return DateTimeText(bucket.start); }

// --- definition ----------------------------------------------------------------

const TReportKeys<TCustomTimeReport>& TCustomTimeReport::DefinitionKeys() {
  using R = TCustomTimeReport;
  using K = TKeys<R>;
  // Clamps and the moving average of a copy keep the defaults.
  static const TReportKeys<R> keys = {
      K::Code("param", &R::param, TimeParamText, TimeParamFromText),
      K::Code("duration", &R::duration, TimeDurationText, DurationCode),
      K::Flag("show_table", &R::show_table, kLongForm),
      K::Flag("show_chart", &R::show_chart, kLongForm),
      K::Text("chart_type", &R::chart_type, kLongForm),
      K::Flag("use_min_y", &R::use_min_y, kLongForm | kNotCloned),
      K::Flag("use_max_y", &R::use_max_y, kLongForm | kNotCloned),
      K::IntegerOrKeep("min_y", &R::min_y, kLongForm | kNotCloned),
      K::IntegerOrKeep("max_y", &R::max_y, kLongForm | kNotCloned),
      K::Flag("show_ma", &R::show_ma, kLongForm | kNotCloned),
      K::Integer("ma_period", &R::ma_period, kLongForm | kNotCloned),
  };
  return keys;
}

// --- counting ------------------------------------------------------------------

TTimeBucket& TCustomTimeReport::BucketAt(TDateTime t) {
  // Every period is made of whole hours or whole days of the millisecond
  // serial, so a line in the hour or day of the last one is in its bucket;
  // most lines are, and working the period out is dear.
  const int64_t unit = FloorDiv(Millisecond(t), duration == kDurationHour ? kMsPerHour : kMsPerDay);
  if (last_ != nullptr && unit == last_unit_ && duration == last_duration_) return *last_;
  const TTimeBucket period = PeriodOf(duration, t);
  const int64_t key = Millisecond(period.start);
  TTimeBucket* bucket = nullptr;
  if (auto it = by_start_.find(key); it != by_start_.end()) {
    bucket = it->second;
  } else {
    auto added = std::make_unique<TTimeBucket>(period);
    bucket = added.get();
    buckets_.push_back(std::move(added));
    by_start_.emplace(key, bucket);
  }
  last_ = bucket;
  last_unit_ = unit;
  last_duration_ = duration;
  return *bucket;
}

void TCustomTimeReport::AddValue(TDateTime t, int32_t v) {
  TTimeBucket& bucket = BucketAt(t);
  bucket.value = SaturatedAdd(bucket.value, v);
}

void TCustomTimeReport::AddBytes(TDateTime t, int64_t bytes) {
  TTimeBucket& bucket = BucketAt(t);
  bucket.bytes = trelvar::AddBytes(bucket.bytes, bytes);
  bucket.value = RoundedKilobytes(bucket.bytes);
}

bool TCustomTimeReport::SumsBytes() const {
  return param == kTimeKBytes || param == kTimeMBytes || param == kTimeGBytes;
}

void TCustomTimeReport::ProcessLine() {
  const TLogLine& line = ctx_.current->line;
  switch (param) {
    case kTimeRequests:
    case kTimeHits:
    case kTimeHosts:
      if (!PassesFilters() || line.timestamp == 0) return;
      AddValue(line.timestamp, param == kTimeHits ? (line.is_hit ? 1 : 0) : 1);
      return;
    case kTimeVisitors:
      if (ctx_.visits == nullptr) return;
      ctx_.visits->EnsureUpdated();
      for (const auto& visit : ctx_.visits->FinishedVisits())
        if (visit->first_request != 0 && PassesVisitFilters(*visit))
          AddValue(visit->first_request, 1);
      return;
    case kTimeKBytes:
    case kTimeMBytes:
    case kTimeGBytes:
      if (line.timestamp == 0) return;
      AddBytes(line.timestamp, BytesOfField(ctx_.current->fields[kFieldBytes]));
      return;
    default:
      return;
  }
}

void TCustomTimeReport::Reindex() {
  by_start_.clear();
  last_ = nullptr;
  for (const auto& b : buckets_) by_start_.emplace(Millisecond(b->start), b.get());
}

void TCustomTimeReport::Clear() {
  buckets_.clear();
  by_start_.clear();
  last_ = nullptr;
  scaled_ = false;
}

void TCustomTimeReport::SortBuckets() {
  // Bucket records do not move, so the index by start stays right.
  std::stable_sort(buckets_.begin(), buckets_.end(),
                   [](const std::unique_ptr<TTimeBucket>& a, const std::unique_ptr<TTimeBucket>& b) {
                     return a->start < b->start;
                   });
}

// --- output --------------------------------------------------------------------

void TCustomTimeReport::DrawChart() {
  if (ctx_.chart == nullptr) return;
  TfrmTempChart& chart = *ctx_.chart;
  const size_t n = buckets_.size();
  chart.BeginChart(report_name, chart_type, true, static_cast<int>(n));
  std::vector<int32_t> plotted(n);
  for (size_t i = 0; i < n; ++i) {
    int32_t y = buckets_[i]->value;
    if (use_min_y && y < min_y) y = min_y;
    if (use_max_y && y > max_y) y = max_y;
    plotted[i] = y;
  }
  // A window of at least one period, shorter than the series.
  const bool average = show_ma && ma_period >= 1 && static_cast<size_t>(ma_period) < n;
  const size_t window = average ? static_cast<size_t>(ma_period) : 0;
  int64_t sum = 0;
  for (size_t i = 0; i < n; ++i) {
    const std::string label = PeriodLabel(*buckets_[i]);
    chart.AddChartPoint(label, plotted[i]);
    if (!average) continue;
    // The window drops the same (clamped) value it once took in.
    sum += plotted[i];
    if (i >= window) sum -= plotted[i - window];
    if (i + 1 < window)
      chart.AddTrendPoint(label, 0);
    else
      chart.AddTrendPoint(label, std::nearbyint(static_cast<double>(sum) /
                                                static_cast<double>(window)));
  }
  ctx_.details.Append(chart.FinishChart());
}

std::string TCustomTimeReport::BarCell(int32_t value, int32_t maximum, bool have_image) const {
  if (maximum <= 0) return "";
  const double share = static_cast<double>(value) / static_cast<double>(maximum);
  if (have_image) {
    const long long width = std::llround(std::nearbyint(300.0 * share));
    return "<img src=\"progress.gif\" width=\"" + std::to_string(width) + "\" height=\"10\">";
  }
  const long long stars = std::llround(std::nearbyint(30.0 * share));
  return stars < 0 ? "" : std::string(static_cast<size_t>(stars) + 1, '*');
}

void TCustomTimeReport::Display() {
  // The moving average is always drawn; the stored setting does not stop it.
  show_ma = true;
  SortBuckets();
  // This section is written without line ends, apart from "No data".
  TPageSink& page = ctx_.details;
  page.Append("<BR><a name=\"" + AnchorName() + "\"></a><h2>" + report_name + "</h2>");
  if (!remarks.empty()) page.Append("<p>" + remarks + "</p>");
  if (buckets_.empty()) {
    AppendDetails("<p>" + Translate(285, "No data") + "</p>");
    return;
  }
  // Sums are shown in kilobytes rounded once; megabytes and gigabytes
  // divide those, and once shown they stay in the shown unit.
  if (!scaled_ && (param == kTimeMBytes || param == kTimeGBytes)) {
    const int32_t divisor = param == kTimeMBytes ? 1024 : 1048576;
    for (auto& b : buckets_) b->value /= divisor;
    scaled_ = true;
  }
  if (show_chart) DrawChart();
  if (!show_table) return;
  int32_t maximum = -1000;
  for (const auto& b : buckets_) maximum = std::max(maximum, b->value);
  const bool have_image = platform::IsRegularFile(ctx_.output_folder + "progress.gif");
  THtmlTable table(page, "<P>", THtmlTable::TEnds::None);
  for (const auto& b : buckets_)
    page.Append(table.NextRow() + "<TD>" + PeriodLabel(*b) + "</TD><TD>" +
                BarCell(b->value, maximum, have_image) + "</TD><TD align=\"right\">" +
                std::to_string(b->value) + "</TD></TR>");
  table.Close("</P>");
}

void TCustomTimeReport::ExportCsv() {
  std::string out = report_name + "\r\n";
  if (buckets_.empty()) {
    out += Translate(285, "No data") + "\r\n";
  } else {
    SortBuckets();
    for (const auto& b : buckets_) out += PeriodLabel(*b) + ";" + std::to_string(b->value) + "\r\n";
  }
  WriteOutputFile(CsvPath(), out);
}

// --- cache ---------------------------------------------------------------------

void TCustomTimeReport::SaveToCache(TReportsCache& cache) {
  WriteList(cache, buckets_, [&](const auto& b) {
    cache.WriteReal(b->start);
    cache.WriteReal(b->end);
    cache.WriteInteger(b->value);
  });
}

void TCustomTimeReport::LoadFromCache(TReportsCache& cache) {
  // Counted quantities are never negative; a byte field may be.
  const int32_t lowest = SumsBytes() ? std::numeric_limits<int32_t>::min() : 0;
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      auto b = std::make_unique<TTimeBucket>();
      b->start = cache.ReadDateTime();
      b->end = cache.ReadReal(kMinDateTime, kEndOfLastDay);
      if (!(b->start < b->end)) throw EInOutError("Cache block holds a period that ends too soon");
      b->value = cache.ReadInteger(lowest, std::numeric_limits<int32_t>::max());
      // The stored sum is whole kilobytes; new lines add their bytes.
      b->bytes = static_cast<int64_t>(b->value) * 1024;
      buckets_.push_back(std::move(b));
    });
  });
  Reindex();
}

}  // namespace trelvar
