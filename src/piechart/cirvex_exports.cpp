// The C boundary of the module: nothing may escape it, and every call
// returns an image.
#include <cstdlib>
#include <string_view>

#include "piechart/bmp_writer.h"
#include "piechart/cirvex.h"
#include "piechart/pie_image.h"

namespace {

cirvex::TBmpBuffer RenderOrFallBack(const char* text) {
  try {
    return cirvex::RenderPieChart(text ? std::string_view(text) : std::string_view());
  } catch (...) {
  }
  // The text could not be drawn (memory, fonts): the default empty chart,
  // and when even that fails a single pixel.
  try {
    return cirvex::RenderPieChart({});
  } catch (...) {
  }
  try {
    return cirvex::MinimalBmp();
  } catch (...) {
  }
  return {};
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t CreateCircleChartImage(
    const char* text, uint8_t** image, int32_t* size) {
  const cirvex::TBmpBuffer bmp = RenderOrFallBack(text);
  if (image && size) {
    *image = bmp.data;
    *size = bmp.size;
  } else {
    std::free(bmp.data);
  }
  return 1;
}

extern "C" __attribute__((visibility("default"))) int32_t DestroyChartImage(uint8_t* image) {
  std::free(image);
  return 0;
}
