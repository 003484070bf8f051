// Fuzz target: the line parser over one log file, with the visit tracker
// fed every delivered line.
//
// Input: the first byte chooses how the file is read, the rest is the log
// text (written to a file once per input):
//   bits 0-5  one of the shipped formats (the "LogFormat=" lines of the
//             shipped main.ini, modulo their number)
//   bit 6     the file is named "ex051208.log" (dates from the file name)
//             instead of "access.log"
//   bit 7     format recognition on, so headers in the text may replace
//             the chosen format
// The parser runs with the shipped main settings, a site with a few
// filters and an analysis period.
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/errors.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "fuzz_support.h"
#include "logread/line_parser.h"
#include "logread/reject_log.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "sites/log_formats.h"
#include "sites/sites_registry.h"

namespace trelvar {
namespace {

// Filters that drop, assign (with field references) and replace.
const char kSite[] =
    "name=Fuzzed\r\n"
    "filter=agent;includes;bot;skip_line;\r\n"
    "filter=referrer;equals;-;assign;<ip> via <method>\r\n"
    "filter=href;includes;/old/;replace_all;/new/\r\n"
    "filter=uri_query;includes;sid=;replace_right;\r\n";

struct TWorld {
  TFolders folders{fuzz::TempFolder() + "prog/", fuzz::TempFolder() + "data/"};
  TLogFmts formats;
  std::vector<TLogFmts::TEntry> shipped_formats;
  std::unique_ptr<TMainSettings> settings;
  TWS sites{folders};
  TDateTime period_from = EncodeDate(1995, 1, 1);
  TDateTime period_to = EncodeDate(2035, 12, 31) + EncodeTime(23, 59, 59);

  TWorld() {
    fuzz::SilenceOutput();
    platform::ForceFolders(folders.Data());
    fuzz::WriteBytes(folders.Data() + "main.ini", fuzz::ShippedFile("main.ini"));
    settings = std::make_unique<TMainSettings>(folders, formats, nullptr);
    settings->reverse_dns_lookup = false;  // the target never leaves the machine
    shipped_formats = formats.Entries();
    if (shipped_formats.empty()) fuzz::Fail("the shipped main.ini holds no log format");
    sites.LoadFromText(kSite);
  }

  // Recognition may have added formats; each input starts from the shipped ones.
  void RestoreFormats() {
    if (formats.Entries().size() == shipped_formats.size()) return;
    formats.Clear();
    for (const TLogFmts::TEntry& e : shipped_formats)
      formats.AddFormatLine(e.name + ";" + e.line_template);
  }
};

}  // namespace
}  // namespace trelvar

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace trelvar;
  static TWorld world;
  if (size == 0) return 0;
  const uint8_t choice = data[0];
  world.RestoreFormats();
  const std::string& line_template =
      world.shipped_formats[(choice & 0x3f) % world.shipped_formats.size()].line_template;
  world.settings->auto_recognize_log_format = (choice & 0x80) != 0;
  const std::string path =
      world.folders.Data() + ((choice & 0x40) != 0 ? "ex051208.log" : "access.log");
  fuzz::WriteBytes(path, fuzz::AsText(data + 1, size - 1));

  TCurrentLine current;
  TLineParser::TEnvironment env;
  env.folders = &world.folders;
  env.settings = world.settings.get();
  env.formats = &world.formats;
  env.site = &world.sites.Site(0);
  env.current = &current;
  TLineParser parser(env);
  parser.SetSiteTemplate(line_template);
  parser.ResetTemplate();
  parser.SetPeriod(true, world.period_from, world.period_to);
  std::ostringstream errors;
  TRejectLog reporter{&errors};
  parser.SetReporter(&reporter);

  TVisLine visits(current);
  try {
    parser.BeginScan(path);
    while (!parser.Finished()) {
      if (!parser.GetLine()) continue;
      // As the driver does it: once per line, then the reports read.
      visits.SetDone(false);
      visits.EnsureUpdated();
      for (const auto& v : visits.FinishedVisits()) (void)TVisLine::VisitDuration(*v);
    }
    (void)visits.OpenVisits();
  } catch (const EInOutError&) {
    // The log file's own errors end a pass by design.
  }
  return 0;
}
