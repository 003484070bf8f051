// The 24-bit bottom-up BMP file image of a Cairo RGB24 surface.
//
// The buffer is allocated with std::malloc so that DestroyChartImage can
// free it across the C boundary. Throws std::bad_alloc when memory runs out.
// Pure functions, thread-safe.
#pragma once

#include <cairo.h>

#include <cstdint>

namespace cirvex {

struct TBmpBuffer {
  uint8_t* data = nullptr;  // malloc'ed; the caller frees it
  int32_t size = 0;
};

TBmpBuffer EncodeBmp(cairo_surface_t* surface);

// A one-pixel white image, for when nothing else can be made.
TBmpBuffer MinimalBmp();

}  // namespace cirvex
