// TStandardRep: settings, rows, sorting, table, CSV file and cache block
// shared by the basic, terminal and search reports.
#include "reports/standard_reports.h"

#include <algorithm>
#include <charconv>
#include <limits>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "platform/files.h"
#include "reports/byte_sums.h"
#include "reports/chart_service.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

std::string ShareText(int64_t part, int64_t base) {
  const double share = base > 0 ? static_cast<double>(part) * 100.0 / static_cast<double>(base) : 0;
  char buffer[64];
  // to_chars ignores the locale: the decimal separator is always ".".
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, share,
                                    std::chars_format::fixed, 2);
  return std::string(buffer, result.ptr);
}

std::string ChartLabel(const std::string& value) {
  constexpr int kMaxCharacters = 20;
  // Characters, not bytes: a UTF-8 sequence is never cut in two.
  int characters = 0;
  for (size_t i = 0; i < value.size(); ++i) {
    if ((static_cast<unsigned char>(value[i]) & 0xC0) == 0x80) continue;
    if (characters == kMaxCharacters) return value.substr(0, i) + "...";
    ++characters;
  }
  return value;
}

int32_t TStandardRow::TotalKilobytes() const { return RoundedKilobytes(total_bytes); }

const TReportKeys<TStandardRep>& TStandardRep::DefinitionKeys() {
  using R = TStandardRep;
  using K = TKeys<R>;
  static const TReportKeys<R> keys = {
      K::Integer("limit", &R::limit),
      K::TrueOnly("percentage", &R::show_percent, kLongForm),
      K::Words("sortby", &R::sort_by_value, "value", "name", TWordRule::kUnlessFalseWord),
      // The sort direction of a copy is the one of its constructor.
      K::Words("sortorder", &R::ascending, "ascending", "descending",
               TWordRule::kUnlessFalseWord, kNotCloned),
      K::Flag("show_table", &R::show_table, kLongForm),
      K::Flag("show_chart", &R::show_chart, kLongForm),
      K::Text("chart_type", &R::chart_type, kLongForm),
      K::Copied(&R::column_caption),
  };
  return keys;
}

// --- rows ----------------------------------------------------------------------

TStandardRow* TStandardRep::Find(std::string_view value) {
  return index_.Find(value);
}

const TStandardRow* TStandardRep::FindRow(std::string_view value) const {
  return index_.Find(value);
}

TStandardRow& TStandardRep::AddRow(std::string value) {
  auto row = std::make_unique<TStandardRow>();
  row->value = std::move(value);
  TStandardRow& added = *row;
  rows_.push_back(std::move(row));
  // A value that is there already keeps its first row, as a search from
  // the start of the list would find.
  index_.Insert(&added);
  return added;
}

TStandardRow* TStandardRep::LineRow(ReportParam param) {
  TLineValues& values = ctx_.values;
  TStandardRow*& row = by_number_.At(values.Number(param), values.Epoch(param));
  if (row == nullptr) row = Find(values.Text(param));
  return row;
}

void TStandardRep::RememberLineRow(ReportParam param, TStandardRow& row) {
  TLineValues& values = ctx_.values;
  by_number_.At(values.Number(param), values.Epoch(param)) = &row;
}

void TStandardRep::CountValue(const std::string& text) {
  if (text.empty()) return;
  if (TStandardRow* row = Find(text)) {
    if (row->count < std::numeric_limits<int32_t>::max()) ++row->count;
    return;
  }
  AddRow(text).count = 1;
}

void TStandardRep::Truncate(size_t keep) {
  if (keep >= rows_.size()) return;
  rows_.resize(keep);
  by_number_.Clear();
  index_.Clear();
  for (const auto& row : rows_) index_.Insert(row.get());
}

void TStandardRep::Clear() {
  by_number_.Clear();
  index_.Clear();
  rows_.clear();
}

void TStandardRep::SortRows() {
  // "ascending" turns both orders round: names then come from Z to A.
  SortByCountOrText(rows_, sort_by_value, ascending, &TStandardRow::count, &TStandardRow::value);
}

size_t TStandardRep::ShownCount() const {
  if (limit <= 0) return rows_.size();
  return std::min(rows_.size(), static_cast<size_t>(limit));
}

int64_t TStandardRep::ShareBase(bool use_visitors) const {
  int64_t base = 0;
  const size_t shown = ShownCount();
  for (size_t i = 0; i < shown; ++i) base += use_visitors ? rows_[i]->visitors : rows_[i]->count;
  return base;
}

int64_t TStandardRep::SumOfCounts(size_t rows) const {
  int64_t sum = 0;
  for (size_t i = 0; i < rows && i < rows_.size(); ++i) sum += rows_[i]->count;
  return sum;
}

// --- output --------------------------------------------------------------------

