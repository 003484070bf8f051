#include "piechart/pie_input.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace cirvex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() > 1 && value.front() == '"' && value.back() == '"')
    return value.substr(1, value.size() - 2);
  return value;
}

// Settings that take an integer, by key.
int* IntegerSetting(TPieSettings& s, const std::string& key) {
  if (key == "chart_width") return &s.chart_width;
  if (key == "chart_height") return &s.chart_height;
  if (key == "legend_font_size") return &s.legend_font_size;
  if (key == "legend_square_size") return &s.legend_square_size;
  if (key == "legend_margin") return &s.legend_margin;
  if (key == "legend_tab_size") return &s.legend_tab_size;
  if (key == "legend_show_percent") return &s.legend_show_percent;
  if (key == "legend_max_chars") return &s.legend_max_chars;
  if (key == "color_background") return &s.color_background;
  if (key == "color_lines") return &s.color_lines;
  if (key == "color_merged_sector") return &s.color_merged_sector;
  return nullptr;
}

void ApplyLine(TPieInput& input, std::string_view line) {
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return;
  const std::string key = LowerAscii(line.substr(0, eq));
  const std::string_view value = Unquoted(line.substr(eq + 1));
  TPieSettings& s = input.settings;

  if (key == "item") {
    input.items.push_back(TPieItem{std::string(value), 0, kAutomaticColour});
  } else if (key == "value") {
    float v;
    if (!input.items.empty() && ParseRealValue(value, v)) input.items.back().value = v;
  } else if (key == "color") {
    if (!input.items.empty()) input.items.back().colour = ParseIntegerValue(value);
  } else if (key == "axis_ratio") {
    float v;
    if (ParseRealValue(value, v) && v > 1) s.axis_ratio = v;
  } else if (key == "thickness_ratio") {
    // A negative rim would turn the pie inside out; only 0 to 0.25 is used.
    float v;
    if (ParseRealValue(value, v) && v <= 0.25f && v >= 0) s.thickness_ratio = v;
  } else if (key == "legend_font_name") {
    s.legend_font_name = std::string(value);
  } else if (key == "legend_str_others") {
    s.legend_str_others = std::string(value);
  } else if (int* target = IntegerSetting(s, key)) {
    *target = ParseIntegerValue(value);
  }
}

}  // namespace

int ParseIntegerValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t n = 0;
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    n = std::min(kLimit, n * 10 + (text[i] - '0'));
  if (negative) n = -n;
  return static_cast<int>(std::clamp<int64_t>(n, std::numeric_limits<int32_t>::min(),
                                              std::numeric_limits<int32_t>::max()));
}

bool ParseRealValue(std::string_view text, float& out) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  // The numeric reading is independent of the process locale: "." always.
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return false;
  }
  float v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  (void)end;
  if (ec != std::errc() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

TPieInput ParsePieText(std::string_view text) {
  TPieInput input;
  size_t start = 0;
  while (start <= text.size()) {
    size_t stop = start;
    while (stop < text.size() && text[stop] != '\r' && text[stop] != '\n') ++stop;
    ApplyLine(input, text.substr(start, stop - start));
    // A run of CR and LF is one break.
    while (stop < text.size() && (text[stop] == '\r' || text[stop] == '\n')) ++stop;
    if (stop >= text.size()) break;
    start = stop;
  }
  return input;
}

}  // namespace cirvex
