// The settings and items of one pie chart, read from the module's input
// text.
//
// ParsePieText never fails: lines it cannot use are skipped and every
// setting the text does not set keeps its default. Values that would make
// the drawing meaningless or unbounded (negative sizes, absurd image sizes)
// are held inside safe limits when the chart is laid out, not here. Pure
// functions, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cirvex {

// Colours are 24-bit values in blue-green-red order (red in the low byte).
using TColour = int32_t;
inline constexpr TColour kAutomaticColour = -1;

struct TPieSettings {
  int chart_width = 300;
  int chart_height = 200;
  // Read as 32-bit floats, as the text gives them.
  float axis_ratio = 1.5f;
  float thickness_ratio = 0.1f;
  std::string legend_font_name = "MS Sans Serif";
  int legend_font_size = 10;
  int legend_square_size = 16;
  int legend_margin = 4;
  int legend_tab_size = 8;
  std::string legend_str_others = "All others";
  int legend_show_percent = 1;
  int legend_max_chars = 100;
  TColour color_background = 0xFFFFFF;
  TColour color_lines = 0x505050;
  TColour color_merged_sector = 0xFFFFFF;
};

struct TPieItem {
  std::string name;
  double value = 0;
  TColour colour = kAutomaticColour;
};

struct TPieInput {
  TPieSettings settings;
  std::vector<TPieItem> items;  // in text order
};

TPieInput ParsePieText(std::string_view text);

// Decimal integer after optional blanks and a sign, up to the first
// non-digit; 0 without digits; held to the 32-bit range.
int ParseIntegerValue(std::string_view text);
// A finite real after trimming blanks, read as a 32-bit float; false when
// the text does not start with a number.
bool ParseRealValue(std::string_view text, float& out);

}  // namespace cirvex
