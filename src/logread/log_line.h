// The parsed log line and the shared current line that reports read.
//
// A parsed line carries 25 field texts by field code (the raw values cut
// by the template, after the site filters) and the derived record
// TLogLine (timestamp, split URLs, hit flag, browser and platform). The
// line parser hands each delivered line over into the one TCurrentLine of
// the run, which the reports read during ProcessLine. Plain values.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/web_helpers.h"

namespace trelvar {

// Field codes of the parsed line.
enum TFieldCode : int {
  kFieldNil = 0,
  kFieldHost = 1,
  kFieldIp = 2,
  kFieldHref = 3,
  kFieldReferrer = 4,
  kFieldYear = 5,
  kFieldMonth = 6,
  kFieldDay = 7,
  kFieldHour = 8,
  kFieldMin = 9,
  kFieldSec = 10,
  kFieldMonthName = 11,
  kFieldAgent = 12,
  kFieldMethod = 13,
  kFieldBytes = 14,
  kFieldCookie = 15,
  kFieldStatus = 16,
  kFieldUserName = 17,
  kFieldTimeTaken = 18,
  kFieldVersion = 19,
  kFieldNone = 20,
  kFieldUriQuery = 21,
  kFieldUserDomain = 22,
  kFieldUserSite = 23,
  kFieldRawLine = 24,
};
inline constexpr int kParsedFieldCount = 25;
inline constexpr int kCurrentFieldCount = 24;  // the raw line is not published

// A split URL shared by every line of the same URL (splits are remembered).
using TSplitRef = std::shared_ptr<const TSplitURL>;
// The split of the empty URL.
const TSplitRef& EmptySplit();
inline TSplitRef MakeSplit(const std::string& url) {
  return std::make_shared<const TSplitURL>(SplitUrl(url));
}

struct TLogLine {
  TDateTime timestamp = 0;
  std::string day_of_week;  // "1" (Sunday) .. "7"
  TSplitRef request = EmptySplit();
  TSplitRef referrer = EmptySplit();
  bool is_hit = false;
  std::string browser;
  std::string browser_version;  // the major version number ("129")
  std::string platform;
  std::string platform_version;
  // The parser's number of the agent's text, equal for equal texts while
  // its memo holds them and never given to another text; 0 when the agent
  // was not looked at. The same for the splits (0: the empty split), which
  // the driver may leave empty when no report reads them.
  uint64_t agent_serial = 0;
  uint64_t request_serial = 0;
  uint64_t referrer_serial = 0;

  // Takes over the values of `other`, reusing this line's storage (short
  // texts copy faster than they swap). The splits are swapped: counting
  // references costs atomic operations, and `other` is parsed afresh.
  void TakeFrom(TLogLine& other) {
    timestamp = other.timestamp;
    day_of_week.assign(other.day_of_week);
    request.swap(other.request);
    referrer.swap(other.referrer);
    is_hit = other.is_hit;
    browser.assign(other.browser);
    browser_version.assign(other.browser_version);
    platform.assign(other.platform);
    platform_version.assign(other.platform_version);
    agent_serial = other.agent_serial;
    request_serial = other.request_serial;
    referrer_serial = other.referrer_serial;
  }
};

// A line between parsing and hand-over. `views` are its field values:
// they point into the raw line (fields[kFieldRawLine]; parsing ahead, the
// reader's buffer until the line is packed) where the cut left them, into
// `fields` where the parser rewrote a value, or into the parser's memo of
// the request's URL (the query); the other `fields` are stale storage kept
// for reuse. The reverse DNS reads the address and
// writes the user name in `fields`, and the views follow at the hand-over.
struct TLineParserLogLine {
  std::array<std::string, kParsedFieldCount> fields;
  std::array<std::string_view, kParsedFieldCount> views;
  TLogLine line;
  bool dns_done = true;  // field 17 holds the resolved name, or none is needed
  int dns_worker = -1;
  uint32_t file_no = 0;  // the log file of the pass it comes from, from 1
  int64_t progress_kb = 0;  // the reading progress when it was read
  // The splits of `line` in the parser's memo (when parsing ahead, `line`
  // does not hold them).
  const TSplitRef* request_ref = nullptr;
  const TSplitRef* referrer_ref = nullptr;
};

// What became of the raw lines of a pass: every line read is counted by
// the reports or rejected, filtered out, outside the analysis period or
// already in the cache (see line_parser.h).
struct TLineCounts {
  int64_t read = 0;
  int64_t rejected = 0;
  int64_t filtered = 0;
  int64_t outside = 0;
  int64_t already = 0;
};

struct TCurrentLine {
  std::array<std::string, kCurrentFieldCount> fields;
  TLogLine line;

  void Clear() {
    for (std::string& f : fields) f.clear();
    line = TLogLine();
  }
};

}  // namespace trelvar
