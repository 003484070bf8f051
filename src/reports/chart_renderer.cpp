#include "reports/chart_renderer.h"

#include <cairo.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <memory>
#include <numbers>
#include <optional>

#include "base/errors.h"
#include "base/utf8.h"
#include "reports/chart_text.h"

namespace trelvar {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr const char* kFace = "DejaVu Sans";
constexpr double kAxisFont = 9;
constexpr double kTitleFont = 12;

struct TSurfaceFree {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct TContextFree {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct TOptionsFree {
  void operator()(cairo_font_options_t* o) const { cairo_font_options_destroy(o); }
};

struct TBox {
  double x0, y0, x1, y1;
  bool Overlaps(const TBox& o) const { return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1; }
};

void SetBgr(cairo_t* cr, uint32_t bgr, double factor = 1) {
  cairo_set_source_rgb(cr, (bgr & 0xFF) / 255.0 * factor, ((bgr >> 8) & 0xFF) / 255.0 * factor,
                       ((bgr >> 16) & 0xFF) / 255.0 * factor);
}

void SetFont(cairo_t* cr, double size, bool bold = false) {
  cairo_select_font_face(cr, kFace, CAIRO_FONT_SLANT_NORMAL,
                         bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
}

double TextWidth(cairo_t* cr, const std::string& text) {
  cairo_text_extents_t e;
  cairo_text_extents(cr, text.c_str(), &e);
  return e.x_advance;
}

struct TFontBox {
  double ascent, descent, height;
};
TFontBox FontBox(cairo_t* cr) {
  cairo_font_extents_t e;
  cairo_font_extents(cr, &e);
  return {e.ascent, e.descent, e.ascent + e.descent};
}

// The text cut at a character boundary, with "...", so that it is at most
// `width` wide.
std::string Ellipsize(cairo_t* cr, const std::string& text, double width) {
  if (TextWidth(cr, text) <= width) return text;
  std::string cut = text;
  while (!cut.empty()) {
    do {
      cut.pop_back();
    } while (!cut.empty() && (static_cast<unsigned char>(cut.back()) & 0xC0) == 0x80);
    if (!cut.empty() && static_cast<unsigned char>(cut.back()) >= 0xC0) cut.pop_back();
    if (TextWidth(cr, cut + "...") <= width) break;
  }
  return cut + "...";
}

void ShowText(cairo_t* cr, double x, double baseline, const std::string& text) {
  cairo_move_to(cr, x, baseline);
  cairo_show_text(cr, text.c_str());
}

std::string FixedNumber(double v, int decimals) {
  char buffer[400];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed,
                               decimals);
  if (r.ec != std::errc()) return ChartNumber(v);
  std::string s(buffer, r.ptr);
  if (s.find_first_not_of("-0.") == std::string::npos && s[0] == '-') s.erase(0, 1);
  return s;
}

// A mark: integers as they are, other values with at most two decimals.
std::string MarkNumber(double v) {
  if (std::fabs(v) >= 1e15) return ChartNumber(v);
  std::string s = FixedNumber(v, 2);
  if (s.find('.') != std::string::npos) {
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
  }
  return s;
}

double Finite(double v) { return std::isfinite(v) ? v : 0; }

// A value axis with a round step and about five intervals.
struct TValueAxis {
  double lo = 0, hi = 1, step = 0.2;
  int decimals = 1;
  int Ticks() const { return static_cast<int>(std::lround((hi - lo) / step)); }
  double Tick(int i) const { return lo + i * step; }
};

TValueAxis NiceAxis(double vmin, double vmax) {
  TValueAxis axis;
  if (!(vmax > vmin) || !std::isfinite(vmax - vmin)) {
    if (!(vmax > vmin) && std::isfinite(vmin) && std::fabs(vmin) < 1e300) {
      vmax = vmin + 1;
    } else {
      return axis;
    }
  }
  const double rough = (vmax - vmin) / 5;
  const double magnitude = std::pow(10, std::floor(std::log10(rough)));
  const double norm = rough / magnitude;
  axis.step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
  axis.lo = std::floor(vmin / axis.step) * axis.step;
  axis.hi = std::ceil(vmax / axis.step) * axis.step;
  if (!(axis.hi > axis.lo) || axis.Ticks() > 20) return TValueAxis{};
  axis.decimals = std::clamp(static_cast<int>(-std::floor(std::log10(axis.step) + 1e-9)), 0, 12);
  return axis;
}

void DrawTitle(cairo_t* cr, const std::string& title, double& bottom) {
  SetFont(cr, kTitleFont, true);
  const TFontBox f = FontBox(cr);
  const std::string text = Ellipsize(cr, ValidUtf8(title), kChartImageWidth - 16);
  cairo_set_source_rgb(cr, 0.08, 0.16, 0.43);
  ShowText(cr, (kChartImageWidth - TextWidth(cr, text)) / 2, 6 + f.ascent, text);
  bottom = 6 + f.height + 4;
}

class TAxesChart {
 public:
  TAxesChart(cairo_t* cr, const TChartPicture& picture, double top)
      : cr_(cr), picture_(picture), top_(top) {
    has_main_ = picture.kind == TChartKind::Bar || picture.kind == TChartKind::Line;
    count_ = std::max(has_main_ ? picture.main.size() : 0, picture.trend.size());
    paired_ = picture.kind == TChartKind::Bar && !picture.second.empty();
    if (paired_) count_ = std::max(count_, picture.second.size());
  }

