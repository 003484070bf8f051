#include "reports/image_jpeg.h"

#include "reports/gd_image.h"

namespace trelvar {

bool EncodeJpeg(const TRgbImage& image, std::string& jpeg, int quality) {
  TGdImage im = TrueColorImage(image);
  if (!im) return false;
  int size = 0;
  void* data = Gd().jpeg_ptr(im.get(), &size, quality);
  return TakeGdBytes(data, size, jpeg) && size > 0;
}

}  // namespace trelvar
