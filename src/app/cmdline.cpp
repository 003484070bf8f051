#include "app/cmdline.h"

#include "config/errors.h"
#include "config/text_helpers.h"

namespace trelvar {

TPeriodType PeriodTypeFromText(std::string_view text) {
  if (text == "all") return TPeriodType::All;
  if (text == "between") return TPeriodType::Between;
  if (text == "last") return TPeriodType::Last;
  return TPeriodType::None;
}

TCmdLine::TCmdLine() : period_from(Today() - 30), period_to(Today()) {}

namespace {

enum class TOption {
  Console, Exit, Analyze, OutputDir, LogPath, ReportFile,
  PeriodType, PeriodFrom, PeriodTo, PeriodLast, PeriodMeasure
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
        case TOption::OutputDir: output_folder = value; break;
        case TOption::LogPath: log_path = value; break;
        case TOption::ReportFile: report_file = value; break;
        case TOption::PeriodType: period_type = PeriodTypeFromText(value); break;
        case TOption::PeriodFrom: period_from = StrToDateTime(value); break;
        case TOption::PeriodTo: period_to = StrToDateTime(value); break;
        case TOption::PeriodLast: period_count = StrToInt(value); break;
        case TOption::PeriodMeasure: period_unit = StrToInt(value); break;
      }
    }
  } catch (const EConvertError& e) {
    return "Error during processing command line parameters: \n" + e.Message();
  }
  return "";
}

}  // namespace trelvar
