// The texts of the legend: names made safe for drawing, cut to the longest
// allowed length and prefixed with their share.
//
// Names are byte strings of unknown encoding. Valid UTF-8 stays as it is;
// every byte that is not part of a valid UTF-8 sequence is read as a
// Windows-1252 character, so any name can be drawn and a character is one
// letter, whatever the encoding. Pure, thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace cirvex {

// `text` as valid UTF-8 (see above).
std::string ToUtf8(std::string_view text);

// The legend text of a sector: `name` (converted by ToUtf8), cut to its first
// max_chars - 3 characters followed by "..." when it has more than max_chars
// characters, then, when show_percent, prefixed by the share in percent as
// "45.20% \t" (always "." as the decimal separator).
std::string LegendText(std::string_view name, double share, int max_chars, bool show_percent);

}  // namespace cirvex
