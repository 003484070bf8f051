// Recognition of a log file's format from its first lines.
#include <algorithm>

#include "base/run_control.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "sites/log_formats.h"

namespace trelvar {

namespace {

constexpr size_t kSampleLines = 15;

bool Has(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

// An information message: a dialog, or nothing in console mode.
void Notice(bool show, bool console, const std::string& text) {
  if (show && !console) RunControl().ShowMessage(text);
}

// The template a W3C "#Fields:" or Netscape "format=" header describes.
std::string HeaderTemplate(const std::vector<std::string>& sample, bool netscape) {
  const std::string prefix = netscape ? "format" : "#Fields:";
  std::string fields;
  for (const std::string& line : sample) {
    if (line.rfind(prefix, 0) == 0) {
      fields = line.size() > prefix.size() + 1 ? line.substr(prefix.size() + 1) : "";
      break;
    }
  }
  // Every single blank cuts, so two blanks in a row give an empty piece.
  std::string result;
  size_t start = 0;
  for (;;) {
    const size_t blank = fields.find(' ', start);
    const std::string piece = fields.substr(start, blank - start);
    if (start > 0) result += ' ';
    result += netscape ? NetscapeVarToken(piece) : W3CFieldToken(piece);
    if (blank == std::string::npos) break;
    start = blank + 1;
  }
  return result;
}

// The end of the run of digits that begins at `at`.
size_t DigitsEnd(const std::string& text, size_t at) {
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  return at;
}

// Whether a run of digits is a number of 8 or more, however long it is.
bool AtLeastEight(std::string_view digits) {
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return false;
  digits.remove_prefix(first);
  return digits.size() > 1 || digits[0] >= '8';
}

// "MS IIS 8.5 Custom" for a header of IIS 8 or later, "" for any other
// text. The version is taken as written, major and minor ("10.0").
std::string NewIisBase(const std::string& text) {
  static constexpr std::string_view kSoftware =
      "#Software: Microsoft Internet Information Services ";
  for (size_t at = text.find(kSoftware); at != std::string::npos;
       at = text.find(kSoftware, at + 1)) {
    const size_t major_at = at + kSoftware.size();
    size_t end = DigitsEnd(text, major_at);
    if (!AtLeastEight(std::string_view(text).substr(major_at, end - major_at))) continue;
    if (end < text.size() && text[end] == '.' && DigitsEnd(text, end + 1) > end + 1)
      end = DigitsEnd(text, end + 1);
    return "MS IIS " + text.substr(major_at, end - major_at) + " Custom";
  }
  return "";
}

bool HasFieldsLine(const std::vector<std::string>& sample) {
  return std::any_of(sample.begin(), sample.end(),
                     [](const std::string& line) { return line.rfind("#Fields:", 0) == 0; });
}

// The Apache family, from the first line's double quotes.
std::string ApacheFormat(const std::string& first) {
  switch (CountChar('"', first)) {
    case 2: {
      const size_t words = SplitQuoted(first, " ").size();
      return words == 7 ? "Apache common" : words == 8 ? "NSCA Common"
                                                       : "Apache common with Virtual host";
    }
    case 4:
      return "Apache combined 3";
    // A combined line followed by one more quoted field (a cookie, a
    // forwarded-for address) is the combined layout with a trailer too.
    case 6:
    case 8: {
      size_t q1 = first.find('"');
      size_t q2 = first.find('"', q1 + 1);
      size_t q3 = first.find('"', q2 + 1);
      const std::string between = first.substr(q2 + 1, q3 - q2 - 1);
      if (CountChar(' ', between) >= 4) return "Apache combined 2";
      size_t q6 = q3;
      for (int i = 3; i < 6; ++i) q6 = first.find('"', q6 + 1);
      return q6 + 1 < first.size() ? "Apache combined 4" : "Apache combined";
    }
    default:
      return "";
  }
}

}  // namespace

std::vector<std::string> TLogFmts::CollectHeaderSample(const TLineSource& next_line) {
  std::vector<std::string> sample;
  int counted = 0;
  std::string line;
  while (sample.size() < kSampleLines && next_line(line)) {
    // Blank lines carry nothing (a split line break gives one).
    if (line.empty() || Has(line, "INIT:")) continue;
    ++counted;
    if (counted >= 2 && sample.empty() && !Has(line, "#Software: Microsoft")) continue;
    sample.push_back(line);
    // An IIS process-accounting block is not the log's own header.
    if (Has(line, "#SubComponent: Process Accounting") && Has(sample.front(), "#Software: Microsoft"))
      sample.clear();
  }
  return sample;
}

std::string TLogFmts::RecognizeSample(const std::vector<std::string>& sample,
                                      const std::string& path, bool show, bool console) {
  std::string text;
  for (const std::string& line : sample) text += line + "\r\n";
  const std::string first = sample.empty() ? "" : sample.front();
  const std::string last = sample.empty() ? "" : sample.back();

  std::string base;
  if (Has(text, "#Software: Microsoft Internet Information Server 7.") ||
      Has(text, "#Software: Microsoft Internet Information Services 7."))
    base = "MS IIS 7.0 Custom";
  else if (Has(text, "#Software: Microsoft Internet Information Server 6.") ||
           Has(text, "#Software: Microsoft Internet Information Services 6.") ||
           Has(text, "#Software: H-Sphere log plugin"))
    base = "MS IIS 6.0 Custom";
  else if (Has(text, "#Software: Microsoft Internet Information Services 5."))
    base = "MS IIS 5.0 Custom";
  else if (Has(text, "#Software: Microsoft Internet Information Server 4."))
    base = "MS IIS 4.0 Custom";
  else if (std::string iis = NewIisBase(text); !iis.empty())
    base = std::move(iis);
  else if (Has(text, "format=%"))
    base = "Netscape iPlanet Custom";
  if (!base.empty()) return SaveHeaderFormat(sample, base, show, console);

  std::string name;
  if (Has(text, "] \"")) {
    name = ApacheFormat(first);
  } else if (Has(last, ", ")) {
    const auto words = SplitQuoted(last, " ");
    if (words.size() == 15 && Has(words[13], "/")) name = "MS IIS 6.0 Short";
  }
  if (name.empty() && !Has(text, "] \"") && CountChar('"', first) == 10 && Has(first, "[") &&
      Has(first, "]"))
    name = "Blogware";

  if (!name.empty()) {
    Notice(show, console, Translate(269, "We recognized your log format as") + " " + name);
    return name;
  }
  // Any other server that writes a W3C extended header.
  if (HasFieldsLine(sample)) return SaveHeaderFormat(sample, "W3C Custom", show, console);
  if (show) {
    const std::string unknown = Translate(270, "We can not recognize your log format type for file");
    const std::string support = Translate(271, "Please, contact our support.");
    if (console) {
      OutputLine("<p>" + unknown + "</p>");
      OutputLine("<p>" + path + "</p>");
      OutputLine("<p>" + support + "</p>");
    } else {
      RunControl().ShowMessage(unknown + "\n" + support);
    }
  }
  return "";
}

std::string TLogFmts::SaveHeaderFormat(const std::vector<std::string>& sample,
                                       const std::string& base, bool show, bool console) {
  const std::string candidate = MakeFreeName(base);
  const std::string line_template = HeaderTemplate(sample, candidate.rfind("Netscape", 0) == 0);
  const std::string existing = FindNameByTemplate(line_template);
  if (!existing.empty()) {
    Notice(show, console,
           Translate(266, "This log format is already in our list. It is") + " " + existing);
    return existing;
  }
  AddFormatLine(candidate + ";" + line_template);
  Notice(show, console,
         Translate(265, "We recognized your log format and saved it as") + " " + candidate);
  return candidate;
}

}  // namespace trelvar
