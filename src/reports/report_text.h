// Text forms shared by the report pages: numbers with two decimals, times
// in seconds, date-time labels, word wrapping of long URLs, and the safe
// writing of a report's own files.
//
// The wrapping helpers take raw log text and return HTML: every piece is
// escaped and the inserted breaks are "<br>" tags. Pure functions apart
// from WriteOutputFile; thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "base/datetime.h"

namespace trelvar {

// Fixed notation with two decimals and "." ("12.50"); "-" for a value that
// is not a finite number (a share of nothing).
std::string Fixed(double value);
// The nearest integer, halves to even ("3"); "-" for a value that is not
// finite or lies beyond the 64-bit integers, which no conversion can hold.
std::string RoundedText(double value);
// A span in days as seconds.
inline double Seconds(TDateTime days) { return days * 86400.0; }
// Short date, then a blank and the long time unless the time is exactly
// midnight: "2026-12-08" or "2026-12-08 14:05:00"; "-" for a value outside
// the years 1 to 9999.
std::string DateTimeText(TDateTime t);

// Word wrapping: walking the text, the last break character seen outside
// single or double quotes is remembered; when a line grows beyond `width`
// characters and a break point is known, a break goes in after that
// character and counting starts again behind it. Text without break
// characters is not broken.
std::string WrapHtml(std::string_view text, size_t width, std::string_view break_chars);
// Path breaking: the text is cut into segments that each end with "/" or
// "\"; segments fill lines of at most `width` characters (a longer first
// segment gets a leading break), and the trailing rest goes on the last
// line unless that would make it longer than `width`.
std::string PathBreakHtml(std::string_view text, size_t width = 50);

// A file name made from a user-given or logged name: "/" (and NUL) become
// "_", so the file stays inside the output folder.
std::string SafeFileName(std::string_view name);
// Writes `text` to `path` through a temporary file renamed over it, so a
// broken write never leaves half a page; raises EFCreateError.
void WriteOutputFile(const std::string& path, const std::string& text);

}  // namespace trelvar
