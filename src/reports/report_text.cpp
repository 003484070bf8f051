#include "reports/report_text.h"

#include <cmath>
#include <cstdio>

#include "base/errors.h"
#include "platform/files.h"
#include "reports/report_base.h"

namespace trelvar {

std::string Fixed(double value) {
  if (!std::isfinite(value)) return "-";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f", value);
  return buf;
}

std::string RoundedText(double value) {
  const double r = std::nearbyint(value);
  // 2^63 itself is beyond the range; NaN fails both comparisons.
  if (!(r >= -9223372036854775808.0 && r < 9223372036854775808.0)) return "-";
  return std::to_string(static_cast<long long>(r));
}

std::string DateTimeText(TDateTime t) {
  // A page goes on being written: the one value is shown as unknown.
  if (!IsValidDateTime(t)) return "-";
  const TDateParts p = DecodeDateTime(t);
  if (p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0) return DateToStr(t);
  return DateTimeToStr(t);
}

std::string WrapHtml(std::string_view text, size_t width, std::string_view break_chars) {
  std::string out;
  size_t line_start = 0;              // position in `text` where the line began
  size_t break_after = std::string_view::npos;  // a break may go after this position
  size_t emitted = 0;                 // text before this position is in `out`
  char quote = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    // The break goes at the last break point before the character that
    // overfills the line.
    if (i + 1 - line_start > width && break_after != std::string_view::npos) {
      out += HtmlEscape(std::string(text.substr(emitted, break_after + 1 - emitted)));
      out += "<br>";
      emitted = line_start = break_after + 1;
      break_after = std::string_view::npos;
    }
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (break_chars.find(c) != std::string_view::npos) {
      break_after = i;
    }
  }
  out += HtmlEscape(std::string(text.substr(emitted)));
  return out;
}

std::string PathBreakHtml(std::string_view text, size_t width) {
  std::string out, line;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '/' && text[i] != '\\') continue;
    const std::string_view segment = text.substr(start, i + 1 - start);
    if (line.size() + segment.size() > width) {
      out += HtmlEscape(line) + "<br>";
      line.clear();
    }
    line += segment;
    start = i + 1;
  }
  const std::string_view rest = text.substr(start);
  out += HtmlEscape(line);
  if (!rest.empty() && line.size() + rest.size() > width) out += "<br>";
  out += HtmlEscape(std::string(rest));
  return out;
}

std::string SafeFileName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '/' || c == '\0') c = '_';
  return out;
}

void WriteOutputFile(const std::string& path, const std::string& text) {
  const std::string temp = path + ".tmp";
  if (!platform::WriteNewFile(temp, text, 0644, false) || !platform::RenameFile(temp, path)) {
    platform::RemoveFile(temp);
    throw EFCreateError(CannotCreateFileMessage(path));
  }
}

}  // namespace trelvar
