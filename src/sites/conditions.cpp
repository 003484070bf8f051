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

FilterCondition ConditionFromName(std::string_view name) {
  const std::string n = LowerCase(Trim(name));
  for (int i = 0; i < kConditionCount; ++i)
    if (n == kNames[i]) return static_cast<FilterCondition>(i);
  return kIncludes;
}

std::string ConditionName(uint8_t code) {
  return code < kConditionCount ? kNames[code] : kNames[0];
}

bool Occurs(std::string_view part, std::string_view text) {
  return !part.empty() && text.find(part) != std::string_view::npos;
}

bool UsesValueFile(uint8_t code) {
  return code == kIncludedInFile || code == kNotIncludedInFile || code == kIncludedInFileOnce;
}

bool ConditionHolds(uint8_t code, std::string_view text, std::string_view value,
                    TValueList* list) {
  switch (code) {
    case kIncludes: return Occurs(value, text);
    case kNotIncludes: return !Occurs(value, text);
    case kEquals: return text == value;
    case kNotEquals: return text != value;
    case kIncludedInFile:
      return list != nullptr && FirstOccurring(*list, text) != list->end();
    case kNotIncludedInFile:
      return list == nullptr || FirstOccurring(*list, text) == list->end();
    case kIncludedInFileOnce: {
      if (list == nullptr) return false;
      auto it = FirstOccurring(*list, text);
      if (it == list->end()) return false;
      list->erase(it);
      return true;
    }
    case kIncludedIn: return Occurs(text, value);
    case kNotIncludedIn: return !Occurs(text, value);
    default: return false;
  }
}

}  // namespace trelvar
