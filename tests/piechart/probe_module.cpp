// A stand-in pie-chart module for the chart service's tests: it keeps the
// last text it was given, answers with a fixed 3 x 2 BMP and counts the
// buffers handed back. Built once with and once without DestroyChartImage.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string last_text;
int destroyed = 0;

const unsigned char kBmp3x2[] = {
    'B', 'M', 78, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,  // file header
    40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 24, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // bottom row: blue, green, red; then the top row: white x 3 (padded)
    255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0,
    255, 255, 255, 255, 255, 255, 255, 255, 255, 0, 0, 0};

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t CreateCircleChartImage(
    const char* text, uint8_t** image, int32_t* size) {
  last_text = text ? text : "";
  *image = static_cast<uint8_t*>(std::malloc(sizeof kBmp3x2));
  std::memcpy(*image, kBmp3x2, sizeof kBmp3x2);
  *size = sizeof kBmp3x2;
  return 1;
}

#ifdef PROBE_WITH_DESTROY
extern "C" __attribute__((visibility("default"))) int32_t DestroyChartImage(uint8_t* image) {
  std::free(image);
  ++destroyed;
  return 0;
}
#endif

extern "C" __attribute__((visibility("default"))) const char* ProbeLastText() {
  return last_text.c_str();
}

extern "C" __attribute__((visibility("default"))) int ProbeDestroyed() { return destroyed; }
