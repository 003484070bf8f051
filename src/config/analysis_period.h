// The period an analysis may be limited to, as the command line, the main
// settings and the main window choose it.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/datetime.h"

namespace trelvar {

enum class TPeriodType : uint8_t { All = 0, Between = 1, Last = 2, None = 3 };

// "all", "between", "last" (exact case); any other text gives None.
TPeriodType PeriodTypeFromText(std::string_view text);
// The words of main.ini: "all", "between", "last", "none".
const char* PeriodTypeWord(TPeriodType type);
// The words of the period units: "hours", "days", "months", "years"
// ("days" for a unit out of range).
const char* PeriodUnitWord(int unit);

// One choice of period: "between" uses the dates, "last" the count and
// unit, "all" none of them, None leaves the period as it was.
struct TPeriodChoice {
  TPeriodType type = TPeriodType::None;
  TDateTime from = 0;
  TDateTime to = 0;
  int count = 30;
  int unit = 1;  // 0 hours, 1 days, 2 months, 3 years
};

}  // namespace trelvar
