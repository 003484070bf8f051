// Where the pie lies in its area: diameters, rim height, the ellipse box and
// the points on the top ellipse, plus the visible front part of a sector's
// rim.
//
// All divisions of integers truncate toward zero and every real-to-integer
// conversion truncates (saturating, so absurd settings cannot overflow).
// Immutable once made, thread-safe.
#pragma once

#include <optional>

namespace cirvex {

struct TPoint {
  int x = 0;
  int y = 0;
};

// Truncates toward zero; NaN gives 0 and values beyond the 32-bit range
// give its ends.
int TruncInt(double v);

struct TPieGeometry {
  // area: width and height of the pie area; ratios as the settings hold them.
  TPieGeometry(int width, int height, double axis_ratio, double thickness_ratio);

  int D = 0;  // vertical diameter
  int T = 0;  // rim height
  int rx = 0, ry = 0;
  int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
  int cx = 0, cy = 0;

  // The point at angle theta on the top ellipse (0 = rightmost; screen y
  // grows downward, so decreasing angles run counter-clockwise on screen).
  TPoint PointAt(double theta) const;
};

// The columns of the front rim a sector from angle `start` to `end`
// (end = start - span) shows: x from `left` (inclusive) to `right`
// (exclusive); a missing bound means the band's own edge.
struct TRimColumns {
  std::optional<int> left;
  std::optional<int> right;
};
std::optional<TRimColumns> RimColumns(const TPieGeometry& g, double start, double end);

}  // namespace cirvex
