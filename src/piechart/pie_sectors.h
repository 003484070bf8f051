// The sectors of a pie: which items get a slice of their own, in which
// order and colour, and the merged slice of the small ones.
//
// ComputeSectors reorders the items it is given (largest first, by the
// selection rule) and never fails. Pure, thread-safe.
#pragma once

#include <vector>

#include "piechart/pie_input.h"

namespace cirvex {

// The angle of a full turn as the chart uses it throughout.
inline constexpr double kFullTurn = 6.28318;
inline constexpr double kHalfTurn = 3.14159;
// Items below this share are merged into one sector.
inline constexpr double kMinShare = 0.05;

struct TSector {
  double span = 0;   // radians
  double share = 0;  // 0..1
  TColour colour = 0;
  int item = -1;  // index into the reordered items; -1 for the merged sector
};

// The 20 automatic colours, in order.
const std::vector<TColour>& AutomaticPalette();

// Negative values count as 0: a pie cannot show them.
std::vector<TSector> ComputeSectors(std::vector<TPieItem>& items, const TPieSettings& settings);

}  // namespace cirvex
