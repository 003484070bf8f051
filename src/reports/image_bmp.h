// An RGB raster in memory and its 24-bit BMP file form.
//
// EncodeBmp writes the plain 54-byte-header, bottom-up, uncompressed form.
// DecodeBmp reads what a chart image can come as (24 or 32 bits per pixel,
// uncompressed, rows bottom-up or top-down) and checks every size against
// the data, so a damaged or hostile file gives false, never a crash. Pure
// functions, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trelvar {

struct TRgbImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgb;  // 3 bytes (red, green, blue) per pixel, rows top-down

  TRgbImage() = default;
  TRgbImage(int w, int h) : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0) {}
  uint8_t* At(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
  const uint8_t* At(int x, int y) const {
    return &rgb[(static_cast<size_t>(y) * width + x) * 3];
  }
};

// Images larger than this either way are refused when read.
inline constexpr int kMaxBmpSide = 16384;

std::string EncodeBmp(const TRgbImage& image);
bool DecodeBmp(const std::string& bytes, TRgbImage& out);

}  // namespace trelvar
