#include "sites/website.h"

namespace trelvar {

namespace {

struct TParam {
  const char* key;
  int line_field;
};

// By code 1..19.
const TParam kParams[] = {
    {"", 0},          {"year", 5},     {"month", 6},   {"day", 7},         {"hour", 8},
    {"min", 9},       {"sec", 10},     {"month_", 11}, {"host", 1},        {"ip", 2},
    {"href", 3},      {"referrer", 4}, {"time_taken", 18}, {"version", 19}, {"agent", 12},
    {"method", 13},   {"bytes", 14},   {"cooki", 15},  {"status", 16},     {"uri_query", 21},
};
constexpr uint8_t kParamCount = sizeof kParams / sizeof kParams[0];

const char* const kActions[kSiteFilterActionCount] = {
    "assign", "replace_left", "replace_right", "replace_all", "skip_line", "add_right"};

}  // namespace

uint8_t SiteParamFromKey(std::string_view key) {
  for (uint8_t code = 1; code < kParamCount; ++code)
    if (key == kParams[code].key) return code;
  return 0;
}

std::string SiteParamKey(uint8_t code) {
  return code > 0 && code < kParamCount ? kParams[code].key : "";
}

int SiteParamLineField(uint8_t code) {
  return code > 0 && code < kParamCount ? kParams[code].line_field : 0;
}

std::optional<TFilterAction> SiteActionFromKey(std::string_view key) {
  for (int i = 0; i < kSiteFilterActionCount; ++i)
    if (key == kActions[i]) return static_cast<TFilterAction>(i);
  return std::nullopt;
}

std::string SiteActionKey(TFilterAction action) {
  const auto code = static_cast<uint8_t>(action);
  return code < kSiteFilterActionCount ? kActions[code] : "";
}

}  // namespace trelvar
