#include "reports/report_params.h"

#include <algorithm>

#include "base/text_helpers.h"
#include "config/translator.h"

namespace trelvar {

namespace {

constexpr int kAlways = -1;
constexpr int kNever = -2;

struct TParamInfo {
  const char* key;
  int needs;  // raw field code, kAlways or kNever
};

const TParamInfo kParams[kParamCount] = {
    {"none", kNever},          {"host", 1},          {"ip", 2},
    {"country", 2},            {"href", 3},          {"site", kAlways},
    {"path", kAlways},         {"referrer", 4},      {"ref_site", 4},
    {"ref_path", 4},           {"ref_domain", 4},    {"year", 5},
    {"month", 6},              {"day", 7},           {"hour", 8},
    {"min", 9},                {"sec", 10},          {"month_", 6},
    {"day_of_week", 7},        {"agent", 12},        {"browser", kAlways},
    {"browser_version", kAlways}, {"platform", kAlways}, {"platform_version", kAlways},
    {"method", kAlways},       {"uri_query", 21},    {"file_ext", 3},
    {"bytes", kAlways},        {"cooki", kAlways},   {"status", kAlways},
    {"username", 17},          {"userdomain", 17},   {"usersite", 17},
    {"time_taken", kNever},    {"visit_length", kNever}, {"robot", 12},
};

}  // namespace

std::string ParamKey(uint8_t code) { return code < kParamCount ? kParams[code].key : "none"; }

uint8_t ParamFromKey(std::string_view key) {
  const std::string k = LowerCase(Trim(key));
  for (int i = 0; i < kParamCount; ++i)
    if (k == kParams[i].key) return static_cast<uint8_t>(i);
  return kParamNone;
}

std::string ParamCaption(uint8_t code) {
  switch (code) {
    case kParamHost: return Translate(312, "Host");
    case kParamIp: return Translate(313, "IP");
    case kParamCountry: return Translate(412, "Country");
    case kParamHref: return Translate(314, "href");
    case kParamSite: return Translate(315, "Site");
    case kParamPath: return Translate(316, "Path");
    case kParamReferrer: return Translate(317, "Referrer");
    case kParamRefSite: return Translate(318, "Referrer site");
    case kParamRefPath: return Translate(319, "Referrer path");
    case kParamRefDomain: return Translate(320, "Referrer domain");
    case kParamYear: return Translate(321, "Year");
    case kParamMonth: return Translate(322, "Month");
    case kParamDay: return Translate(323, "Day");
    case kParamHour: return Translate(324, "Hour");
    case kParamMin: return Translate(325, "Min");
    case kParamSec: return Translate(326, "Sec");
    case kParamMonthName: return Translate(327, "Month_");
    case kParamDayOfWeek: return Translate(328, "Day of week");
    case kParamAgent: return Translate(329, "Agent");
    case kParamBrowser: return Translate(330, "Browser");
    case kParamBrowserVersion: return Translate(331, "Browser Version");
    case kParamPlatform: return Translate(332, "Platform");
    case kParamPlatformVersion: return Translate(333, "Platform Version");
    case kParamMethod: return Translate(334, "HTTP Method");
    case kParamUriQuery: return Translate(335, "Referrer ID (uri query)");
    case kParamFileExt: return Translate(336, "File extension");
    case kParamBytes: return Translate(337, "Bytes");
    case kParamCookie: return Translate(338, "Cookie");
    case kParamStatus: return Translate(339, "HTTP Status");
    case kParamUserName: return Translate(340, "Username");
    case kParamUserDomain: return Translate(341, "User domain");
    case kParamUserSite: return Translate(342, "User site");
    case kParamTimeTaken: return Translate(343, "Time taken");
    case kParamVisitLength: return "";
    case kParamRobot: return Translate(1050, "Robot");
    default: return Translate(132, "none");
  }
}

bool IsParamSupported(const std::vector<int>& fields, uint8_t code) {
  if (code >= kParamCount) return false;
  const int needs = kParams[code].needs;
  if (needs == kAlways) return true;
  if (needs == kNever) return false;
  return std::find(fields.begin(), fields.end(), needs) != fields.end();
}

std::string UnsupportedWarning(uint8_t code, const std::string& report_name) {
  return "<p>" + Translate(281, "Warning: Your log file does not support") + " " +
         ParamCaption(code) + ". " + Translate(282, "So report") + " \"" + report_name + "\" " +
         Translate(283, "will be not shown. Read FAQ.") + "</p>";
}

}  // namespace trelvar
