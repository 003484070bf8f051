// The analysis of one site: from the site record to the finished pages.
//
// Shared by the one-shot run and the windowed application's job: it
// prepares the report set from the site (log format and path, output
// folder, report file, value files, period, honouring the options that
// take the place of the site's), runs the pass,
// deletes the cache and runs once more when the log is older than the
// cache, and writes the pages. Progress goes to the output channel; errors
// propagate to the caller, which reports them: among them a site whose log
// format is not in the catalogue or which has no log path.
#pragma once

#include <string>

#include "config/analysis_period.h"

namespace trelvar {

class TGUISettings;
struct TRunContext;

// What a run may put in place of a site's own settings (the command
// line's options, the main window's boxes). Empty texts keep the site's.
struct TJobOptions {
  std::string log_path;
  std::string output_folder;
  std::string report_file;
  TPeriodChoice period;
  // The program was started with command-line parameters: the status pane
  // is kept.
  bool started_with_parameters = true;
  // The windowed application's settings: with them the job asks its
  // questions (reverse DNS, approximate analysis) and keeps the answers
  // the user wants kept; without them (runs without windows) it asks
  // nothing.
  TGUISettings* gui = nullptr;
  // The main window's busy flag, set for the length of a job (may be null).
  bool* busy = nullptr;
};

struct TAnalysisResult {
  bool found = false;      // the site exists
  bool completed = false;  // the pages were written
  // The pages were written, but from an incomplete input (a file missing,
  // unreadable or damaged, a log path without a match, no line counted);
  // the pass has warned of each cause.
  bool incomplete = false;
  std::string report_file;
  // Mailing was asked for and the zipped reports went out.
  bool mailed = false;
};

// The analysis job of the windowed application, the schedule and the
// command line's automation: asks whether reverse DNS may slow the run,
// clears the status pane, runs AnalyzeSite, and with `send_mail` zips the
// output folder into the site's archive and mails it; an error ends it
// with the "Error:" paragraph. The busy flag is set while it runs.
TAnalysisResult Analyze(TRunContext& ctx, const TJobOptions& options,
                        const std::string& site_name, bool send_mail = false);

// Zips the output folder of the site's finished analysis into the site's
// archive (its name + ".zip") and mails it to the site's recipient.
// Answers whether it went out; each failure has written its line.
bool MailReports(TRunContext& ctx, const std::string& site_name);

// `announce` writes the "Analyzing site:" line (the one-shot run has
// written it already). Errors propagate.
TAnalysisResult AnalyzeSite(TRunContext& ctx, const TJobOptions& options, const std::string& site_name,
                            bool announce);

// The report set's period from a choice of period.
void ComputeAnalysisPeriod(const TPeriodChoice& choice, bool& use_period, TDateTime& from,
                           TDateTime& to);

}  // namespace trelvar
