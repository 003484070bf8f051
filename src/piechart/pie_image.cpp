#include "piechart/pie_image.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "piechart/legend_font.h"
#include "piechart/legend_text.h"
#include "piechart/pie_geometry.h"
#include "piechart/pie_input.h"
#include "piechart/pie_sectors.h"

namespace cirvex {

namespace {

// Legend texts longer than this can never fit the largest image.
constexpr size_t kMaxDrawnBytes = 32768;

struct TSurfaceFree {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct TContextFree {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};

void SetColour(cairo_t* cr, TColour bgr) {
  cairo_set_source_rgb(cr, (bgr & 0xFF) / 255.0, ((bgr >> 8) & 0xFF) / 255.0,
                       ((bgr >> 16) & 0xFF) / 255.0);
}

TColour Darker(TColour bgr) {
  TColour out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int c = (bgr >> shift) & 0xFF;
    out |= (c > 48 ? c - 48 : 0) << shift;
  }
  return out;
}

// Pixel (x, y) covers [x, x+1) x [y, y+1); lines and ellipses run through
// pixel centres.
double Mid(int v) { return v + 0.5; }

// Parameter of the ellipse point that lies on the radial at angle theta,
// kept next to theta so arcs run the right way round.
double ArcParameter(double theta, int rx, int ry) {
  const double t = std::atan2(rx * std::sin(theta), ry * std::cos(theta));
  return t + 2 * std::numbers::pi * std::round((theta - t) / (2 * std::numbers::pi));
}

void EllipticArc(cairo_t* cr, double cx, double cy, int rx, int ry, double t1, double t2,
                 bool negative) {
  cairo_save(cr);
  cairo_translate(cr, cx, cy);
  cairo_scale(cr, rx, ry);
  if (negative)
    cairo_arc_negative(cr, 0, 0, 1, t1, t2);
  else
    cairo_arc(cr, 0, 0, 1, t1, t2);
  cairo_restore(cr);
}

void EllipsePath(cairo_t* cr, double cx, double cy, int rx, int ry) {
  cairo_new_sub_path(cr);
  EllipticArc(cr, cx, cy, rx, ry, 0, 2 * std::numbers::pi, false);
  cairo_close_path(cr);
}

class TPiePainter {
 public:
  TPiePainter(cairo_t* cr, const TPieGeometry& g) : cr_(cr), g_(g) {}

  bool HasEllipse() const { return g_.rx >= 1 && g_.ry >= 1; }

  void Slice(double a, double e, TColour colour) {
    cairo_save(cr_);
    const TPoint p = g_.PointAt(a);
    cairo_new_path(cr_);
    cairo_move_to(cr_, Mid(g_.cx), Mid(g_.cy));
    cairo_line_to(cr_, Mid(p.x), Mid(p.y));
    EllipticArc(cr_, Mid(g_.cx), Mid(g_.cy), g_.rx, g_.ry, ArcParameter(a, g_.rx, g_.ry),
                ArcParameter(e, g_.rx, g_.ry), true);
    cairo_close_path(cr_);
    FillAndFrame(colour);
    cairo_restore(cr_);
  }

  void Rim(double a, double e, TColour colour) {
    const std::optional<TRimColumns> columns = RimColumns(g_, a, e);
    if (!columns) return;
    const double left = columns->left ? *columns->left : g_.x0;
    const double right = columns->right ? *columns->right : g_.x1 + 1;
    if (right <= left) return;

    cairo_save(cr_);
    ClipToBand();
    // The band within the columns: between the lower arc of the top ellipse
    // and the same arc moved down by the rim height.
    const double cx = Mid(g_.cx), cy = Mid(g_.cy);
    auto parameter = [&](double x) {
      return std::acos(std::clamp((x - cx) / g_.rx, -1.0, 1.0));
    };
    const double tl = parameter(left), tr = parameter(right);
    cairo_new_path(cr_);
    EllipticArc(cr_, cx, cy, g_.rx, g_.ry, tl, tr, true);
    EllipticArc(cr_, cx, cy + g_.T, g_.rx, g_.ry, tr, tl, false);
    cairo_close_path(cr_);
    FillAndFrame(Darker(colour));
    cairo_restore(cr_);
  }

  void Outline(TColour lines, const std::vector<TSector>& sectors) {
    SetColour(cr_, lines);
    cairo_set_line_width(cr_, 1);
    cairo_new_path(cr_);
    EllipsePath(cr_, Mid(g_.cx), Mid(g_.cy), g_.rx, g_.ry);
    cairo_stroke(cr_);

    double a = 0;
    for (const TSector& sector : sectors) {
      const TPoint p = g_.PointAt(a);
      cairo_move_to(cr_, Mid(g_.cx), Mid(g_.cy));
      cairo_line_to(cr_, Mid(p.x), Mid(p.y));
      if (a < -kHalfTurn) {
        cairo_move_to(cr_, Mid(p.x), Mid(p.y));
        cairo_line_to(cr_, Mid(p.x), Mid(p.y + g_.T));
      }
      cairo_stroke(cr_);
      a -= sector.span;
    }

    // The rim's sides and the front half of the bottom ellipse.
    cairo_move_to(cr_, Mid(g_.x1), Mid(g_.cy));
    cairo_line_to(cr_, Mid(g_.x1), Mid(g_.cy + g_.T));
    cairo_move_to(cr_, Mid(g_.x0), Mid(g_.cy));
    cairo_line_to(cr_, Mid(g_.x0), Mid(g_.cy + g_.T));
    cairo_stroke(cr_);
    cairo_move_to(cr_, Mid(g_.x0), Mid(g_.cy + g_.T));
    EllipticArc(cr_, Mid(g_.cx), Mid(g_.cy + g_.T), g_.rx, g_.ry, std::numbers::pi, 0, true);
    cairo_stroke(cr_);
  }

