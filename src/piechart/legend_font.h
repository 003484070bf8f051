// The legend font: a face chosen by name and sized by its character cell
// height in pixels (ascent plus descent), measuring and drawing text with
// tabs expanded.
//
// Windows faces ("MS Sans Serif", "Arial", ...) and an empty name are
// replaced by DejaVu Sans, so text measures the same on every machine;
// other names go to fontconfig. Metrics are unhinted for the same reason.
// Construction throws std::runtime_error when Cairo cannot make the font.
// Not thread-safe (one object per call).
#pragma once

#include <cairo.h>

#include <memory>
#include <string>
#include <string_view>

namespace cirvex {

// The face actually asked for when `name` is requested.
std::string SubstituteFace(std::string_view name);

class TLegendFont {
 public:
  // cell_height >= 1; tab_size: tab-stop distance in average character widths.
  TLegendFont(std::string_view face_name, int cell_height, int tab_size);

  int CellHeight() const { return cell_height_; }
  // Width of valid UTF-8 text in pixels, tabs expanded.
  double TextWidth(std::string_view text) const;
  // Draws valid UTF-8 text with its cell's top at `top`.
  void Draw(cairo_t* cr, double x, double top, std::string_view text) const;

 private:
  double AdvanceOf(std::string_view segment) const;
  double NextTabStop(double offset) const;

  struct TFontFree {
    void operator()(cairo_scaled_font_t* f) const { cairo_scaled_font_destroy(f); }
  };
  std::unique_ptr<cairo_scaled_font_t, TFontFree> font_;
  int cell_height_ = 1;
  double ascent_ = 0;
  double tab_width_ = 8;
};

}  // namespace cirvex