void TStandardRep::DrawChart(bool use_visitors) {
  const int64_t base = ShareBase(use_visitors);
  if (!show_chart || base <= 0 || ctx_.chart == nullptr) return;
  const size_t shown = ShownCount();
  TfrmTempChart& chart = *ctx_.chart;
  chart.BeginChart(report_name, chart_type, false, static_cast<int>(shown));
  for (size_t i = 0; i < shown; ++i) {
    const TStandardRow& row = *rows_[i];
    const int64_t part = use_visitors ? row.visitors : row.count;
    std::string label = ChartLabel(row.value);
    if (chart_type != "pie") label += " (" + ShareText(part, base) + "%)";
    chart.AddChartPoint(label, static_cast<double>(part) * 100.0 / static_cast<double>(base));
  }
  ctx_.details.Append(chart.FinishChart());
}

void TStandardRep::Display() {
  SortRows();
  if (AppendSectionHead(rows_.empty())) return;
  DrawChart(false);
  if (!show_table) return;
  const size_t shown = ShownCount();
  const int64_t base = ShareBase(false);
  THtmlTable table(ctx_.details, "<P>");
  std::vector<std::string> head{HeadCell(column_caption), HeadCell(Translate(287, "Hits"))};
  if (show_percent) head.push_back(HeadCell(Translate(288, "Percent")));
  table.HeadByLines(head);
  for (size_t i = 0; i < shown; ++i) {
    const TStandardRow& row = *rows_[i];
    std::string line = table.NextRow() + "<TD WIDTH=\"100%\">" + HtmlEscape(row.value) +
                       "</TD><TD align=\"right\">" + std::to_string(row.count) + "</TD>";
    if (show_percent) line += "<TD align=\"right\">" + ShareText(row.count, base) + "%</TD>";
    AppendDetails(line + "</TR>");
  }
  if (show_footer) {
    const std::string subtotal = Translate(291, "Subtotal number of");
    const std::string above = Translate(292, "s above");
    const std::string total = Translate(293, "Total number of") + " " + column_caption +
                              Translate(294, "s in log file");
    table.Totals(show_percent ? 2 : 1,
                 {{subtotal + " " + Translate(304, "page") + above, static_cast<int64_t>(shown)},
                  {total, static_cast<int64_t>(rows_.size())},
                  {subtotal + " " + column_caption + above, SumOfCounts(shown)},
                  {total, SumOfCounts(rows_.size())}});
  }
  table.Close("</P>");
}

void TStandardRep::WriteCsvFile(const std::string& text) const {
  WriteOutputFile(CsvPath(), text);
}

void TStandardRep::ExportCsv() {
  SortRows();
  std::string out = report_name + "\r\n";
  if (rows_.empty()) {
    out += "<P>" + Translate(285, "No data") + "</P>\r\n";
    WriteCsvFile(out);
    return;
  }
  const size_t shown = ShownCount();
  const int64_t base = ShareBase(false);
  out += column_caption + ";" + Translate(295, "Value");
  if (show_percent) out += ";" + Translate(288, "Percent");
  out += "\r\n";
  for (size_t i = 0; i < shown; ++i) {
    const TStandardRow& row = *rows_[i];
    out += row.value + ";" + std::to_string(row.count);
    if (show_percent) out += ";" + ShareText(row.count, base);
    out += "\r\n";
  }
  if (show_footer) out += CsvFooter(Translate(304, "page"), column_caption);
  WriteCsvFile(out);
}

std::string TStandardRep::CsvFooter(const std::string& shown, const std::string& rows) const {
  const std::string subtotal = Translate(291, "Subtotal number of");
  const std::string above = Translate(292, "s above");
  const std::string total = Translate(293, "Total number of");
  const std::string in_log = Translate(294, "s in log file");
  const size_t shown_rows = ShownCount();
  return subtotal + " " + shown + above + ";" + std::to_string(shown_rows) + "\r\n" + total +
         " " + rows + in_log + ";" + std::to_string(rows_.size()) + "\r\n" + subtotal + " " +
         rows + above + ";" + std::to_string(SumOfCounts(shown_rows)) + "\r\n" + total + " " +
         rows + in_log + ";" + std::to_string(SumOfCounts(rows_.size())) + "\r\n";
}

// --- cache ---------------------------------------------------------------------

void TStandardRep::SaveToCache(TReportsCache& cache) {
  WriteList(cache, rows_, [&](const auto& row) {
    cache.WriteString(row->value);
    cache.WriteInteger(row->count);
    cache.WriteInteger(row->visitors);
    cache.WriteReal(row->real);
    cache.WriteInteger(row->TotalKilobytes());
    cache.WriteInteger(row->max_kb);
  });
}

void TStandardRep::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      std::string value = cache.ReadString();
      TStandardRow row;
      row.count = cache.ReadCount();
      row.visitors = cache.ReadCount();
      row.real = cache.ReadReal(-std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::max());
      // The stored total is whole kilobytes; new lines add their bytes.
      row.total_bytes = static_cast<int64_t>(cache.ReadInteger()) * 1024;
      row.max_kb = cache.ReadInteger();
      TStandardRow& added = AddRow(std::move(value));
      added.count = row.count;
      added.visitors = row.visitors;
      added.real = row.real;
      added.total_bytes = row.total_bytes;
      added.max_kb = row.max_kb;
    });
  });
}

}  // namespace trelvar
