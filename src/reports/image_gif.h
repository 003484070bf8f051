// GIF encoding of chart images through libgd: the true-colour raster is
// reduced to a palette of at most 256 colours by quantisation with
// Floyd-Steinberg dithering, then written as GIF.
//
// EncodeGif returns false when libgd fails (memory) and raises
// EInvalidOperation when libgd cannot be loaded. Thread-safe: each call
// uses its own libgd image.
#pragma once

#include <string>

#include "reports/image_bmp.h"

namespace trelvar {

bool EncodeGif(const TRgbImage& image, std::string& gif);

}  // namespace trelvar
