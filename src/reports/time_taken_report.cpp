// TTimeTaken: smallest processing time per URL, its table, CSV file and
// cache block.
#include "reports/time_taken_report.h"

#include <algorithm>
#include <limits>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

int32_t Saturated(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

int FieldNumber(const std::string& field) { return StrToInt(Trim(field)); }

// Letters compared as their lower-case forms (ASCII only).
bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    const auto lx = static_cast<unsigned char>(x >= 'A' && x <= 'Z' ? x + 32 : x);
    const auto ly = static_cast<unsigned char>(y >= 'A' && y <= 'Z' ? y + 32 : y);
    return lx < ly;
  });
}

}  // namespace

const TReportKeys<TTimeTaken>& TTimeTaken::DefinitionKeys() {
  using R = TTimeTaken;
  using K = TKeys<R>;
  static const TReportKeys<R> keys = {
      K::Words("sort_by", &R::sort_by_time_taken, "time_taken", "href", TWordRule::kExactOrKeep),
      K::Words("sort_type", &R::sort_descending, "descending", "ascending",
               TWordRule::kExactOrKeep),
      K::Positive("limit", &R::limit, kDefaultLimit, kNotCloned),
      K::Flag("pages_only", &R::pages_only, kNotCloned),
  };
  return keys;
}

// --- counting ------------------------------------------------------------------

void TTimeTaken::AddTime(const std::string& url, int32_t time_taken, TDateTime request_time) {
  if (auto it = by_url_.find(url); it != by_url_.end()) {
    TTimeTakenItem& item = *it->second;
    if (time_taken < item.time_taken) {
      item.time_taken = time_taken;
      item.request_time = request_time;
    }
    return;
  }
  auto item = std::make_unique<TTimeTakenItem>();
  item->url = url;
  item->time_taken = time_taken;
  item->request_time = request_time;
  by_url_.emplace(item->url, item.get());
  items_.push_back(std::move(item));
}

void TTimeTaken::ProcessLine() {
  const TCurrentLine& c = *ctx_.current;
  if (pages_only && !c.line.is_hit) return;
  const std::string taken = Trim(c.fields[kFieldTimeTaken]);
  int64_t t = 0;
  if (!TryStrToInt64(taken, t)) throw EConvertError(InvalidIntegerMessage(taken));
  const int year = FieldNumber(c.fields[kFieldYear]);
  const int month = FieldNumber(c.fields[kFieldMonth]);
  const int day = FieldNumber(c.fields[kFieldDay]);
  const int hour = FieldNumber(c.fields[kFieldHour]);
  const int minute = FieldNumber(c.fields[kFieldMin]);
  const int second = FieldNumber(c.fields[kFieldSec]);
  TDateTime date = 0;
  if (!TryEncodeDate(year, month, day, date) || hour < 0 || hour > 23 || minute < 0 ||
      minute > 59 || second < 0 || second > 59)
    throw EConvertError(InvalidDateTimeMessage(
        c.fields[kFieldYear] + "-" + c.fields[kFieldMonth] + "-" + c.fields[kFieldDay] + " " +
        c.fields[kFieldHour] + ":" + c.fields[kFieldMin] + ":" + c.fields[kFieldSec]));
  AddTime(c.fields[kFieldHref], Saturated(t), date + EncodeTime(hour, minute, second));
}

void TTimeTaken::CheckLogFields(const std::vector<int>& fields) {
  is_supported = std::find(fields.begin(), fields.end(), kFieldTimeTaken) != fields.end();
  unsupported_text = is_supported ? "" : UnsupportedWarning(ReportParam::kTimeTaken, report_name);
}

void TTimeTaken::Reindex() {
  by_url_.clear();
  for (const auto& item : items_) by_url_.emplace(item->url, item.get());
}

void TTimeTaken::Clear() {
  by_url_.clear();
  items_.clear();
}

void TTimeTaken::SortItems() {
  using TPtr = std::unique_ptr<TTimeTakenItem>;
  const bool by_time = sort_by_time_taken, descending = sort_descending;
  std::stable_sort(items_.begin(), items_.end(), [&](const TPtr& a, const TPtr& b) {
    const TTimeTakenItem& x = descending ? *b : *a;
    const TTimeTakenItem& y = descending ? *a : *b;
    return by_time ? x.time_taken < y.time_taken : LessIgnoringCase(x.url, y.url);
  });
}

void TTimeTaken::Compact() {
  if (limit > 0 && CompactList(items_, CompactThreshold(limit), [&] { SortItems(); })) Reindex();
}

size_t TTimeTaken::ShownCount() const {
  if (limit <= 0) return items_.size();
  return std::min(items_.size(), static_cast<size_t>(limit));
}

// --- output --------------------------------------------------------------------

void TTimeTaken::Display() {
  SortItems();
  if (AppendSectionHead(items_.empty())) return;
  THtmlTable table(ctx_.details, "<P>");
  table.HeadByLines({HeadCell(Translate(405, "File")), HeadCell(Translate(406, "Time taken"), "nowrap"),
                     HeadCell(Translate(407, "Request time"), "nowrap")});
  const size_t shown = ShownCount();
  for (size_t i = 0; i < shown; ++i) {
    const TTimeTakenItem& item = *items_[i];
    AppendDetails(table.NextRow() + "<TD align=left>" + HtmlEscape(item.url) + "</TD>");
    AppendDetails("<td align=right nowrap>" + std::to_string(item.time_taken) + "</td>");
    AppendDetails("<td align=center nowrap>" + DateTimeText(item.request_time) + "</td>");
    AppendDetails("</TR>");
  }
  table.Close("</P>");
}

void TTimeTaken::ExportCsv() {
  SortItems();
  std::string out = report_name + "\r\n";
  if (items_.empty()) {
    out += Translate(285, "No data") + "\r\n";
  } else {
    out += Translate(405, "File") + ";" + Translate(406, "Time taken") + ";" +
           Translate(407, "Request time") + "\r\n";
    const size_t shown = ShownCount();
    for (size_t i = 0; i < shown; ++i) {
      const TTimeTakenItem& item = *items_[i];
      out += item.url + ";" + std::to_string(item.time_taken) + ";" +
             DateTimeText(item.request_time) + "\r\n";
    }
  }
  WriteOutputFile(CsvPath(), out);
}

// --- cache ---------------------------------------------------------------------

void TTimeTaken::SaveToCache(TReportsCache& cache) {
  WriteList(cache, items_, [&](const auto& item) {
    cache.WriteString(item->url);
    cache.WriteInteger(item->time_taken);
    cache.WriteReal(item->request_time);
  });
}

void TTimeTaken::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      std::string url = cache.ReadString();
      const int32_t taken = cache.ReadInteger();
      const TDateTime time = cache.ReadDateTime();
      AddTime(url, taken, time);
    });
  });
}

}  // namespace trelvar
