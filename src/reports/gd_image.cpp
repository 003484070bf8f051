#include "reports/gd_image.h"

namespace trelvar {

TGdImage TrueColorImage(const TRgbImage& image) {
  if (image.width <= 0 || image.height <= 0) return nullptr;
  TGdImage im(Gd().create_true_color(image.width, image.height));
  if (!im) return nullptr;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      im->tpixels[y][x] = gdTrueColor(p[0], p[1], p[2]);
    }
  return im;
}

bool TakeGdBytes(void* data, int size, std::string& out) {
  if (!data) return false;
  out.assign(static_cast<const char*>(data), static_cast<size_t>(size));
  Gd().free(data);
  return true;
}

}  // namespace trelvar
