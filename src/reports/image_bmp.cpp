#include "reports/image_bmp.h"

#include <utility>

namespace trelvar {

namespace {

void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

uint32_t Get16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8;
}

uint32_t Get32(const std::string& s, size_t at) { return Get16(s, at) | Get16(s, at + 2) << 16; }

constexpr uint32_t kFileHeader = 14;

}  // namespace

std::string EncodeBmp(const TRgbImage& image) {
  const uint32_t row_bytes = (static_cast<uint32_t>(image.width) * 3 + 3) & ~3u;
  const uint32_t image_size = row_bytes * static_cast<uint32_t>(image.height);
  std::string out;
  out.reserve(54 + image_size);
  out += "BM";
  Put32(out, 54 + image_size);
  Put32(out, 0);  // two reserved 16-bit fields
  Put32(out, 54);
  Put32(out, 40);
  Put32(out, static_cast<uint32_t>(image.width));
  Put32(out, static_cast<uint32_t>(image.height));
  Put16(out, 1);
  Put16(out, 24);
  Put32(out, 0);
  Put32(out, image_size);
  for (int i = 0; i < 4; ++i) Put32(out, 0);  // resolution and colour counts
  const std::string padding(row_bytes - static_cast<uint32_t>(image.width) * 3, '\0');
  for (int y = image.height - 1; y >= 0; --y) {
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      out += static_cast<char>(p[2]);
      out += static_cast<char>(p[1]);
      out += static_cast<char>(p[0]);
    }
    out += padding;
  }
  return out;
}

bool DecodeBmp(const std::string& bytes, TRgbImage& out) {
  if (bytes.size() < kFileHeader + 40 || bytes[0] != 'B' || bytes[1] != 'M') return false;
  const uint32_t data_offset = Get32(bytes, 10);
  const uint32_t info_size = Get32(bytes, 14);
  if (info_size < 40 || kFileHeader + info_size > bytes.size()) return false;
  const int32_t width = static_cast<int32_t>(Get32(bytes, 18));
  const int32_t raw_height = static_cast<int32_t>(Get32(bytes, 22));
  const uint32_t planes = Get16(bytes, 26), bits = Get16(bytes, 28);
  const uint32_t compression = Get32(bytes, 30);
  if (planes != 1 || (bits != 24 && bits != 32) || compression != 0) return false;
  if (width <= 0 || width > kMaxBmpSide || raw_height == 0 || raw_height < -kMaxBmpSide ||
      raw_height > kMaxBmpSide)
    return false;
  const bool bottom_up = raw_height > 0;
  const int height = bottom_up ? raw_height : -raw_height;
  const uint64_t pixel_bytes = bits / 8;
  const uint64_t row_bytes = (static_cast<uint64_t>(width) * pixel_bytes + 3) & ~uint64_t{3};
  if (data_offset < kFileHeader + info_size ||
      data_offset + row_bytes * static_cast<uint64_t>(height) > bytes.size())
    return false;

  TRgbImage image(width, height);
  for (int row = 0; row < height; ++row) {
    const size_t src = data_offset + row_bytes * static_cast<uint64_t>(row);
    const int y = bottom_up ? height - 1 - row : row;
    for (int x = 0; x < width; ++x) {
      const size_t p = src + x * pixel_bytes;
      uint8_t* dst = image.At(x, y);
      dst[0] = static_cast<uint8_t>(bytes[p + 2]);
      dst[1] = static_cast<uint8_t>(bytes[p + 1]);
      dst[2] = static_cast<uint8_t>(bytes[p]);
    }
  }
  out = std::move(image);
  return true;
}

}  // namespace trelvar