  void Draw() {
    Layout();
    DrawGrid();
    if (picture_.kind == TChartKind::Bar) DrawBars();
    if (picture_.kind == TChartKind::Line) DrawLine();
    DrawTrend();
    DrawLabels();
    if (picture_.kind == TChartKind::Bar && picture_.marks) DrawMarks();
  }

 private:
  double X(size_t i) const { return left_ + (i + 0.5) * slot_; }
  double Y(double v) const {
    return bottom_ - (Finite(v) - axis_.lo) / (axis_.hi - axis_.lo) * (bottom_ - plot_top_);
  }

  void Layout() {
    double vmin = 0, vmax = 0;
    if (has_main_)
      for (const TChartPoint& p : picture_.main) {
        vmin = std::min(vmin, Finite(p.value));
        vmax = std::max(vmax, Finite(p.value));
      }
    if (paired_)
      for (const TChartPoint& p : picture_.second) {
        vmin = std::min(vmin, Finite(p.value));
        vmax = std::max(vmax, Finite(p.value));
      }
    for (const TChartPoint& p : picture_.trend)
      if (!p.gap) {
        vmin = std::min(vmin, Finite(p.value));
        vmax = std::max(vmax, Finite(p.value));
      }
    axis_ = NiceAxis(vmin, vmax);

    SetFont(cr_, kAxisFont);
    font_ = FontBox(cr_);
    double number_width = 0;
    for (int i = 0; i <= axis_.Ticks(); ++i)
      number_width = std::max(number_width, TextWidth(cr_, FixedNumber(axis_.Tick(i), axis_.decimals)));
    left_ = std::ceil(8 + number_width + 6);
    const double right = kChartImageWidth - 14;
    slot_ = (right - left_) / static_cast<double>(std::max<size_t>(count_, 1));

    labels_.resize(count_);
    double widest = 0;
    for (size_t i = 0; i < count_; ++i) {
      const TChartPoint& p = has_main_ && i < picture_.main.size() ? picture_.main[i]
                             : paired_ && i < picture_.second.size() ? picture_.second[i]
                                                                     : picture_.trend[i];
      labels_[i] = ValidUtf8(p.label);
      widest = std::max(widest, TextWidth(cr_, labels_[i]));
    }
    // Labels lie flat when they all fit their slots, else they stand
    // upright; when even upright ones would touch, only every k-th shows.
    upright_ = widest + 4 > slot_;
    double label_band = 0;
    if (count_ > 0 && widest > 0) {
      if (upright_) {
        label_band = std::min(widest, kMaxUpright) + 8;
        label_step_ = static_cast<size_t>(std::ceil((font_.height + 2) / slot_));
      } else {
        label_band = font_.height + 6;
      }
    }
    bottom_ = kChartImageHeight - 6 - label_band;
    plot_top_ = top_ + 8;
  }

