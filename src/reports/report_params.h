// ReportParam: the named values of a log line that reports count and
// filter on ("href", "country", "browser_version", ...), with their keys in
// definition lines, their translated captions and the raw field each needs
// from the log format. Pure functions, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

enum ReportParam : uint8_t {
  kParamNone = 0, kParamHost = 1, kParamIp = 2, kParamCountry = 3, kParamHref = 4,
  kParamSite = 5, kParamPath = 6, kParamReferrer = 7, kParamRefSite = 8, kParamRefPath = 9,
  kParamRefDomain = 10, kParamYear = 11, kParamMonth = 12, kParamDay = 13, kParamHour = 14,
  kParamMin = 15, kParamSec = 16, kParamMonthName = 17, kParamDayOfWeek = 18, kParamAgent = 19,
  kParamBrowser = 20, kParamBrowserVersion = 21, kParamPlatform = 22, kParamPlatformVersion = 23,
  kParamMethod = 24, kParamUriQuery = 25, kParamFileExt = 26, kParamBytes = 27,
  kParamCookie = 28, kParamStatus = 29, kParamUserName = 30, kParamUserDomain = 31,
  kParamUserSite = 32, kParamTimeTaken = 33, kParamVisitLength = 34, kParamRobot = 35,
};
inline constexpr int kParamCount = 36;

std::string ParamKey(uint8_t code);
// Trimmed and lower-cased; unknown keys give kParamNone.
uint8_t ParamFromKey(std::string_view key);
// The translated caption ("Referrer", "Browser Version", ...).
std::string ParamCaption(uint8_t code);

// Whether the log format's field codes supply what `code` needs.
bool IsParamSupported(const std::vector<int>& fields, uint8_t code);
// "<p>Warning: Your log file does not support <caption>. So report ..."
std::string UnsupportedWarning(uint8_t code, const std::string& report_name);

}  // namespace trelvar
