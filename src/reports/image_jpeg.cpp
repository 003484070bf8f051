#include "reports/image_jpeg.h"

#include <gd.h>

#include <memory>

namespace trelvar {

namespace {

struct TGdImageFree {
  void operator()(gdImage* im) const { gdImageDestroy(im); }
};

}  // namespace

bool EncodeJpeg(const TRgbImage& image, std::string& jpeg, int quality) {
  if (image.width <= 0 || image.height <= 0) return false;
  std::unique_ptr<gdImage, TGdImageFree> im(gdImageCreateTrueColor(image.width, image.height));
  if (!im) return false;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      im->tpixels[y][x] = gdTrueColor(p[0], p[1], p[2]);
    }
  int size = 0;
  void* data = gdImageJpegPtr(im.get(), &size, quality);
  if (!data) return false;
  jpeg.assign(static_cast<const char*>(data), static_cast<size_t>(size));
  gdFree(data);
  return size > 0;
}

}  // namespace trelvar
