#include "app/run_mode.h"

#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/translator.h"
#include "platform/console.h"
#include "platform/system.h"

namespace trelvar {

namespace {
TRunMode g_run_mode = TRunMode::Console;
}  // namespace

TRunMode RunMode() { return g_run_mode; }
void SetRunMode(TRunMode mode) { g_run_mode = mode; }

THeadlessHost::THeadlessHost(TWrite write)
    : write_(write ? std::move(write) : TWrite([](const std::string& text) {
        platform::WriteStdout(text);
      })) {}

void THeadlessHost::OutputLine(const std::string& line) {
  write_(g_run_mode == TRunMode::Web ? line + "\r\n" : StripTags(line) + "\n");
  ProcessMessages();
}

void THeadlessHost::PublishProgress(const std::string& percent, const std::string& left) {
  // Console runs keep the word "Left" untranslated.
  const std::string left_word = g_run_mode == TRunMode::Web ? Translate(280, "Left") : "Left";
  OutputLine("<p>" + Translate(279, "Processing ...") + " " + percent + "% " + left_word + " " +
             left + "</p>");
}

void THeadlessHost::ShowMessage(const std::string& text) { OutputLine("<P>" + text + "</P>"); }

void THeadlessHost::AnalysisFinished(const TFinishedPages& pages) {
  if (g_run_mode == TRunMode::Web) {
    // The link is rooted once: a web path of "/reports/" must not give
    // "//reports/", which a browser reads as a host name.
    const size_t rooted = pages.web_path.find_first_not_of('/');
    const std::string web_path =
        HtmlEscape(rooted == std::string::npos ? "" : pages.web_path.substr(rooted));
    OutputLine("<p><b>" + Translate(383, "Ready!") + "</b>&nbsp;<a href=\"/" + web_path +
               pages.index + "\">" + Translate(384, "See report") + "</a><p>");
    return;
  }
  OutputLine("<P>" + Translate(383, "Ready!") + " " + Translate(384, "See report") + ": " +
             pages.folder + pages.index + "</P>");
  if (pages.open_in_browser) platform::OpenWithDefaultHandler(pages.folder + pages.index);
}

}  // namespace trelvar