  void DrawGrid() {
    cairo_set_line_width(cr_, 1);
    SetFont(cr_, kAxisFont);
    const double right = left_ + slot_ * std::max<size_t>(count_, 1);
    for (int i = 0; i <= axis_.Ticks(); ++i) {
      const double v = axis_.Tick(i);
      const double y = std::round(Y(v)) + 0.5;
      cairo_set_source_rgb(cr_, 0.86, 0.86, 0.86);
      cairo_move_to(cr_, left_, y);
      cairo_line_to(cr_, right, y);
      cairo_stroke(cr_);
      const std::string text = FixedNumber(v, axis_.decimals);
      cairo_set_source_rgb(cr_, 0.2, 0.2, 0.2);
      ShowText(cr_, left_ - 5 - TextWidth(cr_, text), y + font_.ascent / 2 - 1, text);
      cairo_move_to(cr_, left_ - 3, y);
      cairo_line_to(cr_, left_, y);
      cairo_stroke(cr_);
    }
    cairo_set_source_rgb(cr_, 0.3, 0.3, 0.3);
    cairo_move_to(cr_, left_ + 0.5, plot_top_);
    cairo_line_to(cr_, left_ + 0.5, bottom_);
    const double base = std::round(Y(std::clamp(0.0, axis_.lo, axis_.hi))) + 0.5;
    cairo_move_to(cr_, left_, base);
    cairo_line_to(cr_, right, base);
    cairo_stroke(cr_);
  }

  // Bar width, and the centre of bar i of the main (0) or second (1) series.
  double BarWidth() const {
    return std::max(1.0, std::floor(slot_ * 0.7 / (paired_ ? 2 : 1)));
  }
  double BarCentre(size_t i, int series) const {
    if (!paired_) return X(i);
    return X(i) + (series == 0 ? -0.5 : 0.5) * BarWidth();
  }

  void DrawBars() {
    DrawBarSeries(picture_.main, 0);
    if (paired_) DrawBarSeries(picture_.second, 1);
  }

  void DrawBarSeries(const std::vector<TChartPoint>& points, int series) {
    const double width = BarWidth();
    const double base = Y(std::clamp(0.0, axis_.lo, axis_.hi));
    for (size_t i = 0; i < points.size(); ++i) {
      const TChartPoint& p = points[i];
      const double x = std::round(BarCentre(i, series) - width / 2);
      const double y = Y(p.value);
      const double y0 = std::round(std::min(y, base)), y1 = std::round(std::max(y, base));
      if (y1 <= y0) continue;
      cairo_rectangle(cr_, x, y0, width, y1 - y0);
      SetBgr(cr_, p.colour);
      cairo_fill(cr_);
      if (width >= 4) {
        cairo_rectangle(cr_, x + 0.5, y0 + 0.5, width - 1, y1 - y0 - 1);
        SetBgr(cr_, p.colour, 0.6);
        cairo_set_line_width(cr_, 1);
        cairo_stroke(cr_);
      }
    }
  }

  void DrawLine() {
    cairo_set_line_width(cr_, 2);
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
    const std::vector<TChartPoint>& points = picture_.main;
    for (size_t i = 1; i < points.size(); ++i) {
      SetBgr(cr_, points[i].colour);
      cairo_move_to(cr_, X(i - 1), Y(points[i - 1].value));
      cairo_line_to(cr_, X(i), Y(points[i].value));
      cairo_stroke(cr_);
    }
    if (slot_ >= 6)
      for (size_t i = 0; i < points.size(); ++i) {
        SetBgr(cr_, points[i].colour);
        cairo_arc(cr_, X(i), Y(points[i].value), 2.5, 0, 2 * kPi);
        cairo_fill(cr_);
      }
    cairo_set_line_cap(cr_, CAIRO_LINE_CAP_BUTT);
  }

