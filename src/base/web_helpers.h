// Texts of the web: URL decoding and splitting, user agents, HTTP status,
// month and day names, durations and date patterns in paths.
//
// Pure functions, thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace trelvar {

// The host of our own download site: a URL naming it gets an "a" appended
// before it is split, so that its bare folder addresses keep a document.
inline constexpr std::string_view kDownloadSiteHost = "download.trelvar.org";

// "+" to blank, the four entities, then repeated percent passes; a pair
// after "%" that is not hexadecimal stops the decoding there.
std::string DecodeUrlText(std::string text);

// Everything after the last "/".
std::string UrlLastPart(std::string_view text);

// A URL cut into its parts. The parts are pieces of one text the split
// owns (the lower-cased site, then the rest of the URL as given), so a
// split costs one string however many parts are read; copies stay valid.
class TSplitURL {
 public:
  // scheme "//" host[:port], lower-cased
  std::string_view site() const { return Part(0, path_); }
  // up to and including the last "/"
  std::string_view path() const { return Part(path_, document_); }
  // after the last "/"
  std::string_view document() const { return Part(document_, query_); }
  // from the first "?", "?" included
  std::string_view query() const { return Part(query_, text_.size()); }
  // of the document, with its dot
  std::string_view extension() const { return Part(extension_, query_); }
  // the site after its last "." without the port
  std::string_view top_level() const { return Part(top_level_, top_level_end_); }
  std::string_view port() const { return Part(port_, path_); }
  // Site, path and document: the URL without its query.
  std::string_view WithoutQuery() const { return Part(0, query_); }

 private:
  friend TSplitURL SplitUrl(std::string text);
  std::string_view Part(size_t from, size_t to) const {
    return std::string_view(text_).substr(from, to - from);
  }
  std::string text_;
  uint32_t path_ = 0, document_ = 0, query_ = 0, extension_ = 0;
  uint32_t top_level_ = 0, top_level_end_ = 0, port_ = 0;
};
TSplitURL SplitUrl(std::string text);

// "jan".."dec" in any case give 0..11; anything else 255.
int MonthIndex(std::string_view name);
// 1..7 give "Sun".."Sat"; anything else "-".
std::string DayName(int n);

// "Code 200 OK" and so on; "Code " + text for other numbers; "" for an
// empty text or one that is not a number.
std::string StatusText(std::string_view code);

struct TAgentInfo {
  std::string browser;
  std::string browser_version;   // the whole major number ("129"), or empty
  std::string platform;
  std::string platform_version;  // "10", "14", "10.15", "(Linux)" ..., or empty
};
// Browser and platform of a user agent ("+" read as blank), each from the
// first rule of an ordered table that fits. Any text is safe to pass.
TAgentInfo DetectAgent(std::string agent);

// "1 hour, 30 mins, 0 secs, 0 msecs." with leading zero units removed.
std::string DurationText(double days);

// Replaces every "<pattern>" with `now` formatted by that date pattern.
std::string ExpandDatePatterns(std::string_view text, TDateTime now);
std::string ExpandDatePatterns(std::string_view text);
// The same with other brackets around the patterns, such as "(" and ")".
std::string ExpandDatePatterns(std::string_view text, TDateTime now, char open, char close);

// Escapes "&", "<", ">" and '"' for HTML.
std::string HtmlEscape(std::string_view text);
// The text as the inside of a double-quoted JavaScript string that cannot
// end its script element.
std::string JsEscape(std::string_view text);

// A client address in IPv6 text form ("::1", "2001:db8::7",
// "::ffff:10.0.0.1"), with an optional zone ("%eth0").
bool IsIPv6Address(std::string_view text);

}  // namespace trelvar
