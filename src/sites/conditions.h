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

enum FilterCondition : uint8_t {
  kIncludes = 0,
  kNotIncludes = 1,
  kEquals = 2,
  kNotEquals = 3,
  kIncludedInFile = 4,
  kNotIncludedInFile = 5,
  kIncludedInFileOnce = 6,
  kIncludedIn = 7,
  kNotIncludedIn = 8,
};

inline constexpr int kConditionCount = 9;

// A value list: the lines of a value file, or none.
using TValueList = std::vector<std::string>;

// Trimmed and lower-cased, compared with the names in files ("includes",
// "not_included_in_file", ...); an unknown name gives kIncludes.
FilterCondition ConditionFromName(std::string_view name);
// The name in files; "includes" for a code outside the table.
std::string ConditionName(uint8_t code);

// True when `part` is not empty and occurs in `text`.
bool Occurs(std::string_view part, std::string_view text);

// The truth of `code` for the tested text; `list` may be null (no list).
bool ConditionHolds(uint8_t code, std::string_view text, std::string_view value,
                    TValueList* list);

// True for the conditions whose value names a value file (4, 5, 6).
bool UsesValueFile(uint8_t code);

}  // namespace trelvar
