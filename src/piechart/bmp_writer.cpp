#include "piechart/bmp_writer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace cirvex {

namespace {

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v & 0xFFFF);
  Put16(p + 2, v >> 16);
}

constexpr uint32_t kHeaderSize = 54;

// Allocates the file and writes both headers; rows are left to the caller.
TBmpBuffer NewBmp(int width, int height, uint32_t& row_bytes) {
  row_bytes = (static_cast<uint32_t>(width) * 3 + 3) & ~3u;
  const uint32_t image_size = row_bytes * static_cast<uint32_t>(height);
  const uint32_t file_size = kHeaderSize + image_size;
  auto* p = static_cast<uint8_t*>(std::calloc(file_size, 1));
  if (!p) throw std::bad_alloc();
  p[0] = 'B';
  p[1] = 'M';
  Put32(p + 2, file_size);
  Put32(p + 10, kHeaderSize);  // reserved fields at 6 and 8 stay 0
  Put32(p + 14, 40);
  Put32(p + 18, static_cast<uint32_t>(width));
  Put32(p + 22, static_cast<uint32_t>(height));  // positive: rows bottom-up
  Put16(p + 26, 1);
  Put16(p + 28, 24);
  Put32(p + 30, 0);  // no compression
  Put32(p + 34, image_size);
  return {p, static_cast<int32_t>(file_size)};
}

}  // namespace

TBmpBuffer EncodeBmp(cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  const int width = cairo_image_surface_get_width(surface);
  const int height = cairo_image_surface_get_height(surface);
  const int stride = cairo_image_surface_get_stride(surface);
  const unsigned char* pixels = cairo_image_surface_get_data(surface);
  uint32_t row_bytes;
  TBmpBuffer bmp = NewBmp(width, height, row_bytes);
  for (int y = 0; y < height; ++y) {
    const unsigned char* src = pixels + static_cast<size_t>(y) * stride;
    uint8_t* dst = bmp.data + kHeaderSize + static_cast<size_t>(height - 1 - y) * row_bytes;
    for (int x = 0; x < width; ++x) {
      uint32_t argb;
      std::memcpy(&argb, src + 4 * x, 4);
      dst[3 * x] = static_cast<uint8_t>(argb);            // blue
      dst[3 * x + 1] = static_cast<uint8_t>(argb >> 8);   // green
      dst[3 * x + 2] = static_cast<uint8_t>(argb >> 16);  // red
    }
  }
  return bmp;
}

TBmpBuffer MinimalBmp() {
  uint32_t row_bytes;
  TBmpBuffer bmp = NewBmp(1, 1, row_bytes);
  std::memset(bmp.data + kHeaderSize, 0xFF, 3);
  return bmp;
}

}  // namespace cirvex
