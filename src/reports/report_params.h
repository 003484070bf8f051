// ReportParam: the named values of a log line that reports count and
// filter on ("href", "country", "browser_version", ...), with their keys in
// definition lines, their translated captions and the raw field each needs
// from the log format. Pure functions, thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trelvar {

enum class ReportParam : uint8_t {
  kNone = 0, kHost = 1, kIp = 2, kCountry = 3, kHref = 4, kSite = 5, kPath = 6, kReferrer = 7,
  kRefSite = 8, kRefPath = 9, kRefDomain = 10, kYear = 11, kMonth = 12, kDay = 13, kHour = 14,
  kMin = 15, kSec = 16, kMonthName = 17, kDayOfWeek = 18, kAgent = 19, kBrowser = 20,
  kBrowserVersion = 21, kPlatform = 22, kPlatformVersion = 23, kMethod = 24, kUriQuery = 25,
  kFileExt = 26, kBytes = 27, kCookie = 28, kStatus = 29, kUserName = 30, kUserDomain = 31,
  kUserSite = 32, kTimeTaken = 33, kVisitLength = 34, kRobot = 35,
};

// The place of a parameter in tables ordered by its code, and the
// parameter at a place (below kParamCount).
constexpr size_t ParamIndex(ReportParam param) { return static_cast<size_t>(param); }
constexpr ReportParam ParamAt(size_t index) { return static_cast<ReportParam>(index); }
inline constexpr size_t kParamCount = ParamIndex(ReportParam::kRobot) + 1;

std::string ParamKey(ReportParam param);
// Trimmed and lower-cased; unknown keys give ReportParam::kNone.
ReportParam ParamFromKey(std::string_view key);
// The translated caption ("Referrer", "Browser Version", ...).
std::string ParamCaption(ReportParam param);

// Whether the log format's field codes supply what `param` needs.
bool IsParamSupported(const std::vector<int>& fields, ReportParam param);
// "<p>Warning: Your log file does not support <caption>. So report ..."
std::string UnsupportedWarning(ReportParam param, const std::string& report_name);

}  // namespace trelvar
