// Program entry: reads the command line and starts the one-shot run.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/cmdline.h"
#include "app/oneshot.h"
#include "platform/console.h"
#include "platform/shared_library.h"
#include "platform/system.h"

namespace {

const char kUsage[] =
    "Usage: trelvar [options]\n"
    "Analyses web server access logs and writes HTML reports.\n"
    "\n"
    "  -console               analyse one site and exit, writing progress to standard output\n"
    "  -analyze:NAME          the site to analyse (\"all\": the default site)\n"
    "  -outputdir:FOLDER      output folder of the reports (windowed application)\n"
    "  -logpath:PATH          log files to read (windowed application)\n"
    "  -reportfile:FILE       report definitions to use (windowed application)\n"
    "  -periodtype:TYPE       all, between, last or none\n"
    "  -periodfrom:DATE       start of the period, yyyy-mm-dd [hh:nn[:ss]]\n"
    "  -periodto:DATE         end of the period, yyyy-mm-dd [hh:nn[:ss]]\n"
    "  -periodlast:N          length of a \"last\" period\n"
    "  -periodmeasure:UNIT    unit of a \"last\" period: 0 hours, 1 days, 2 months, 3 years\n"
    "  -download              first fetch the site's logs by FTP (its remote settings)\n"
    "  -mail                  then zip the output folder and mail it (main.ini's mail settings)\n"
    "  -allsites              analyse every site in order (-download and -mail apply to each)\n"
    "  -schedule              run the due tasks of schedule.ini, note their times, and exit;\n"
    "                         for cron: */5 * * * * trelvar -console -schedule\n"
    "  -exit                  accepted for compatibility; changes nothing\n"
    "  -h, --help             show this text and exit\n"
    "  --version              show the version and exit\n"
    "\n"
    "Run as a CGI program (SERVER_SOFTWARE set), the output is an HTML page.\n"
    "TRELVAR_DATA_DIR selects the data folder.\n"
    "\n"
    "Exit status of -console:\n"
    "  0  the analysis is complete\n"
    "  1  it failed (also a failed download or mail); the error line says why\n"
    "  2  the command line could not be used\n"
    "  3  the pages were written, but the input was incomplete (a damaged or unreadable\n"
    "     log file, a listed file that vanished, a log path that matched no file, or no\n"
    "     line counted); a warning line names each cause\n";

// The windowed application lives in trelvar-ui.so beside the program, so
// that console and CGI runs never load the window toolkit.
int RunWindowed(int argc, char** argv) {
  const std::string path = trelvar::platform::ProgramFolder() + "trelvar-ui.so";
  std::string error;
  const auto module = trelvar::platform::TSharedLibrary::Load(path, &error);
  using TEntry = int (*)(int, char**);
  const auto entry =
      module != nullptr ? reinterpret_cast<TEntry>(module->Symbol("TrelvarRunWindowed")) : nullptr;
  if (entry == nullptr) {
    trelvar::platform::WriteStderr(
        "The windowed application could not be loaded from " + path +
        (error.empty() ? std::string() : " (" + error + ")") +
        "; use -console for an analysis run.\n");
    return 2;
  }
  return entry(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace trelvar;
  platform::IgnoreBrokenPipe();
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      platform::WriteStdout(kUsage);
      return 0;
    }
    if (a == "--version") {
      platform::WriteStdout(std::string("Trelvar ") + TRELVAR_VERSION + "\n");
      return 0;
    }
  }

  TCmdLine cmd;
  const std::string error = cmd.Parse(args);
  if (!error.empty()) platform::WriteStderr(error + "\n");

  if (cmd.console) {
    // What the run made stays to the end of the process: exit() hands its
    // memory back to the system at once, far faster than freeing the report
    // set's millions of records one by one (a fifth of a second on a large
    // log). It stays reachable from this frame, so leak checkers pass it.
    std::unique_ptr<TRunContext> run;
    std::exit(RunOneShot(cmd, run));
  }
  // The window reads its own copy of the command line and shows a value
  // that does not convert in a dialog.
  return RunWindowed(argc, argv);
}
