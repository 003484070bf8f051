// TCmdLine: the options of the command line.
//
// Each argument is lower-cased and matched against the option prefixes in
// a fixed order; the first prefix it begins with decides, others are
// ignored. A value is the argument after its first ":" with its letter
// case kept. A value that does not convert stops the parse; the options
// read before stay set.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "config/datetime.h"

namespace trelvar {

enum class TPeriodType : uint8_t { All = 0, Between = 1, Last = 2, None = 3 };

// "all", "between", "last" (exact case); any other text gives None.
TPeriodType PeriodTypeFromText(std::string_view text);

class TCmdLine {
 public:
  TCmdLine();

  // Reads the arguments (without the program name). Returns "" or, when a
  // value does not convert, the text the user must be shown.
  std::string Parse(const std::vector<std::string>& args);

  bool has_parameters = false;
  bool console = false;
  std::string site_name;
  std::string output_folder;
  std::string log_path;
  std::string report_file;
  TPeriodType period_type = TPeriodType::None;
  TDateTime period_from;  // today 00:00 minus 30 days
  TDateTime period_to;    // today 00:00
  int period_count = 30;
  int period_unit = 1;  // 0 hours, 1 days, 2 months, 3 years
};

}  // namespace trelvar
