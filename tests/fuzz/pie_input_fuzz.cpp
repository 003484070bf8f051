// Fuzz target: the pie-chart module's input text, read and laid out as the
// module lays out a chart before drawing it: the sectors, their legend
// texts and the pie's place in its area. Links the module's own sources
// only, as the module links nothing of the program.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "piechart/legend_text.h"
#include "piechart/pie_geometry.h"
#include "piechart/pie_input.h"
#include "piechart/pie_sectors.h"

namespace {

// The module's largest image side (pie_image.h, which needs Cairo's headers).
constexpr int kMaxImageSide = 4096;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "fuzz target: %s\n", what.c_str());
  std::abort();
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing beyond U+10FFFF.
bool IsUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    size_t n = 0;
    uint32_t cp = 0;
    if (c < 0x80) { ++i; continue; }
    if (c >= 0xc2 && c <= 0xdf) { n = 1; cp = c & 0x1f; }
    else if (c >= 0xe0 && c <= 0xef) { n = 2; cp = c & 0x0f; }
    else if (c >= 0xf0 && c <= 0xf4) { n = 3; cp = c & 0x07; }
    else return false;
    for (size_t k = 1; k <= n; ++k) {
      if (i + k >= s.size()) return false;
      const auto b = static_cast<unsigned char>(s[i + k]);
      if ((b & 0xc0) != 0x80) return false;
      cp = (cp << 6) | (b & 0x3f);
    }
    if ((n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) || cp > 0x10ffff ||
        (cp >= 0xd800 && cp <= 0xdfff))
      return false;
    i += n + 1;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace cirvex;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  TPieInput input = ParsePieText(text);
  const TPieSettings& s = input.settings;
  if (!std::isfinite(s.axis_ratio) || !std::isfinite(s.thickness_ratio))
    Fail("a ratio that is not a finite number was accepted");

  const std::vector<TSector> sectors = ComputeSectors(input.items, s);
  double total = 0;
  for (const TSector& sector : sectors) {
    if (!(sector.span >= 0) || !(sector.share >= 0 && sector.share <= 1.000001))
      Fail("a sector with a negative span or a share outside 0..1");
    if (sector.item >= static_cast<int>(input.items.size())) Fail("a sector of no item");
    total += sector.share;
    const std::string legend =
        LegendText(sector.item >= 0 ? input.items[static_cast<size_t>(sector.item)].name
                                    : s.legend_str_others,
                   sector.share, s.legend_max_chars, s.legend_show_percent != 0);
    if (!IsUtf8(legend)) Fail("a legend text that is no valid UTF-8");
  }
  if (total > 1.0001) Fail("the sectors share more than the whole pie");

  // As the module places the pie before drawing it.
  const TPieGeometry g(std::clamp(s.chart_width, 0, kMaxImageSide),
                       std::clamp(s.chart_height, 0, kMaxImageSide), s.axis_ratio,
                       s.thickness_ratio);
  double a = 0;
  for (const TSector& sector : sectors) {
    const double e = a - sector.span;
    (void)g.PointAt(a);
    (void)RimColumns(g, a, e);
    a = e;
  }
  return 0;
}
