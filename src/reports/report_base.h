// The report family: TCustomWReport and TCustomFiltredRep.
//
// A report is configured by a block of definition lines ("name=...",
// "limit=..."), is offered every accepted log line (ProcessLine), and at
// the end appends its HTML section to the details page, and writes any
// page of its own, through page sinks (Display).
// TCustomFiltredRep adds per-report filters, so that a report counts only
// the lines or visits that satisfy its own conditions.
//
// Reports reach the shared state of the analysis (current line, visit
// tracker, country lookup, chart service, settings, details page, output
// folder) through the TReportContext their owner gives them. A report is
// used by one thread at a time (the analysis thread, or the visit thread
// for reports that count finished visits only); of the shared state only
// the robot memo is asked from both, and it locks itself. Errors of one
// report are raised to the driver, which logs them and goes on with the
// next report.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "logread/log_line.h"
#include "reports/html_page.h"
#include "reports/line_values.h"
#include "reports/report_params.h"
#include "reports/robot_memo.h"
#include "sites/conditions.h"

namespace trelvar {

class TFolders;
class TGeoIP;
class TMainSettings;
class TReportsCache;
class TVisLine;
class TfrmTempChart;
struct TVisPathTable;

// What reports use of the analysis; owned by the report set.
struct TReportContext {
  const TFolders* folders = nullptr;
  const TMainSettings* settings = nullptr;
  const TCurrentLine* current = nullptr;
  TVisLine* visits = nullptr;
  const TGeoIP* geoip = nullptr;      // null without a country database
  TfrmTempChart* chart = nullptr;     // null: reports draw no charts
  // The run's one source of random draws (null: reports draw the first
  // choice instead).
  std::mt19937_64* random = nullptr;
  // Share of the log read so far (0 to 1), updated once per accepted line.
  double fraction_done = 0;
  TPageSink details;                  // the page "indexdetails.htm"
  std::string output_folder;          // ends in "/"
  std::string site_name;
  // The head and the end of every page of the output (the end carries the
  // navigation bar when it is shown; set before reports display).
  std::string page_head;
  std::string page_foot = "</BODY></HTML>";

  // The country of a client address ("N/A" without a database). Not
  // remembered: the line values ask once per distinct client, and a look
  // in the database's tree costs about what a look in a memo would.
  const char* CountryOf(const std::string& address) const;

  // The robot catalogue of the run and the robot names of the agents seen
  // (no catalogue: every agent is a person).
  TRobotMemo robots;

  // The current line's values, worked out once for every report; whoever
  // changes the current line calls its NextLine.
  TLineValues values{*this};
};

class TCustomWReport {
 public:
  explicit TCustomWReport(TReportContext& ctx);
  virtual ~TCustomWReport();
  TCustomWReport(const TCustomWReport&) = delete;
  TCustomWReport& operator=(const TCustomWReport&) = delete;

  // The sixteen operations of every report, in their fixed order.
  virtual void AddDebugText(const std::string& text);
  // (the constructor is the virtual constructor)
  virtual std::unique_ptr<TCustomWReport> Clone() const = 0;
  virtual void LoadParam(const std::string& line);
  virtual void LoadParams(const std::string& text);
  virtual std::string SaveParams(bool short_form);
  virtual void ProcessLine() = 0;
  virtual void Display() = 0;
  virtual void ExportCsv() {}
  virtual void Clear() = 0;
  virtual std::string TypeCaption() const = 0;
  virtual void CheckLogFields(const std::vector<int>& fields);
  virtual bool UsesReverseDns() const { return false; }
  virtual void Compact() {}
  // Reports whose counting reads nothing but the finished visits say so;
  // the driver may then hand their visits to CountVisit on its visit
  // thread, in the order they finished, instead of calling ProcessLine.
  // Such a report must read no shared run state while counting, except
  // the settings and the run's random generator, which only it may use.
  virtual bool CountsVisitsOnly() const { return false; }
  virtual void CountVisit(const TVisPathTable& visit) { (void)visit; }
  virtual void SaveToCache(TReportsCache& cache) { (void)cache; }
  virtual void LoadFromCache(TReportsCache& cache) { (void)cache; }

  // ReportName with every blank turned into "_": the section's anchor.
  std::string AnchorName() const;
  std::string DetailsLink() const { return page_file + "#" + AnchorName(); }
  // The CSV file ExportCsv writes: output folder + name ("/" as "_") + ".csv".
  std::string CsvPath() const;
  void AddDefinitionLine(const std::string& line) { definition_text += line + "\r\n"; }

  // The value of a parameter in the current line, valid until the next
  // line.
  const std::string& LineValue(ReportParam param) { return ctx_.values.Text(param); }
  // The name of the agent's robot, "" for a person; the last agent's answer
  // is kept here, so the lines of one visit cost a comparison each.
  const std::string& RobotName(const std::string& agent);

