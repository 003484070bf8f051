#include "app/cmdline.h"

#include "base/errors.h"
#include "base/text_helpers.h"

namespace trelvar {

TCmdLine::TCmdLine() {
  job.period.from = Today() - 30;
  job.period.to = Today();
}

namespace {

enum class TOption {
  Console, Exit, Analyze, OutputDir, LogPath, ReportFile,
  PeriodType, PeriodFrom, PeriodTo, PeriodLast, PeriodMeasure,
  Download, Mail, AllSites, Schedule
};

struct TPrefix {
  const char* text;
  TOption option;
};

// In the order they are tried.
const TPrefix kPrefixes[] = {
    {"-console", TOption::Console},         {"-exit", TOption::Exit},
    {"-analyze:", TOption::Analyze},        {"-outputdir:", TOption::OutputDir},
    {"-logpath:", TOption::LogPath},        {"-reportfile:", TOption::ReportFile},
    {"-periodtype:", TOption::PeriodType},  {"-periodfrom:", TOption::PeriodFrom},
    {"-periodto:", TOption::PeriodTo},      {"-periodlast:", TOption::PeriodLast},
    {"-periodmeasure:", TOption::PeriodMeasure},
    {"-download", TOption::Download},       {"-mail", TOption::Mail},
    {"-allsites", TOption::AllSites},       {"-schedule", TOption::Schedule},
};

}  // namespace

std::string TCmdLine::Parse(const std::vector<std::string>& args) {
  has_parameters = !args.empty();
  try {
    for (const std::string& arg : args) {
      const std::string lower = LowerCase(arg);
      const TPrefix* match = nullptr;
      for (const TPrefix& p : kPrefixes) {
        if (lower.rfind(p.text, 0) == 0) {
          match = &p;
          break;
        }
      }
      if (match == nullptr) continue;
      const std::string value = AfterChar(arg, ':');
      switch (match->option) {
        case TOption::Console: console = true; break;
        case TOption::Exit: break;
        case TOption::Analyze:
          if (LowerCase(value) != "all") site_name = value;
          break;
        case TOption::OutputDir: job.output_folder = value; break;
        case TOption::LogPath: job.log_path = value; break;
        case TOption::ReportFile: job.report_file = value; break;
        case TOption::PeriodType: job.period.type = PeriodTypeFromText(value); break;
        case TOption::PeriodFrom: job.period.from = StrToDateTime(value); break;
        case TOption::PeriodTo: job.period.to = StrToDateTime(value); break;
        case TOption::PeriodLast: job.period.count = StrToInt(value); break;
        case TOption::PeriodMeasure: job.period.unit = StrToInt(value); break;
        case TOption::Download: download = true; break;
        case TOption::Mail: mail = true; break;
        case TOption::AllSites: all_sites = true; break;
        case TOption::Schedule: schedule = true; break;
      }
    }
  } catch (const EConvertError& e) {
    return "Error during processing command line parameters: \n" + e.Message();
  }
  return "";
}

}  // namespace trelvar
