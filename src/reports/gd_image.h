// What the libgd encoders of chart images share: a true-colour libgd image
// made from an RGB raster, freed with its owner, and the taking over of
// the bytes libgd encodes into. Raises EInvalidOperation when libgd
// cannot be loaded (gd_library.h). Thread-safe: each image is the caller's.
#pragma once

#include <memory>
#include <string>

#include "reports/gd_library.h"
#include "reports/image_bmp.h"

namespace trelvar {

struct TGdImageFree {
  void operator()(gdImage* im) const { Gd().destroy(im); }
};
using TGdImage = std::unique_ptr<gdImage, TGdImageFree>;

// Null for an empty raster or when libgd has no memory.
TGdImage TrueColorImage(const TRgbImage& image);
// Copies the `size` bytes libgd encoded into `out` and frees them; false
// when libgd gave none.
bool TakeGdBytes(void* data, int size, std::string& out);

}  // namespace trelvar
