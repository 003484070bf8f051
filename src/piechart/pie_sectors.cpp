#include "piechart/pie_sectors.h"

#include <algorithm>
#include <utility>

namespace cirvex {

namespace {

constexpr TColour Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

double Counted(const TPieItem& item) { return std::max(0.0, item.value); }

}  // namespace

const std::vector<TColour>& AutomaticPalette() {
  static const std::vector<TColour> kPalette = {
      Rgb(102, 204, 51),  Rgb(255, 204, 0),   Rgb(0, 131, 215),   Rgb(255, 204, 255),
      Rgb(255, 121, 75),  Rgb(204, 255, 204), Rgb(255, 219, 157), Rgb(153, 204, 255),
      Rgb(153, 153, 255), Rgb(255, 255, 153), Rgb(0, 102, 0),     Rgb(153, 102, 0),
      Rgb(0, 51, 153),    Rgb(153, 0, 0),     Rgb(102, 102, 153), Rgb(255, 121, 75),
      Rgb(222, 255, 255), Rgb(153, 153, 255), Rgb(51, 51, 102),   Rgb(0, 153, 255)};
  return kPalette;
}

std::vector<TSector> ComputeSectors(std::vector<TPieItem>& items, const TPieSettings& settings) {
  std::vector<TSector> sectors;
  double total = 0;
  for (const TPieItem& item : items) total += Counted(item);
  if (!(total > 0)) return sectors;

  const std::vector<TColour>& palette = AutomaticPalette();
  size_t next_colour = 0;
  size_t i = 0;
  // Selection order: position i gets the first largest value from i on.
  // Once an item falls below the minimum share all later ones do too, so
  // only the leading positions need sorting; the rest is summed.
  for (; i < items.size(); ++i) {
    size_t best = i;
    for (size_t j = i + 1; j < items.size(); ++j)
      if (Counted(items[j]) > Counted(items[best])) best = j;
    std::swap(items[i], items[best]);
    const double share = Counted(items[i]) / total;
    if (share < kMinShare) break;
    TSector sector;
    sector.share = share;
    sector.span = share * kFullTurn;
    sector.item = static_cast<int>(i);
    if (items[i].colour == kAutomaticColour) {
      sector.colour = palette[next_colour % palette.size()];
      ++next_colour;
    } else {
      sector.colour = items[i].colour & 0xFFFFFF;
    }
    sectors.push_back(sector);
  }
  double others = 0;
  for (; i < items.size(); ++i) others += Counted(items[i]);
  if (others > 0) {
    TSector merged;
    merged.share = others / total;
    merged.span = merged.share * kFullTurn;
    merged.colour = settings.color_merged_sector & 0xFFFFFF;
    sectors.push_back(merged);
  }
  return sectors;
}

}  // namespace cirvex