  void DrawTrend() {
    const std::vector<TChartPoint>& points = picture_.trend;
    cairo_set_source_rgb(cr_, 1, 0, 0);
    cairo_set_line_width(cr_, 2);
    cairo_set_line_join(cr_, CAIRO_LINE_JOIN_ROUND);
    for (size_t i = 0; i < points.size(); ++i) {
      if (points[i].gap) continue;
      const bool joined_before = i > 0 && !points[i - 1].gap;
      const bool joined_after = i + 1 < points.size() && !points[i + 1].gap;
      if (!joined_before) {
        cairo_move_to(cr_, X(i), Y(points[i].value));
        if (!joined_after) {
          // A point between two gaps still shows.
          cairo_arc(cr_, X(i), Y(points[i].value), 2, 0, 2 * kPi);
          cairo_fill(cr_);
        }
      } else {
        cairo_line_to(cr_, X(i), Y(points[i].value));
      }
      if (joined_before && !joined_after) cairo_stroke(cr_);
    }
    cairo_new_path(cr_);
  }

  void DrawLabels() {
    SetFont(cr_, kAxisFont);
    cairo_set_source_rgb(cr_, 0.15, 0.15, 0.15);
    for (size_t i = 0; i < count_; i += label_step_) {
      if (labels_[i].empty()) continue;
      if (!upright_) {
        ShowText(cr_, X(i) - TextWidth(cr_, labels_[i]) / 2, bottom_ + 4 + font_.ascent,
                 labels_[i]);
        continue;
      }
      const std::string text = Ellipsize(cr_, labels_[i], kMaxUpright);
      cairo_save(cr_);
      cairo_translate(cr_, X(i), bottom_ + 4);
      cairo_rotate(cr_, -kPi / 2);
      ShowText(cr_, -TextWidth(cr_, text), (font_.ascent - font_.descent) / 2, text);
      cairo_restore(cr_);
    }
  }

  void DrawMarks() {
    SetFont(cr_, kAxisFont - 1);
    const TFontBox f = FontBox(cr_);
    std::optional<TBox> last;
    for (size_t i = 0; i < picture_.main.size(); ++i) {
      const TChartPoint& p = picture_.main[i];
      const std::string text = MarkNumber(Finite(p.value));
      const double w = TextWidth(cr_, text) + 4, h = f.height + 2;
      const double y = Y(p.value);
      double top = Finite(p.value) >= 0 ? y - 3 - h : y + 3;
      top = std::clamp(top, plot_top_ - 6, bottom_ - h);
      const double centre = BarCentre(i, 0);
      const TBox box{std::round(centre - w / 2), std::round(top), std::round(centre - w / 2) + w,
                     std::round(top) + h};
      if (last && box.Overlaps(*last)) continue;
      last = box;
      cairo_rectangle(cr_, box.x0 + 0.5, box.y0 + 0.5, w - 1, h - 1);
      cairo_set_source_rgb(cr_, 1, 1, 0.88);
      cairo_fill_preserve(cr_);
      cairo_set_source_rgb(cr_, 0.55, 0.55, 0.55);
      cairo_set_line_width(cr_, 1);
      cairo_stroke(cr_);
      cairo_set_source_rgb(cr_, 0, 0, 0);
      ShowText(cr_, box.x0 + 2, box.y0 + 1 + f.ascent, text);
    }
  }

  static constexpr double kMaxUpright = 100;

