#include "reports/image_gif.h"

#include "reports/gd_image.h"

namespace trelvar {

bool EncodeGif(const TRgbImage& image, std::string& gif) {
  TGdImage im = TrueColorImage(image);
  if (!im) return false;
  // The median-cut quantiser dithers (Floyd-Steinberg) and gives the same
  // palette on every machine. It works on 5-6-5 bit cells, so its colours
  // are cell centres (white comes out 252,254,252); matching the palette
  // to the pixels each entry stands for brings flat areas back to their
  // exact colour and hides the dither pattern there.
  const TGdApi& gd = Gd();
  gd.set_palette_method(im.get(), GD_QUANT_JQUANT, 0);
  TGdImage palette(gd.palette_from_true_color(im.get(), 1, gdMaxColors));
  if (!palette) return false;
  gd.color_match(im.get(), palette.get());
  int size = 0;
  void* data = gd.gif_ptr(palette.get(), &size);
  return TakeGdBytes(data, size, gif);
}

}  // namespace trelvar