  // The section head: anchor, name and remarks.
  void AppendSectionHead();
  // The section head, and "No data" under it when `empty`; answers `empty`.
  bool AppendSectionHead(bool empty);
  // Appends text and CR LF to the details page.
  void AppendDetails(std::string_view text) { ctx_.details.Line(text); }
  // A page of the report's own, begun with the common page head as a line.
  TPageSink BeginOwnPage() const;
  // Links the report's own page from the details page by its name, and
  // begins the page: the common head, the name as its title, the remarks.
  TPageSink BeginLinkedPage();
  // Ends such a page with the common page end as a line and writes it to
  // the output folder as `file`.
  void FinishOwnPage(TPageSink& page, const std::string& file) const;
  TReportContext& Context() const { return ctx_; }

  std::string page_file = "indexdetails.htm";
  std::string debug_text;
  std::string report_type = "custom";
  std::string report_name;
  int category_no = 0;
  std::string definition_text;
  std::string remarks;
  bool is_supported = true;
  std::string unsupported_text;
  bool show_footer = true;

 protected:
  // Copies what Clone copies of this level into `to`.
  void CopyTo(TCustomWReport& to) const;
  // Approximate analysis cuts a list that shows `limit` entries once it
  // holds (tolerance + 100) x limit of them, to a tenth of that: this
  // threshold (0 or less: such lists are not cut).
  int64_t CompactThreshold(int64_t limit) const;

  TReportContext& ctx_;

 private:
  struct TLastRobot {
    std::string agent;
    const std::string* name = nullptr;  // null: nothing asked yet
    uint64_t generation = 0;            // of the memo that answered
  } last_robot_;
};

// Cuts a list that holds `threshold` entries or more (and a threshold
// above 0) to its first threshold / 10, after `sort` has put the best
// first. Answers whether entries went.
template <typename List, typename Sort>
bool CompactList(List& list, int64_t threshold, Sort sort) {
  if (threshold <= 0 || static_cast<int64_t>(list.size()) < threshold) return false;
  sort();
  const size_t keep = static_cast<size_t>(threshold / 10);
  if (keep >= list.size()) return false;
  list.resize(keep);
  return true;
}

// Sorts rows by their count, largest first, or by their text in byte
// order (A before B); `reversed` turns the order round. Stable.
template <typename Row, typename Count>
void SortByCountOrText(std::vector<std::unique_ptr<Row>>& rows, bool by_count, bool reversed,
                       Count Row::*count, std::string Row::*text) {
  using TRowPtr = std::unique_ptr<Row>;
  if (by_count)
    std::stable_sort(rows.begin(), rows.end(), [&](const TRowPtr& a, const TRowPtr& b) {
      return reversed ? (*a).*count < (*b).*count : (*a).*count > (*b).*count;
    });
  else  // std::string compares bytes as unsigned characters
    std::stable_sort(rows.begin(), rows.end(), [&](const TRowPtr& a, const TRowPtr& b) {
      return reversed ? (*a).*text > (*b).*text : (*a).*text < (*b).*text;
    });
}

// One report filter: which value is tested, how, against what.
struct TReportFilter {
  ReportParam kind = ReportParam::kNone;
  TFilterCondition condition = TFilterCondition::Includes;
  std::string value;
  std::string value_lower;  // for URL parameters when URLs ignore case
  std::optional<TValueList> list;
  // The filter's answers by the number of the line's value: 0 not asked
  // yet, 1 matches, -1 does not.
  TByValueNumber<int8_t> answers;
};

class TCustomFiltredRep : public TCustomWReport {
 public:
  using TCustomWReport::TCustomWReport;

  void LoadParam(const std::string& line) override;
  std::string SaveParams(bool short_form) override;
  void Clear() override;

  // Every filter accepts the current line.
  bool PassesFilters();
  // Every filter accepts the visit (a filter on the visit's length or robot
  // once, the others on any of its hits).
  bool PassesVisitFilters(const TVisPathTable& visit);
  // Some filter takes its value for a visit from the current line, so the
  // visits may be tested only while that line is current (not aside).
  bool VisitFiltersReadLine() const;
  bool FilterMatches(TReportFilter& filter, const std::string& text) const;
  // Reloads the value lists of the file-based filters.
  void LoadFilterLists();

  std::vector<TReportFilter> filters;

 protected:
  void CopyTo(TCustomFiltredRep& to) const;
};

// A report that counts the visits that pass its filters as they finish.
// When its filters need nothing of the current line, the driver may hand
// it the visits on its visit thread instead of calling ProcessLine.
class TVisitCountingRep : public TCustomFiltredRep {
 public:
  using TCustomFiltredRep::TCustomFiltredRep;

  // Brings the visit tracker up to the current line and counts every visit
  // that finished at it.
  void ProcessLine() override;
  bool CountsVisitsOnly() const override { return !VisitFiltersReadLine(); }
  void CountVisit(const TVisPathTable& visit) override {
    if (PassesVisitFilters(visit)) AddVisit(visit);
  }
  // Accounts one finished visit (filters aside).
  virtual void AddVisit(const TVisPathTable& visit) = 0;
};

// Cell texts of collected values for HTML tables and CSV files.
std::string HtmlCell(ReportParam param, const std::string& value);
std::string CsvCell(ReportParam param, const std::string& value);
// Only http:, https: and relative addresses may become links.
bool IsSafeLink(const std::string& url);

}  // namespace trelvar
