#include "app/oneshot.h"

#include <memory>

#include "app/run_mode.h"
#include "automation/analysis_job.h"
#include "automation/ftp_download.h"
#include "automation/job_runner.h"
#include "automation/schedule.h"
#include "automation/scheduler.h"
#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"
#include "platform/console.h"
#include "platform/system.h"
#include "reports/run_context.h"

namespace trelvar {

namespace {

bool ServerSoftwareSet(std::string& value) {
  return GetEnvText("SERVER_SOFTWARE", value) && !Trim(value).empty();
}

void WriteResponseHead(const std::string& server_software) {
  if (!Contains(LowerCase(server_software), "apache")) OutputLine("HTTP/1.0 200 OK");
  OutputLine("Content-Type: text/html");
  OutputLine("");
  OutputLine("<html>");
  OutputLine("<head>");
  OutputLine("<title>Trelvar</title>");
  OutputLine("</head>");
  OutputLine("<body>");
}

// Text from outside (a web request names the site) as it may enter the
// page of a web run.
std::string Shown(const std::string& text) {
  return RunMode() == TRunMode::Web ? HtmlEscape(text) : text;
}

// Runs the due tasks of the schedule (-schedule), or every site of the
// registry in order (-allsites), with downloads and mail as the tasks or
// the options ask. The schedule keeps the times of the tasks that ran.
int RunAutomation(const TCmdLine& cmd, TRunContext& ctx, bool& head_written) {
  std::string server_software;
  const bool web = ServerSoftwareSet(server_software);
  SetRunMode(web ? TRunMode::Web : TRunMode::Console);
  if (web) {
    WriteResponseHead(server_software);
    head_written = true;
  }
  OutputLine("<h1>Trelvar</h1>");
  TJobRunner runner(ctx, cmd.job);
  if (cmd.schedule) {
    TSchedule schedule(ctx.folders);
    schedule.Load();
    // A task that ran is not due again today, so each due task runs once.
    TScheduler scheduler;
    for (size_t i = 0; i < schedule.Count() && scheduler.Tick(schedule, false, runner); ++i) {
    }
    schedule.Save();
  } else {
    for (const std::string& name : runner.SiteNames()) {
      if (cmd.download) runner.Download(name);
      runner.Analyze(name, cmd.mail);
    }
  }
  return runner.ExitStatus();
}

// The steps of the run that may raise; everything they create lives in
// `ctx`. Returns the exit status of a run that got through.
int RunSteps(const TCmdLine& cmd, std::unique_ptr<TRunContext>& ctx, bool& head_written) {
  SetRunMode(TRunMode::Console);
  ctx = std::make_unique<TRunContext>(TFolders::Resolve());
  ctx->random.seed(platform::RunSeed());

  ctx->translator =
      std::make_unique<TLangTranslator>(ctx->folders.Program(), platform::UserLocaleName());
  RunControl().SetTexts(ctx->translator.get());
  ctx->translator->SetFolder("Language");
  ctx->formats = std::make_unique<TLogFmts>();
  ctx->settings =
      std::make_unique<TMainSettings>(ctx->folders, *ctx->formats, ctx->translator.get());
  ctx->chart = std::make_unique<TfrmTempChart>(ctx->folders.Program(), ctx->random);
  ctx->progress = std::make_unique<TfrmProg>(
      RunControl(), nullptr,
      TProgressIdleTexts{Translate(158, "Scanning log file  ..."), Translate(132, "none")});
  ctx->current_line.Clear();
  ctx->sites = std::make_unique<TWS>(ctx->folders);
  ctx->sites->LoadFromFile();

  if (cmd.schedule || cmd.all_sites) return RunAutomation(cmd, *ctx, head_written);

  const std::string& wanted =
      !cmd.site_name.empty() ? cmd.site_name : ctx->settings->default_site;
  if (!wanted.empty()) ctx->sites->SelectSiteByName(wanted);
  const TWebSite* site = ctx->sites->Current();

  std::string server_software;
  const bool web = ServerSoftwareSet(server_software) || (site != nullptr && site->app_type == 0);
  SetRunMode(web ? TRunMode::Web : TRunMode::Console);
  if (web) {
    WriteResponseHead(server_software);
    head_written = true;
  }
  OutputLine("<h1>Trelvar</h1>");
  if (site != nullptr)
    OutputLine("<P>" + Translate(205, "Analyzing site:") + " " + Shown(site->name) + "</P>");

  if (RunMode() == TRunMode::Web) {
    std::string server_name;
    GetEnvText("SERVER_NAME", server_name);
    OutputLine("<P>" + Translate(206, "Server name:") + " " + Shown(server_name) + "</P>");
  }
  if (site == nullptr) {
    if (wanted.empty())
      throw EInvalidOperation(Translate(
          1000, "No site to analyse: name one with -analyze: or set default_site in main.ini"));
    throw EListError(Translate(1001, "No site to analyse: there is no site named") + " \"" +
                     Shown(wanted) + "\"");
  }
  // A failed download still leaves the logs that are there to analyse;
  // the status tells the failure.
  const bool downloaded =
      !cmd.download || DownloadSiteLogs(*ctx->sites, ctx->folders, site->name, true).completed;
  const TAnalysisResult result = AnalyzeSite(*ctx, cmd.job, site->name, false);
  if (!result.completed) return kExitFailed;
  if (!downloaded || (cmd.mail && !MailReports(*ctx, site->name))) return kExitFailed;
  return result.incomplete ? kExitIncomplete : kExitComplete;
}

}  // namespace

int RunOneShot(const TCmdLine& cmd, std::unique_ptr<TRunContext>& ctx) {
  THeadlessHost host;
  SetRunControl(&host);
  // Started without standard output (from a desktop launcher), the run
  // writes to the terminal, when there is one.
  if (!platform::StdoutIsOpen()) platform::OpenTerminalAsStdout();

  int status = kExitComplete;
  bool head_written = false;
  std::string error_line;
  try {
    status = RunSteps(cmd, ctx, head_written);
  } catch (const Exception& e) {
    error_line = ErrorLine(e);
  } catch (const std::exception& e) {
    error_line = "<P>" + std::string(e.what()) + " Exception</P>";
  }
  if (!error_line.empty()) {
    // An error before the run chose its mode still owes a web server a
    // complete response.
    std::string server_software;
    if (!head_written && ServerSoftwareSet(server_software)) {
      SetRunMode(TRunMode::Web);
      WriteResponseHead(server_software);
    }
    OutputLine(error_line);
    status = kExitFailed;
  }

  if (RunMode() != TRunMode::Console) {
    OutputLine("</body>");
    OutputLine("</html>");
  }
  SetRunControl(nullptr);
  return status;
}

}  // namespace trelvar
