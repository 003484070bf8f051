#include "config/analysis_period.h"

namespace trelvar {

TPeriodType PeriodTypeFromText(std::string_view text) {
  if (text == "all") return TPeriodType::All;
  if (text == "between") return TPeriodType::Between;
  if (text == "last") return TPeriodType::Last;
  return TPeriodType::None;
}

const char* PeriodTypeWord(TPeriodType type) {
  switch (type) {
    case TPeriodType::All: return "all";
    case TPeriodType::Between: return "between";
    case TPeriodType::Last: return "last";
    default: return "none";
  }
}

const char* PeriodUnitWord(int unit) {
  static const char* const kUnitWords[4] = {"hours", "days", "months", "years"};
  return unit >= 0 && unit < 4 ? kUnitWords[unit] : "days";
}

}  // namespace trelvar
