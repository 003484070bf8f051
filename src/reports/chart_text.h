// Texts of the chart service: image file names made from titles, numbers
// for the pie-chart module, labels safe for the module's line format and
// for drawing.
//
// Pure functions, thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace trelvar {

// The title with every blank and every "/" turned into "_", then ".gif":
// a title can never name a file outside the output folder.
std::string ChartFileName(std::string_view title);

// "<P><IMG SRC=\"" + file name + "\"></P>", the file name written so that
// the reference finds the file: "%", "#" and "?" percent-encoded, "&", "<",
// ">" and a double quote as HTML entities. Ordinary names stay unchanged.
std::string ChartImageParagraph(std::string_view file_name);

// Shortest general form with up to 15 significant digits, "." as the
// decimal separator whatever the locale ("12.5", "0.333333333333333",
// "1e+20").
std::string ChartNumber(double value);

// A label as one line of the module's text: CR, LF and NUL would end the
// line (or the text) early and are turned into blanks.
std::string ModuleLabel(std::string_view label);

}  // namespace trelvar
