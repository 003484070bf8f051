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

std::string ParamKey(ReportParam param) {
  return ParamIndex(param) < kParamCount ? kParams[ParamIndex(param)].key : "none";
}

ReportParam ParamFromKey(std::string_view key) {
  const std::string k = LowerCase(Trim(key));
  for (size_t i = 0; i < kParamCount; ++i)
    if (k == kParams[i].key) return ParamAt(i);
  return ReportParam::kNone;
}

std::string ParamCaption(ReportParam param) {
  switch (param) {
    case ReportParam::kHost: return Translate(312, "Host");
    case ReportParam::kIp: return Translate(313, "IP");
    case ReportParam::kCountry: return Translate(412, "Country");
    case ReportParam::kHref: return Translate(314, "href");
    case ReportParam::kSite: return Translate(315, "Site");
    case ReportParam::kPath: return Translate(316, "Path");
    case ReportParam::kReferrer: return Translate(317, "Referrer");
    case ReportParam::kRefSite: return Translate(318, "Referrer site");
    case ReportParam::kRefPath: return Translate(319, "Referrer path");
    case ReportParam::kRefDomain: return Translate(320, "Referrer domain");
    case ReportParam::kYear: return Translate(321, "Year");
    case ReportParam::kMonth: return Translate(322, "Month");
    case ReportParam::kDay: return Translate(323, "Day");
    case ReportParam::kHour: return Translate(324, "Hour");
    case ReportParam::kMin: return Translate(325, "Min");
    case ReportParam::kSec: return Translate(326, "Sec");
    case ReportParam::kMonthName: return Translate(327, "Month_");
    case ReportParam::kDayOfWeek: return Translate(328, "Day of week");
    case ReportParam::kAgent: return Translate(329, "Agent");
    case ReportParam::kBrowser: return Translate(330, "Browser");
    case ReportParam::kBrowserVersion: return Translate(331, "Browser Version");
    case ReportParam::kPlatform: return Translate(332, "Platform");
    case ReportParam::kPlatformVersion: return Translate(333, "Platform Version");
    case ReportParam::kMethod: return Translate(334, "HTTP Method");
    case ReportParam::kUriQuery: return Translate(335, "Referrer ID (uri query)");
    case ReportParam::kFileExt: return Translate(336, "File extension");
    case ReportParam::kBytes: return Translate(337, "Bytes");
    case ReportParam::kCookie: return Translate(338, "Cookie");
    case ReportParam::kStatus: return Translate(339, "HTTP Status");
    case ReportParam::kUserName: return Translate(340, "Username");
    case ReportParam::kUserDomain: return Translate(341, "User domain");
    case ReportParam::kUserSite: return Translate(342, "User site");
    case ReportParam::kTimeTaken: return Translate(343, "Time taken");
    case ReportParam::kVisitLength: return "";
    case ReportParam::kRobot: return Translate(1050, "Robot");
    default: return Translate(132, "none");
  }
}

bool IsParamSupported(const std::vector<int>& fields, ReportParam param) {
  if (ParamIndex(param) >= kParamCount) return false;
  const int needs = kParams[ParamIndex(param)].needs;
  if (needs == kAlways) return true;
  if (needs == kNever) return false;
  return std::find(fields.begin(), fields.end(), needs) != fields.end();
}

std::string UnsupportedWarning(ReportParam param, const std::string& report_name) {
  return "<p>" + Translate(281, "Warning: Your log file does not support") + " " +
         ParamCaption(param) + ". " + Translate(282, "So report") + " \"" + report_name + "\" " +
         Translate(283, "will be not shown. Read FAQ.") + "</p>";
}

}  // namespace trelvar
