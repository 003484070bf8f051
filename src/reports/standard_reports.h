// The table reports that count how often each distinct value occurs.
//
// TStandardRep holds what they share: the presentation settings (row
// limit, percentage column, sort, table, chart), the rows, their sorting,
// the HTML table, the CSV export and the cache block. Its families:
//   TPrRep ("basic")            one parameter of the lines (href, country...)
//   TTerminalRep ("terminal")   entry and/or exit pages of finished visits
//   TSearchPhrases              search phrases found in referrers
//   TSearchWords                the words of those phrases
//   reports::TSearchEngines     the search engines of the referrers
//
// Rows keep the order in which their values first came (until a sort) and
// are found through a hash index on their value, so counting a line costs
// the same however many rows there are. Each report owns its rows; Clear
// drops them (and keeps filters and settings).
//
// Errors: a bytes field that is not a number raises EConvertError from the
// basic report's ProcessLine; a CSV file that cannot be written raises
// EFCreateError; a cache block that ends too soon or holds a value out of
// range raises EInOutError after emptying the report. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/row_index.h"
#include "reports/report_base.h"
#include "reports/report_keys.h"
#include "reports/report_params.h"

namespace trelvar {

// One distinct value and what was counted for it.
struct TStandardRow {
  std::string value;
  int32_t count = 0;
  int32_t visitors = 0;  // basic report on "country": visits that ended
  double real = 0;       // unused; carried through the cache
  // Bytes of every counted line, summed exactly: rounding each line to
  // kilobytes first would make many small answers add up to nothing.
  int64_t total_bytes = 0;
  int32_t max_kb = 0;    // largest kilobytes of one line (remainder dropped)

  // The total in kilobytes as shown and stored (nearest, halves to even).
  int32_t TotalKilobytes() const;
};

// A copy (Clone) takes the settings and filters, not the rows, the
// category or the sort direction.
class TStandardRep : public TReportLevel<TStandardRep, TCustomFiltredRep> {
 public:
  using TReportLevel::TReportLevel;
  static const TReportKeys<TStandardRep>& DefinitionKeys();

  void Display() override;
  void ExportCsv() override;
  void Clear() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // Sorts the rows by the current sort settings (stable).
  void SortRows();
  // Nothing for an empty text; else the value's row counts one more, or a
  // row with count 1 is appended.
  void CountValue(const std::string& text);

  using TRows = std::vector<std::unique_ptr<TStandardRow>>;
  const TRows& Rows() const { return rows_; }
  // The row of exactly this value, or null.
  const TStandardRow* FindRow(std::string_view value) const;
  // Rows shown in table, chart and export: all of them when limit is 0.
  size_t ShownCount() const;

  int32_t limit = 7;
  bool show_percent = true;
  bool pages_only = false;
  bool sort_by_value = true;
  bool ascending = false;
  bool show_table = true;
  bool show_chart = true;
  std::string chart_type = "pie";
  std::string column_caption;

 protected:
  TStandardRow* Find(std::string_view value);
  TStandardRow& AddRow(std::string value);
  // The row of the current line's value of `param` (null when it has none
  // yet), remembered by the value's number; `Remember` keeps a new row.
  TStandardRow* LineRow(ReportParam param);
  void RememberLineRow(ReportParam param, TStandardRow& row);
  // Keeps the first `keep` rows and drops the others.
  void Truncate(size_t keep);

  // The chart of the shown rows; `use_visitors` takes visitors for counts.
  void DrawChart(bool use_visitors);
  // The shown rows' counts (or visitors) summed.
  int64_t ShareBase(bool use_visitors) const;
  int64_t SumOfCounts(size_t rows) const;
  void WriteCsvFile(const std::string& text) const;
  // The four total lines of the CSV file: the shown rows (named `shown`),
  // all rows, and the counts of each (named `rows`).
  std::string CsvFooter(const std::string& shown, const std::string& rows) const;

 private:
  TRows rows_;
  TRowIndex<TStandardRow> index_;  // rows by value
  TByValueNumber<TStandardRow*> by_number_;  // rows by the number of a line value
};

// "basic": counts one parameter of the lines.
class TPrRep : public TReportOf<TPrRep, TStandardRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"basic", 354, "Basic Report"};

  explicit TPrRep(TReportContext& ctx);
  static const TReportKeys<TPrRep>& DefinitionKeys();

  void ProcessLine() override;
  void Display() override;
  void ExportCsv() override;
  void CheckLogFields(const std::vector<int>& fields) override;
  bool UsesReverseDns() const override;
  // With approximate analysis: a long row list is cut to its best rows.
  void Compact() override;

  // Whether the rows also sum the bytes field.
  bool CountsKilobytes() const;

  ReportParam param = ReportParam::kHref;

 private:
  void CountFinishedVisitors();
};

// "terminal": the entry or exit pages of the visits that pass the filters
// (so a filter on the robot keeps crawlers out of the entry pages).
class TTerminalRep : public TReportOf<TTerminalRep, TStandardRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"terminal", 366, "Terminal Report"};

  explicit TTerminalRep(TReportContext& ctx);
  static const TReportKeys<TTerminalRep>& DefinitionKeys();

  void ProcessLine() override;
  void CheckLogFields(const std::vector<int>& fields) override;

  bool is_entry_page = false;
  bool is_exit_page = false;
};

// "search_phrases": the decoded, lower-cased search phrase of referrers.
class TSearchPhrases : public TReportOf<TSearchPhrases, TStandardRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"search_phrases", 363, "Search Phrases"};

  explicit TSearchPhrases(TReportContext& ctx);

  void ProcessLine() override;
  void CheckLogFields(const std::vector<int>& fields) override;

 protected:
  // The search phrase of the current line's referrer ("" when none).
  const std::string& LinePhrase() const;
};

// "search_words": every word of the search phrases, without double quotes.
class TSearchWords : public TReportOf<TSearchWords, TSearchPhrases> {
 public:
  static constexpr TReportIdentity kIdentity = {"search_words", 364, "Search Words"};
  using TReportOf::TReportOf;

  void ProcessLine() override;
};

namespace reports {

// "search_engines": the engine of every referrer that carries a query.
// (search::TSearchEngines is the catalogue it asks.)
class TSearchEngines : public TReportOf<TSearchEngines, TSearchPhrases> {
 public:
  static constexpr TReportIdentity kIdentity = {"search_engines", 365, "Search Engines"};
  using TReportOf::TReportOf;

  void ProcessLine() override;
};

}  // namespace reports

// A share in percent with exactly two decimals and ".", e.g. "33.33".
std::string ShareText(int64_t part, int64_t base);
// A chart label: cut to 20 characters plus "..." when longer.
std::string ChartLabel(const std::string& value);

}  // namespace trelvar
