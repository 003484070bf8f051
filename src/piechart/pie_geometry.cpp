#include "piechart/pie_geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "piechart/pie_sectors.h"

namespace cirvex {

int TruncInt(double v) {
  if (std::isnan(v)) return 0;
  v = std::trunc(v);
  if (v >= std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
  if (v <= std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
  return static_cast<int>(v);
}

TPieGeometry::TPieGeometry(int width, int height, double axis_ratio, double thickness_ratio) {
  D = std::min(TruncInt(height / (thickness_ratio + 1)), TruncInt(width / axis_ratio));
  D = std::max(D, 0);
  T = TruncInt(D * thickness_ratio);
  ry = D / 2;
  rx = TruncInt(D * axis_ratio) / 2;
  x0 = (width - 2 * rx) / 2;
  x1 = x0 + 2 * rx;
  y0 = TruncInt((height - 2.0 * ry * (thickness_ratio + 1)) * 0.5);
  y1 = y0 + 2 * ry;
  cx = x0 + rx;
  cy = y0 + ry;
}

TPoint TPieGeometry::PointAt(double theta) const {
  if (rx <= 0 || ry <= 0) return {cx, cy};
  const double c = std::cos(theta), s = std::sin(theta);
  const double r = 1 / std::sqrt(c * c / (double(rx) * rx) + s * s / (double(ry) * ry));
  return {cx + TruncInt(r * c), cy + TruncInt(r * s)};
}

std::optional<TRimColumns> RimColumns(const TPieGeometry& g, double start, double end) {
  double s = start, e = end;
  if (e < -kHalfTurn && s > -kHalfTurn) s = -kHalfTurn;
  double l = std::min(s, e), h = std::max(s, e);
  // Bring both into [0, full turn]; bounded so a wild angle cannot spin.
  auto normalise = [](double a) {
    for (int n = 0; a < 0 && n < 64; ++n) a += kFullTurn;
    for (int n = 0; a > kFullTurn && n < 64; ++n) a -= kFullTurn;
    return a;
  };
  l = normalise(l);
  h = normalise(h);
  if (l >= kHalfTurn) return std::nullopt;
  TRimColumns columns;
  if (l > 0) columns.right = g.PointAt(l).x;
  const double hh = std::min(h, kHalfTurn);
  if (hh < kHalfTurn) columns.left = g.PointAt(hh).x;
  return columns;
}

}  // namespace cirvex
