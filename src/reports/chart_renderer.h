// The chart service's own renderer: bar, line and 3-D pie charts drawn with
// Cairo on a 489 x 289 white surface with the title and without a legend.
//
// Bars and lines get value and label axes; the trend series is a red line
// over the same label positions, broken at its gap points; bars can carry
// value marks, and a second bar series stands beside the first. Pies are drawn in 3-D with a label beside each slice. Values
// that are not finite count as 0; pies leave out values that are not
// positive. RenderChart throws EInvalidOperation when Cairo cannot draw
// (memory). Pure, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "reports/image_bmp.h"

namespace trelvar {

inline constexpr int kChartImageWidth = 489;
inline constexpr int kChartImageHeight = 289;

enum class TChartKind { None, Bar, Line, Pie };

struct TChartPoint {
  std::string label;
  double value = 0;
  uint32_t colour = 0;  // blue-green-red order, red in the low byte
  bool gap = false;     // a labelled null point: the line is broken here
};

struct TChartPicture {
  std::string title;
  TChartKind kind = TChartKind::None;
  bool marks = false;  // value marks on bars
  std::vector<TChartPoint> main;
  // Bars only: a second bar series, each of its bars beside the main bar of
  // the same position.
  std::vector<TChartPoint> second;
  std::vector<TChartPoint> trend;
};

TRgbImage RenderChart(const TChartPicture& picture);

}  // namespace trelvar
