#include "automation/analysis_job.h"

#include <algorithm>

#include "base/errors.h"
#include "base/run_control.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "platform/files.h"
#include "reports/run_context.h"

namespace trelvar {

void ComputeAnalysisPeriod(const TPeriodChoice& choice, bool& use_period, TDateTime& from,
                           TDateTime& to) {
  switch (choice.type) {
    case TPeriodType::Between:
      use_period = true;
      from = choice.from;
      to = choice.to;
      break;
    case TPeriodType::Last: {
      static const double kUnitDays[4] = {1.0 / 24, 1, 30.6, 365.25};
      const int unit = choice.unit >= 0 && choice.unit < 4 ? choice.unit : 1;
      use_period = true;
      to = Now();
      // "The last 100000 years" begins with the first date there is.
      from = std::clamp(to - choice.count * kUnitDays[unit], kMinDateTime, kMaxDateTime);
      break;
    }
    case TPeriodType::All:
      use_period = false;
      break;
    case TPeriodType::None:
      break;  // the period stays as it is
  }
}

TAnalysisResult AnalyzeSite(TRunContext& ctx, const TJobOptions& options, const std::string& site_name,
                            bool announce) {
  TAnalysisResult result;
  for (int pass = 0; pass < 2; ++pass) {
    TWebSite* site = ctx.sites->GetSiteByName(site_name);
    if (site == nullptr) return result;
    result.found = true;
    if (announce)
      OutputLine("<P>" + Translate(205, "Analyzing site:") + " " + site->name + "</P>");
    if (ctx.report_set == nullptr) ctx.report_set = std::make_unique<TRepParser>(ctx);
    TRepParser& set = *ctx.report_set;
    set.Clear();
    ctx.sites->SelectSiteByName(site_name);

    set.log_format = ctx.formats->GetTemplate(site->format);
    set.log_path = !options.log_path.empty() ? options.log_path : site->log_path;
    // Without a format every line would be rejected, without a path none
    // read: an empty report that looks like an analysis.
    if (set.log_format.empty()) {
      std::string known;
      for (const std::string& name : ctx.formats->Names())
        known += (known.empty() ? "" : ", ") + name;
      throw EInvalidOperation(
          FormatText(Translate(1013, "The log format \"%1\" of the site \"%2\" is not a known "
                                     "format. Known formats: %3."),
                     {site->format, site->name, known}));
    }
    if (Trim(set.log_path).empty())
      throw EInvalidOperation(FormatText(
          Translate(1014, "The site \"%1\" has no log path: say where its log files lie."),
          {site->name}));
    set.SetSiteName(site->name);
    set.SetWebPath(ToSlashDir(site->output_uri));
    std::string folder = ToNativeDir(!options.output_folder.empty() ? options.output_folder
                                                                : site->output_folder);
    if (folder.empty() || folder[0] != '/') folder = ToNativeDir(ctx.folders.Data() + folder);
    set.SetOutputFolder(folder);
    set.PrepareOutputDir();
    result.report_file =
        folder + (platform::PathExists(folder + "index.htm") ? "index.htm" : "indexdetails.htm");
    ComputeAnalysisPeriod(options.period, set.use_period, set.period_from, set.period_to);
    set.LoadReportFile(!options.report_file.empty() ? options.report_file : site->report_file);
    OutputLine("<P>" + Translate(233, "Report file=") + result.report_file + "</P>");
    OutputLine("<P>" + Translate(234, "Initializing...") + "</P>");

    set.LoadValueFiles();
    const TRepParser::TPassOutcome outcome = set.Parse();
    if (outcome == TRepParser::TPassOutcome::OlderThanCache && pass == 0) {
      OutputLine("<p>" +
                 Translate(236, "Date in the log file reffers to date that earlier than start "
                                "time of cache") +
                 "</p>");
      OutputLine("<p>" + Translate(237, "Deleting cache...") + "</p>");
      platform::RemoveFile(set.CachePath());
      platform::RemoveFile(set.CachePath() + "_");
      OutputLine("<p></p>");
      OutputLine("<p>" + Translate(238, "Analysis restarted") + "</p>");
      announce = true;
      continue;
    }
    if (outcome != TRepParser::TPassOutcome::Done) {
      RunControl().SetMainWindowEnabled(true);
      OutputLine("<P>" + Translate(235, "Aborted") + "</P>");
      return result;
    }
    OutputLine("<P>" + Translate(239, "Creating reports...") + "</P>");
    if (!set.Display()) {
      RunControl().SetMainWindowEnabled(true);
      OutputLine("<P>" + Translate(235, "Aborted") + "</P>");
      return result;
    }
    result.completed = true;
    result.incomplete = !set.LastPass().problems.empty();
    return result;
  }
  return result;
}

}  // namespace trelvar
