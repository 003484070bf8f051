#include "reports/chart_text.h"

#include <charconv>
#include <cmath>

namespace trelvar {

std::string ChartFileName(std::string_view title) {
  std::string name(title);
  for (char& c : name)
    if (c == ' ' || c == '/') c = '_';
  return name + ".gif";
}

std::string ChartImageParagraph(std::string_view file_name) {
  std::string src;
  for (char c : file_name) {
    switch (c) {
      case '%': src += "%25"; break;
      case '#': src += "%23"; break;
      case '?': src += "%3F"; break;
      case '&': src += "&amp;"; break;
      case '<': src += "&lt;"; break;
      case '>': src += "&gt;"; break;
      case '"': src += "&quot;"; break;
      default: src += c;
    }
  }
  return "<P><IMG SRC=\"" + src + "\"></P>";
}

std::string ChartNumber(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

std::string ModuleLabel(std::string_view label) {
  std::string out(label);
  for (char& c : out)
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  return out;
}

}  // namespace trelvar
