// The nine value conditions shared by site filters and report filters.
//
// A condition tests a text T of a log line against a filter value V, or
// against the lines L of a value file. "Occurs in" is a case-sensitive
// substring test in which the empty text occurs in nothing. Pure functions
// apart from code 6, which removes the line it matched from L so that each
// line matches at most once per pass. Not thread-safe for a shared L.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

// The codes are those of the filter tables; files name them by text.
enum class TFilterCondition : uint8_t {
  Includes = 0,
  NotIncludes = 1,
  Equals = 2,
  NotEquals = 3,
  IncludedInFile = 4,
  NotIncludedInFile = 5,
  IncludedInFileOnce = 6,
  IncludedIn = 7,
  NotIncludedIn = 8,
};

inline constexpr int kConditionCount = 9;

// A value list: the lines of a value file, or none.
using TValueList = std::vector<std::string>;

// Trimmed and lower-cased, compared with the names in files ("includes",
// "not_included_in_file", ...); an unknown name gives Includes.
TFilterCondition ConditionFromName(std::string_view name);
// The name in files.
std::string ConditionName(TFilterCondition condition);

// True when `part` is not empty and occurs in `text`.
bool Occurs(std::string_view part, std::string_view text);

// The truth of `condition` for the tested text; `list` may be null (no
// list).
bool ConditionHolds(TFilterCondition condition, std::string_view text, std::string_view value,
                    TValueList* list);

// True for the conditions whose value names a value file (4, 5, 6).
bool UsesValueFile(TFilterCondition condition);

}  // namespace trelvar
