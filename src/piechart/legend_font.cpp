#include "piechart/legend_font.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace cirvex {

namespace {

constexpr const char* kFixedFace = "DejaVu Sans";

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

struct TFaceFree {
  void operator()(cairo_font_face_t* f) const { cairo_font_face_destroy(f); }
};
struct TOptionsFree {
  void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};

cairo_scaled_font_t* MakeFont(cairo_font_face_t* face, const cairo_font_options_t* options,
                              double em) {
  cairo_matrix_t font_matrix, ctm;
  cairo_matrix_init_scale(&font_matrix, em, em);
  cairo_matrix_init_identity(&ctm);
  cairo_scaled_font_t* font = cairo_scaled_font_create(face, &font_matrix, &ctm, options);
  if (cairo_scaled_font_status(font) != CAIRO_STATUS_SUCCESS) {
    cairo_scaled_font_destroy(font);
    throw std::runtime_error("legend font");
  }
  return font;
}

}  // namespace

std::string SubstituteFace(std::string_view name) {
  static const char* const kWindowsFaces[] = {
      "ms sans serif", "microsoft sans serif", "ms shell dlg", "ms shell dlg 2", "ms serif",
      "system", "small fonts", "arial", "arial narrow", "tahoma", "verdana", "segoe ui",
      "times new roman", "courier new", "courier", "lucida console", "lucida sans unicode",
      "trebuchet ms", "georgia", "comic sans ms", "impact", "calibri", "cambria", "consolas",
      "fixedsys", "terminal", "helv", "tms rmn", "modern", "roman", "script"};
  const std::string lower = LowerAscii(name);
  if (lower.find_first_not_of(' ') == std::string::npos) return kFixedFace;
  for (const char* face : kWindowsFaces)
    if (lower == face) return kFixedFace;
  return std::string(name);
}

TLegendFont::TLegendFont(std::string_view face_name, int cell_height, int tab_size)
    : cell_height_(std::max(1, cell_height)) {
  const std::string face_text = SubstituteFace(face_name);
  std::unique_ptr<cairo_font_face_t, TFaceFree> face(cairo_toy_font_face_create(
      face_text.c_str(), CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL));
  if (cairo_font_face_status(face.get()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error("legend font face");
  std::unique_ptr<cairo_font_options_t, TOptionsFree> options(cairo_font_options_create());
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);

  // Metrics scale linearly without hinting: measure once at a large size,
  // then choose the em size whose ascent plus descent is the cell height.
  constexpr double kProbe = 100;
  std::unique_ptr<cairo_scaled_font_t, TFontFree> probe(
      MakeFont(face.get(), options.get(), kProbe));
  cairo_font_extents_t extents;
  cairo_scaled_font_extents(probe.get(), &extents);
  const double cell_at_probe = extents.ascent + extents.descent;
  const double em = cell_at_probe > 0 ? cell_height_ * kProbe / cell_at_probe : cell_height_;
  font_.reset(MakeFont(face.get(), options.get(), em));
  ascent_ = cell_at_probe > 0 ? extents.ascent * em / kProbe : cell_height_;

  // The average character width as the classic dialog units define it.
  const int alphabet = static_cast<int>(
      AdvanceOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int average = std::max(1, (alphabet / 26 + 1) / 2);
  tab_width_ = static_cast<double>(std::max(1, tab_size)) * average;
}

double TLegendFont::AdvanceOf(std::string_view segment) const {
  if (segment.empty()) return 0;
  const std::string text(segment);
  cairo_text_extents_t extents;
  cairo_scaled_font_text_extents(font_.get(), text.c_str(), &extents);
  return extents.x_advance;
}

double TLegendFont::NextTabStop(double offset) const {
  return (std::floor(offset / tab_width_ + 1e-9) + 1) * tab_width_;
}

double TLegendFont::TextWidth(std::string_view text) const {
  double x = 0;
  for (;;) {
    const size_t tab = text.find('\t');
    x += AdvanceOf(text.substr(0, tab));
    if (tab == std::string_view::npos) return x;
    x = NextTabStop(x);
    text.remove_prefix(tab + 1);
  }
}

void TLegendFont::Draw(cairo_t* cr, double x, double top, std::string_view text) const {
  cairo_set_scaled_font(cr, font_.get());
  double offset = 0;
  for (;;) {
    const size_t tab = text.find('\t');
    const std::string segment(text.substr(0, tab));
    if (!segment.empty()) {
      cairo_move_to(cr, x + offset, top + ascent_);
      cairo_show_text(cr, segment.c_str());
    }
    offset += AdvanceOf(segment);
    if (tab == std::string_view::npos) return;
    offset = NextTabStop(offset);
    text.remove_prefix(tab + 1);
  }
}

}  // namespace cirvex
