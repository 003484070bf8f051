#include "sites/conditions.h"

#include <algorithm>

#include "base/text_helpers.h"

namespace trelvar {

namespace {

const char* const kNames[kConditionCount] = {
    "includes",          "not_includes",         "equals",
    "not_equals",        "included_in_file",     "not_included_in_file",
    "included_in_file_once", "included_in",      "not_included_in",
};

// The first line of `list` that occurs in `text`, or end.
TValueList::iterator FirstOccurring(TValueList& list, std::string_view text) {
  return std::find_if(list.begin(), list.end(),
                      [&](const std::string& line) { return Occurs(line, text); });
}

}  // namespace

TFilterCondition ConditionFromName(std::string_view name) {
  const std::string n = LowerCase(Trim(name));
  for (int i = 0; i < kConditionCount; ++i)
    if (n == kNames[i]) return static_cast<TFilterCondition>(i);
  return TFilterCondition::Includes;
}

std::string ConditionName(TFilterCondition condition) {
  const auto code = static_cast<uint8_t>(condition);
  return code < kConditionCount ? kNames[code] : kNames[0];
}

bool Occurs(std::string_view part, std::string_view text) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

bool UsesValueFile(TFilterCondition condition) {
  return condition == TFilterCondition::IncludedInFile ||
         condition == TFilterCondition::NotIncludedInFile ||
         condition == TFilterCondition::IncludedInFileOnce;
}

bool ConditionHolds(TFilterCondition condition, std::string_view text, std::string_view value,
                    TValueList* list) {
  switch (condition) {
    case TFilterCondition::Includes: return Occurs(value, text);
    case TFilterCondition::NotIncludes: return !Occurs(value, text);
    case TFilterCondition::Equals: return text == value;
    case TFilterCondition::NotEquals: return text != value;
    case TFilterCondition::IncludedInFile:
      return list != nullptr && FirstOccurring(*list, text) != list->end();
    case TFilterCondition::NotIncludedInFile:
      return list == nullptr || FirstOccurring(*list, text) == list->end();
    case TFilterCondition::IncludedInFileOnce: {
      if (list == nullptr) return false;
      auto it = FirstOccurring(*list, text);
      if (it == list->end()) return false;
      list->erase(it);
      return true;
    }
    case TFilterCondition::IncludedIn: return Occurs(text, value);
    case TFilterCondition::NotIncludedIn: return !Occurs(text, value);
    default: return false;
  }
}

}  // namespace trelvar