  cairo_t* cr_;
  const TChartPicture& picture_;
  double top_;
  bool has_main_ = false;
  bool paired_ = false;  // two bar series
  size_t count_ = 0;
  TValueAxis axis_;
  TFontBox font_{};
  double left_ = 0, slot_ = 1, bottom_ = 0, plot_top_ = 0;
  std::vector<std::string> labels_;
  bool upright_ = false;
  size_t label_step_ = 1;
};

class TPie3D {
 public:
  TPie3D(cairo_t* cr, const TChartPicture& picture, double top) : cr_(cr), picture_(picture) {
    rx_ = 128;
    ry_ = 74;
    cx_ = kChartImageWidth / 2.0;
    cy_ = top + (kChartImageHeight - top - kDepth) / 2.0;
  }

  void Draw() {
    double total = 0;
    for (const TChartPoint& p : picture_.main)
      if (Counts(p)) total += p.value;
    std::vector<TSlice> slices;
    if (total > 0 && std::isfinite(total)) {
      double a = -kPi / 2;
      for (const TChartPoint& p : picture_.main) {
        if (!Counts(p)) continue;
        const double span = p.value / total * 2 * kPi;
        slices.push_back({a, a + span, &p});
        a += span;
      }
    }
    cairo_set_line_width(cr_, 1);
    // The side first: only its front half shows, and the tops cover the rest.
    for (const TSlice& s : slices)
      for (int k = -1; k <= 1; ++k) {
        const double lo = std::max(s.start, 2 * kPi * k), hi = std::min(s.end, 2 * kPi * k + kPi);
        if (hi > lo) Side(lo, hi, s.point->colour);
      }
    for (const TSlice& s : slices) {
      cairo_move_to(cr_, cx_, cy_);
      Arc(cy_, s.start, s.end, false);
      cairo_close_path(cr_);
      SetBgr(cr_, s.point->colour);
      cairo_fill_preserve(cr_);
      cairo_set_source_rgba(cr_, 0, 0, 0, 0.45);
      cairo_stroke(cr_);
    }
    Outline();
    Labels(slices);
  }

 private:
  static constexpr double kDepth = 20;

  struct TSlice {
    double start, end;  // parameter angles, increasing clockwise from the top
    const TChartPoint* point;
  };

  static bool Counts(const TChartPoint& p) { return std::isfinite(p.value) && p.value > 0; }

  void Arc(double cy, double t1, double t2, bool negative) {
    cairo_save(cr_);
    cairo_translate(cr_, cx_, cy);
    cairo_scale(cr_, rx_, ry_);
    if (negative)
      cairo_arc_negative(cr_, 0, 0, 1, t1, t2);
    else
      cairo_arc(cr_, 0, 0, 1, t1, t2);
    cairo_restore(cr_);
  }

  void Side(double lo, double hi, uint32_t colour) {
    cairo_new_path(cr_);
    Arc(cy_, lo, hi, false);
    Arc(cy_ + kDepth, hi, lo, true);
    cairo_close_path(cr_);
    SetBgr(cr_, colour, 0.72);
    cairo_fill_preserve(cr_);
    cairo_set_source_rgba(cr_, 0, 0, 0, 0.35);
    cairo_stroke(cr_);
  }

  void Outline() {
    cairo_set_source_rgb(cr_, 0.31, 0.31, 0.31);
    cairo_new_path(cr_);
    Arc(cy_, 0, 2 * kPi, false);
    cairo_close_path(cr_);
    cairo_stroke(cr_);
    cairo_move_to(cr_, cx_ - rx_, cy_);
    cairo_line_to(cr_, cx_ - rx_, cy_ + kDepth);
    cairo_move_to(cr_, cx_ + rx_, cy_);
    cairo_line_to(cr_, cx_ + rx_, cy_ + kDepth);
    cairo_stroke(cr_);
    cairo_new_path(cr_);
    Arc(cy_ + kDepth, 0, kPi, false);
    cairo_stroke(cr_);
  }

