// Draws one pie chart with its legend from the module's input text and
// returns it as a BMP file image.
//
// Throws (std::bad_alloc, std::runtime_error) when memory or Cairo fail;
// the C entry point catches everything. Settings outside sensible limits
// are held inside them here: sizes are at least 0 and an image is at most
// kMaxImageSide pixels either way. Not thread-safe per call, but calls share
// nothing.
#pragma once

#include <string_view>

#include "piechart/bmp_writer.h"

namespace cirvex {

inline constexpr int kMaxImageSide = 4096;

TBmpBuffer RenderPieChart(std::string_view text);

}  // namespace cirvex
