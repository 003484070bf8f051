#include "automation/analysis_job.h"

#include <algorithm>

#include "base/errors.h"
#include "base/run_control.h"
#include "base/text_helpers.h"
#include "config/gui_settings.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "automation/mail_sender.h"
#include "automation/zip_folder.h"
#include "logread/file_chooser.h"
#include "reports/report_text.h"
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

namespace {

// Sets a flag for as long as it lives.
class TBusyGuard {
 public:
  explicit TBusyGuard(bool* flag) : flag_(flag) {
    if (flag_ != nullptr) *flag_ = true;
  }
  ~TBusyGuard() {
    if (flag_ != nullptr) *flag_ = false;
  }
  TBusyGuard(const TBusyGuard&) = delete;
  TBusyGuard& operator=(const TBusyGuard&) = delete;

 private:
  bool* flag_;
};

// A question whose "Dont show me this message again" box, when ticked,
// turns `ask` off for good. Answers the user's choice.
bool AskAndRemember(const std::string& text, bool default_answer, bool& ask) {
  bool dont_ask_again = false;
  const bool yes = RunControl().Ask({text, default_answer, &dont_ask_again});
  if (dont_ask_again) ask = false;
  return yes;
}

constexpr int64_t kApproximateHintKB = 2048;
constexpr int kApproximateTolerance = 1000;

// Offers approximate analysis for a large log, when the user still wants
// to be asked and it is off.
void OfferApproximateAnalysis(TRunContext& ctx, TGUISettings& gui, const std::string& log_path) {
  TMainSettings& settings = *ctx.settings;
  if (!gui.ask_approximate_analysis || settings.approximate_analysis) return;
  int64_t kb = 0;
  try {
    TFileChooser chooser(ctx.folders);
    chooser.SetLogPath(log_path);
    kb = chooser.TotalKB() - 1;  // the chooser's total starts at 1
  } catch (const Exception&) {
    return;  // the pass says what is wrong with the log path
  }
  if (kb <= kApproximateHintKB) return;
  const std::string text = Translate(231, "Your log file(s) is") + " " + std::to_string(kb / 1024) +
                           " " + Translate(232, "MB.\r\nWe suggest approximate analysis.");
  if (AskAndRemember(text, false, gui.ask_approximate_analysis)) {
    settings.approximate_analysis = true;
    settings.approximate_tolerance = kApproximateTolerance;
  } else {
    settings.approximate_analysis = false;
  }
}

// A pass or page writing the user cancelled: the window comes back, the
// progress window closes.
TAnalysisResult Aborted(TRunContext& ctx, const TAnalysisResult& result) {
  RunControl().SetMainWindowEnabled(true);
  OutputLine("<P>" + Translate(235, "Aborted") + "</P>");
  if (ctx.progress != nullptr) ctx.progress->Hide();
  return result;
}

}  // namespace

bool MailReports(TRunContext& ctx, const std::string& site_name) {
  const TWebSite* site = ctx.sites->GetSiteByName(site_name);
  if (site == nullptr || ctx.report_set == nullptr) return false;
  const std::string archive = SafeFileName(site_name + ".zip");
  OutputLine("<p>" + Translate(240, "Compressing reports to") + " \"" + archive + "\"</p>");
  const std::string folder = ctx.report_set->OutputFolder();
  if (!ZipFolder(folder, archive, ctx.progress.get())) return false;
  const std::string recipient = MailRecipient(*site, *ctx.settings);
  OutputLine("<p>" + Translate(241, "Sending files by E-mail to") + " " + recipient + "</p>");
  return SendArchive(*ctx.settings, recipient, folder + archive);
}

TAnalysisResult Analyze(TRunContext& ctx, const TJobOptions& options,
                        const std::string& site_name, bool send_mail) {
  TBusyGuard busy(options.busy);
  TMainSettings& settings = *ctx.settings;
  // Declining the question keeps reverse DNS out of this analysis only.
  const bool lookup = settings.reverse_dns_lookup;
  if (lookup && options.gui != nullptr && options.gui->show_dns_lookup_warning)
    settings.reverse_dns_lookup = AskAndRemember(
        Translate(230, "Are you sure you want to do reverse DNS look up ?\r\nThis could "
                       "significantly slowdown analysis time."),
        true, options.gui->show_dns_lookup_warning);
  if (!options.started_with_parameters) RunControl().ClearOutput();
  TAnalysisResult result;
  try {
    result = AnalyzeSite(ctx, options, site_name, true);
    if (send_mail && result.completed) result.mailed = MailReports(ctx, site_name);
  } catch (const Exception& e) {
    OutputLine("<P>" + Translate(242, "Error:") + " " + e.Message() + " " + e.ClassName() +
               "</P>");
    result.found = ctx.sites->GetSiteByName(site_name) != nullptr;
  } catch (const std::exception& e) {
    OutputLine("<P>" + Translate(242, "Error:") + " " + e.what() + " Exception</P>");
    result.found = ctx.sites->GetSiteByName(site_name) != nullptr;
  }
  settings.reverse_dns_lookup = lookup;
  return result;
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
    if (options.gui != nullptr) OfferApproximateAnalysis(ctx, *options.gui, set.log_path);
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
    if (outcome != TRepParser::TPassOutcome::Done) return Aborted(ctx, result);
    OutputLine("<P>" + Translate(239, "Creating reports...") + "</P>");
    if (!set.Display()) return Aborted(ctx, result);
    result.completed = true;
    result.incomplete = !set.LastPass().problems.empty();
    return result;
  }
  return result;
}

}  // namespace trelvar
