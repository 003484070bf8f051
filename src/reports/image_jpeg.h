// JPEG encoding of chart images through libgd.
//
// EncodeJpeg returns false when libgd fails (memory, an empty image) and
// raises EInvalidOperation when libgd cannot be loaded.
// Thread-safe: each call uses its own libgd image.
#pragma once

#include <string>

#include "reports/image_bmp.h"

namespace trelvar {

// quality: 0 to 100 (libgd's scale).
bool EncodeJpeg(const TRgbImage& image, std::string& jpeg, int quality = 90);

}  // namespace trelvar
