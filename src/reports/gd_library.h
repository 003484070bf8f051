// The libgd entry points the chart images are encoded with, bound from
// libgd at run time on first use.
//
// Only the GIF and JPEG files of charts need libgd, and it pulls some forty
// libraries in (HEIF, AVIF, TIFF, WebP, X11 ...) whose loading would cost
// every console and CGI run a few dozen milliseconds: loading it on demand
// keeps them out of the runs that draw no chart. The table lives for the
// rest of the process once loaded; Gd is thread-safe.
#pragma once

#include <gd.h>

namespace trelvar {

struct TGdApi {
  decltype(&::gdImageCreateTrueColor) create_true_color;
  decltype(&::gdImageDestroy) destroy;
  decltype(&::gdFree) free;
  decltype(&::gdImageTrueColorToPaletteSetMethod) set_palette_method;
  decltype(&::gdImageCreatePaletteFromTrueColor) palette_from_true_color;
  decltype(&::gdImageColorMatch) color_match;
  decltype(&::gdImageGifPtr) gif_ptr;
  decltype(&::gdImageJpegPtr) jpeg_ptr;
};

// The table; throws EInvalidOperation saying why when libgd cannot be
// loaded or lacks an entry point (the same answer on every call).
const TGdApi& Gd();

}  // namespace trelvar