 private:
  // Regions are filled without anti-aliasing, so neighbouring slices and
  // rims share their edge pixels exactly (no seams, pure colours); the
  // 3 x 3 frame lies inside the region, as a region frame does. The lines
  // drawn afterwards are smooth.
  void FillAndFrame(TColour colour) {
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    SetColour(cr_, colour);
    cairo_fill_preserve(cr_);
    cairo_clip_preserve(cr_);
    cairo_set_line_width(cr_, 3);
    cairo_stroke(cr_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
  }

  // (bottom ellipse + rectangle from (x0, cy) to (x1 + 1, cy + T)) minus the
  // top ellipse.
  void ClipToBand() {
    cairo_new_path(cr_);
    cairo_rectangle(cr_, g_.x0, Mid(g_.cy), g_.x1 + 1 - g_.x0, g_.T);
    EllipsePath(cr_, Mid(g_.cx), Mid(g_.cy + g_.T), g_.rx, g_.ry);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
    cairo_new_path(cr_);
    cairo_rectangle(cr_, g_.x0 - 2, g_.y0 - 2, g_.x1 - g_.x0 + 4, g_.y1 - g_.y0 + g_.T + 4);
    EllipsePath(cr_, Mid(g_.cx), Mid(g_.cy), g_.rx, g_.ry);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_EVEN_ODD);
    cairo_clip(cr_);
    cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
  }

  cairo_t* cr_;
  const TPieGeometry& g_;
};

}  // namespace

TBmpBuffer RenderPieChart(std::string_view text) {
  TPieInput input = ParsePieText(text);
  TPieSettings& s = input.settings;
  const std::vector<TSector> sectors = ComputeSectors(input.items, s);

  const int pie_width = std::clamp(s.chart_width, 0, kMaxImageSide);
  const int pie_height = std::clamp(s.chart_height, 0, kMaxImageSide);
  const int square = std::clamp(s.legend_square_size, 0, kMaxImageSide);
  const int margin = std::clamp(s.legend_margin, 0, kMaxImageSide);
  const int font_size = std::clamp(s.legend_font_size, 1, kMaxImageSide);
  const int tab_size = std::clamp(s.legend_tab_size, 1, kMaxImageSide);

  const TLegendFont font(s.legend_font_name, font_size, tab_size);
  std::vector<std::string> legend;
  double widest = 0;
  for (const TSector& sector : sectors) {
    std::string name = LegendText(sector.item >= 0 ? input.items[sector.item].name
                                                   : s.legend_str_others,
                                  sector.share, s.legend_max_chars, s.legend_show_percent != 0);
    if (name.size() > kMaxDrawnBytes) name = ToUtf8(name.substr(0, kMaxDrawnBytes));
    widest = std::max(widest, font.TextWidth(name));
    legend.push_back(std::move(name));
  }
  const double legend_width =
      square + 3.0 * margin + std::ceil(std::min(widest, double{kMaxImageSide}) - 1e-6);
  const int row_height = std::max(square + 2, font.CellHeight());
  const int width = std::clamp(
      static_cast<int>(std::min<double>(pie_width + legend_width, kMaxImageSide)), 1,
      kMaxImageSide);
  const int height = std::clamp(std::max(pie_height, row_height), 1, kMaxImageSide);

  std::unique_ptr<cairo_surface_t, TSurfaceFree> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
    throw std::runtime_error("chart surface");
  std::unique_ptr<cairo_t, TContextFree> context(cairo_create(surface.get()));
  cairo_t* cr = context.get();

  SetColour(cr, s.color_background);
  cairo_paint(cr);
  cairo_rectangle(cr, 0, 0, pie_width, pie_height);
  cairo_fill(cr);

  const TPieGeometry geometry(pie_width, pie_height, s.axis_ratio, s.thickness_ratio);
  TPiePainter painter(cr, geometry);
  if (painter.HasEllipse()) {
    double a = 0;
    for (const TSector& sector : sectors) {
      const double e = a - sector.span;
      painter.Slice(a, e, sector.colour);
      painter.Rim(a, e, sector.colour);
      a = e;
    }
    painter.Outline(s.color_lines & 0xFFFFFF, sectors);
  }

  const int x = pie_width;
  for (size_t row = 0; row < sectors.size(); ++row) {
    const int y = static_cast<int>(row) * row_height;
    if (y >= height) break;
    if (square > 0) {
      const int top = y + (row_height - square) / 2;
      SetColour(cr, sectors[row].colour);
      cairo_rectangle(cr, x + margin, top, square, square);
      cairo_fill(cr);
      SetColour(cr, s.color_lines & 0xFFFFFF);
      cairo_set_line_width(cr, 1);
      cairo_rectangle(cr, x + margin + 0.5, top + 0.5, square - 1, square - 1);
      cairo_stroke(cr);
    }
    cairo_set_source_rgb(cr, 0, 0, 0);
    font.Draw(cr, x + square + 8, y + row_height - font.CellHeight(), legend[row]);
  }

  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS) throw std::runtime_error("chart drawing");
  return EncodeBmp(surface.get());
}

}  // namespace cirvex
