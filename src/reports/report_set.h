// TRepParser: the report set of the run and the analysis driver.
//
// It owns the configured reports and categories (read from and written to
// "reports.ini" or a site's own report file), runs one analysis pass over
// a site's log lines by driving the line parser and offering every
// accepted line to every supported report, and writes the output folder:
// the details page with every report's section, the list page with links
// or a category tree, the error page of bad lines and the CSV files.
//
// It owns the shared state the reports reach through their TReportContext:
// the visit tracker, the country lookup (when a database exists), the
// robot catalogue, the details page and the output folder. Errors of one report never stop a
// pass: they go to "err_rep.htm" (during the pass) or to the output channel
// (while writing pages). Errors of the files themselves (reports.ini, the
// pages, a vanished log file) propagate. Main thread only; during a pass
// the reports that count finished visits only are counted on a thread of
// their own (TVisitWorker), which the pass waits for before it ends.
#pragma once

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "reports/pass_summary.h"
#include "reports/report_base.h"
#include "reports/visit_worker.h"
#include "sites/robots.h"

namespace trelvar {

struct TRunContext;
class TLineParser;

struct TRepCategory {
  std::string name;
};

// What one pass read and counted, for the "Lines:" paragraph and the exit
// status of a one-shot run.
struct TPassReport {
  TLineCounts lines;
  int64_t counted = 0;
  // What of the input could not be read or counted, one text each (the
  // warnings the pass wrote); empty when the input was complete.
  std::vector<std::string> problems;
};

class TRepParser {
 public:
  using TReports = std::vector<std::unique_ptr<TCustomWReport>>;

  explicit TRepParser(TRunContext& app);
  ~TRepParser();
  TRepParser(const TRepParser&) = delete;
  TRepParser& operator=(const TRepParser&) = delete;

  void LoadReports() { LoadReportFile(""); }
  void SaveReports() { SaveReportFile(""); }
  // A report file of the data folder ("" means "reports.ini").
  void LoadReportFile(const std::string& name);
  void SaveReportFile(const std::string& name);
  // The name the last LoadReportFile was given: where the reports shown
  // now belong.
  const std::string& LoadedFile() const { return loaded_file_; }
  // Reads report definitions from text (what LoadReportFile does after opening).
  void LoadFromText(const std::string& text);
  std::string SaveToText();

  int FindPrRep(int n) const;
  void Clear();
  // How a pass over the logs ended.
  enum class TPassOutcome {
    Done,
    Cancelled,
    // The log holds lines older than the cache: delete it and run again.
    OlderThanCache,
  };
  TPassOutcome Parse();
  // Of the last pass that ran to its end.
  const TPassReport& LastPass() const { return pass_; }
  const TPassSummary& Summary() const { return summary_; }
  void PrepareOutputDir();
  bool Display();
  bool ExcelExport();
  void LoadValueFiles();

  TCustomWReport* GetReportByName(const std::string& name) const;
  TCustomWReport* GetReportByIndex(int index) const;
  int GetReportIndex(const std::string& name) const;
  void RemoveReport(const std::string& name);
  void RemoveReportByIndex(int index);
  std::string AddNewReport();
  void AddReport(std::unique_ptr<TCustomWReport> report);
  // Puts `report` in the place of the report at `index` (the report
  // editor's changes: a report made again from its edited definition). An
  // experiment that measured the old report measures the new one. An index
  // outside the list raises EListError.
  void ReplaceReport(int index, std::unique_ptr<TCustomWReport> report);
  void MoveReport(const std::string& name, const std::string& target_name);
  void AddCategory(const std::string& name) { categories.push_back({name}); }
  void SetNewRepCatNo(int old_no, int new_no);

  // The output folder (ends in "/") and its web path (ends in "/").
  void SetOutputFolder(const std::string& folder);
  const std::string& OutputFolder() const { return ctx_.output_folder; }
  void SetWebPath(const std::string& path) { web_path_ = path; }
  void SetSiteName(const std::string& name) { ctx_.site_name = name; }
  const std::string& SiteName() const { return ctx_.site_name; }
  // The cache files of the site: data file and index file (CachePath() +
  // "_"), and the summary kept with them (CachePath() + "_summary").
  std::string CachePath() const;

  TReportContext& Context() { return ctx_; }
  const std::string& DetailsPage() const { return ctx_.details.Text(); }

  TDateTime start_time = 0;
  TDateTime first_line_time = 0, last_line_time = 0;
  std::string log_format;
  std::string log_path;
  TReports reports;
  std::vector<TRepCategory> categories;
  TCustomWReport* exp_report = nullptr;
  bool use_period = false;
  TDateTime period_from = 0, period_to = 0;
  TDateTime cache_last_time = 0, cache_first_time = 0;

 private:
  void CheckReports();
  void ProcessReports(std::ostream& errors);
  void CreateReport(const std::string& type_key, const std::string& block);
  // An experiment without a web model measures the first one in the set;
  // the first experiment is the set's.
  void LinkExperiment(TCustomWReport& report);
  // The analysed range as texts (the period when one is set).
  std::pair<std::string, std::string> TimeRange() const;
  std::string TimeRangeText() const;

  TRunContext& app_;
  TReportContext ctx_;
  std::unique_ptr<TVisLine> visits_;
  std::unique_ptr<TGeoIP> geoip_;
  TRobots robots_;  // "spiders.ini", read with every report file
  TLineParser* line_parser_ = nullptr;  // only while Parse runs
  // Counts the visit reports aside while Parse runs (null: inline).
  std::unique_ptr<TVisitWorker> visit_worker_;
  std::vector<std::string> visit_errors_;  // the worker's, for the error page
  std::vector<size_t> inline_reports_;     // those ProcessLine counts, by index
  // The worker for this pass, or null when the set has no visit report or
  // a report that reads a visit report while the pass runs; the reports
  // left to ProcessLine go to inline_reports_.
  std::unique_ptr<TVisitWorker> StartVisitWorker();
  // Everything handed to the worker counted; its errors kept.
  void SettleVisitWorker();
  // The "Lines:" paragraph and the warnings of an incomplete input.
  void ReportPass(const TLineParser& parser);
  std::string loaded_file_;
  std::string web_path_;
  TPassReport pass_;
  TPassSummary summary_;
};

}  // namespace trelvar
