// The two entry points of the pie-chart module cirvex.so, as the module
// exports them and as a caller binds them with dlsym.
//
// CreateCircleChartImage turns a zero-terminated settings-and-items text
// into a complete 24-bit BMP file in memory. It always returns 1 and an
// image, whatever the text holds; the buffer belongs to the module and goes
// back through DestroyChartImage, which returns 0. Each call works on its
// own objects only; callers use one thread.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

int32_t CreateCircleChartImage(const char* text, uint8_t** image, int32_t* size);
int32_t DestroyChartImage(uint8_t* image);

typedef int32_t (*TCreateCircleChartImage)(const char* text, uint8_t** image, int32_t* size);
typedef int32_t (*TDestroyChartImage)(uint8_t* image);

#ifdef __cplusplus
}
#endif
