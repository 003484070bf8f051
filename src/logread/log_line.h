// The parsed log line and the shared current line that reports read.
//
// A parsed line carries 25 field texts by field code (the raw values cut
// by the template, after the site filters) and the derived record
// TLogLine (timestamp, split URLs, hit flag, browser and platform). The
// line parser hands each delivered line over into the one TCurrentLine of
// the run, which the reports read during ProcessLine. Plain values.
#pragma once

#include <array>
#include <string>

#include "config/datetime.h"
#include "config/web_helpers.h"

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

struct TLogLine {
  TDateTime timestamp = 0;
  std::string day_of_week;  // "1" (Sunday) .. "7"
  TSplitURL request;
  TSplitURL referrer;
  bool is_hit = false;
  std::string browser;
  std::string browser_version;  // one character
  std::string platform;
  std::string platform_version;
};

struct TLineParserLogLine {
  std::array<std::string, kParsedFieldCount> fields;
  TLogLine line;
  bool dns_done = true;  // field 17 holds the resolved name, or none is needed
  int dns_worker = -1;
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