  void Labels(const std::vector<TSlice>& slices) {
    SetFont(cr_, kAxisFont);
    const TFontBox f = FontBox(cr_);
    std::vector<TBox> drawn;
    for (const TSlice& slice : slices) {
      const double m = (slice.start + slice.end) / 2;
      const double c = std::cos(m), s = std::sin(m);
      const double drop = s > 0 ? kDepth : 0;
      const double ex = cx_ + rx_ * c, ey = cy_ + ry_ * s + drop;
      const double ax = cx_ + (rx_ + 14) * c, ay = cy_ + (ry_ + 12) * s + drop;
      const std::string text = Ellipsize(cr_, ValidUtf8(slice.point->label), 105);
      if (text.empty()) continue;
      const double w = TextWidth(cr_, text);
      double x = c >= 0 ? ax + 3 : ax - 3 - w;
      x = std::clamp(x, 2.0, kChartImageWidth - 2 - w);
      const double y = std::clamp(ay - f.height / 2, 0.0, kChartImageHeight - f.height);
      const TBox box{x - 1, y - 1, x + w + 1, y + f.height + 1};
      if (std::any_of(drawn.begin(), drawn.end(), [&](const TBox& b) { return b.Overlaps(box); }))
        continue;
      drawn.push_back(box);
      cairo_set_source_rgb(cr_, 0.45, 0.45, 0.45);
      cairo_move_to(cr_, ex, ey);
      cairo_line_to(cr_, ax, ay);
      cairo_stroke(cr_);
      cairo_set_source_rgb(cr_, 0.1, 0.1, 0.1);
      ShowText(cr_, x, y + f.ascent, text);
    }
  }

  cairo_t* cr_;
  const TChartPicture& picture_;
  double rx_, ry_, cx_, cy_;
};

}  // namespace

TRgbImage RenderChart(const TChartPicture& picture) {
  std::unique_ptr<cairo_surface_t, TSurfaceFree> surface(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, kChartImageWidth, kChartImageHeight));
  std::unique_ptr<cairo_t, TContextFree> context(cairo_create(surface.get()));
  cairo_t* cr = context.get();
  std::unique_ptr<cairo_font_options_t, TOptionsFree> options(cairo_font_options_create());
  cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
  cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
  cairo_set_font_options(cr, options.get());

  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  double top = 0;
  DrawTitle(cr, picture.title, top);
  switch (picture.kind) {
    case TChartKind::Bar:
    case TChartKind::Line:
      TAxesChart(cr, picture, top).Draw();
      break;
    case TChartKind::Pie:
      TPie3D(cr, picture, top).Draw();
      break;
    case TChartKind::None:
      if (!picture.trend.empty()) TAxesChart(cr, picture, top).Draw();
      break;
  }
  if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
    throw EInvalidOperation(std::string("Chart drawing failed: ") +
                            cairo_status_to_string(cairo_status(cr)));

  cairo_surface_flush(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  TRgbImage image(kChartImageWidth, kChartImageHeight);
  for (int y = 0; y < kChartImageHeight; ++y)
    for (int x = 0; x < kChartImageWidth; ++x) {
      uint32_t px;
      std::memcpy(&px, data + static_cast<size_t>(y) * stride + 4 * x, 4);
      uint8_t* out = image.At(x, y);
      out[0] = static_cast<uint8_t>(px >> 16);
      out[1] = static_cast<uint8_t>(px >> 8);
      out[2] = static_cast<uint8_t>(px);
    }
  return image;
}

}  // namespace trelvar

#if defined(__SANITIZE_ADDRESS__)
// Leak reports the chart code cannot act on: fontconfig, behind Cairo's font
// backend (here and in the pie-chart module), keeps its configuration and
// the patterns of cached faces until the process ends and never frees them,
// which would fail every sanitized run that draws a chart. Only stacks
// through fontconfig are excused, so a leak of our own still shows. The
// sanitizer runtime asks the executable for this; every program that draws
// charts links this file.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
// ... and quietly, so that a run's standard error holds only its own lines.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif
