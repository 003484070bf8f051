#include "reports/image_gif.h"

#include <gd.h>

#include <memory>

namespace trelvar {

namespace {

struct TGdImageFree {
  void operator()(gdImage* im) const { gdImageDestroy(im); }
};

}  // namespace

bool EncodeGif(const TRgbImage& image, std::string& gif) {
  if (image.width <= 0 || image.height <= 0) return false;
  std::unique_ptr<gdImage, TGdImageFree> im(gdImageCreateTrueColor(image.width, image.height));
  if (!im) return false;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      im->tpixels[y][x] = gdTrueColor(p[0], p[1], p[2]);
    }
  // The median-cut quantiser dithers (Floyd-Steinberg) and gives the same
  // palette on every machine. It works on 5-6-5 bit cells, so its colours
  // are cell centres (white comes out 252,254,252); matching the palette
  // to the pixels each entry stands for brings flat areas back to their
  // exact colour and hides the dither pattern there.
  gdImageTrueColorToPaletteSetMethod(im.get(), GD_QUANT_JQUANT, 0);
  std::unique_ptr<gdImage, TGdImageFree> palette(
      gdImageCreatePaletteFromTrueColor(im.get(), 1, gdMaxColors));
  if (!palette) return false;
  gdImageColorMatch(im.get(), palette.get());
  int size = 0;
  void* data = gdImageGifPtr(palette.get(), &size);
  if (!data) return false;
  gif.assign(static_cast<const char*>(data), static_cast<size_t>(size));
  gdFree(data);
  return true;
}

}  // namespace trelvar
