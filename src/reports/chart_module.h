// The pie-chart module as the chart service uses it: a source of pie images
// for a settings-and-items text.
//
// LoadPieChartModule binds the module file cirvex.so: it counts as present
// only when the file exists, loads, and exports both CreateCircleChartImage
// and DestroyChartImage (a module that cannot take its buffers back is
// refused rather than leaked from). Absence is not an error: the caller
// draws pies itself. Render copies the module's buffer and hands it back at
// once. Used from one thread.
#pragma once

#include <memory>
#include <string>

namespace trelvar {

class TPieChartSource {
 public:
  virtual ~TPieChartSource() = default;
  // The BMP file image the module makes of `text`; false when it gave none
  // (no buffer or no bytes).
  virtual bool Render(const std::string& text, std::string& bmp) = 0;
};

// nullptr when the module is absent or broken.
std::unique_ptr<TPieChartSource> LoadPieChartModule(const std::string& path);

}  // namespace trelvar
