// The pieces behind the chart service: BMP reading and writing, GIF
// encoding, the texts it makes, and the built-in renderer.
#include <gd.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <tuple>

#include "reports/chart_renderer.h"
#include "reports/chart_text.h"
#include "reports/image_bmp.h"
#include "reports/image_gif.h"

namespace trelvar {
namespace {

TRgbImage Gradient(int w, int h) {
  TRgbImage image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = image.At(x, y);
      p[0] = static_cast<uint8_t>(x * 7);
      p[1] = static_cast<uint8_t>(y * 11);
      p[2] = static_cast<uint8_t>(x + y);
    }
  return image;
}

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

TEST(ChartImageBmp, RoundTripAndLayout) {
  for (auto [w, h] : {std::pair{1, 1}, {3, 2}, {4, 4}, {489, 289}}) {
    const TRgbImage image = Gradient(w, h);
    const std::string bmp = EncodeBmp(image);
    const size_t row = (w * 3 + 3) & ~3;
    EXPECT_EQ(bmp.size(), 54 + row * h);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    // Bottom-up: the first stored pixel is the bottom-left one, blue first.
    EXPECT_EQ(static_cast<uint8_t>(bmp[54]), image.At(0, h - 1)[2]);
    EXPECT_EQ(static_cast<uint8_t>(bmp[56]), image.At(0, h - 1)[0]);
    TRgbImage back;
    ASSERT_TRUE(DecodeBmp(bmp, back));
    EXPECT_EQ(back.width, w);
    EXPECT_EQ(back.height, h);
    EXPECT_EQ(back.rgb, image.rgb);
  }
}

TEST(ChartImageBmp, ReadsTopDownAnd32BitRows) {
  const TRgbImage image = Gradient(5, 3);
  std::string top_down = EncodeBmp(image);
  Put32(top_down, 22, static_cast<uint32_t>(-3));
  TRgbImage back;
  ASSERT_TRUE(DecodeBmp(top_down, back));
  EXPECT_EQ(back.At(0, 0)[0], image.At(0, 2)[0]);  // rows now read the other way

  std::string wide = EncodeBmp(TRgbImage(2, 1)).substr(0, 54);
  wide[28] = 32;
  wide += std::string("\x01\x02\x03\xFF\x04\x05\x06\xFF", 8);
  ASSERT_TRUE(DecodeBmp(wide, back));
  EXPECT_EQ(back.At(1, 0)[0], 6);  // red of the second pixel
  EXPECT_EQ(back.At(1, 0)[2], 4);
}

TEST(ChartImageBmp, DamagedFilesAreRefused) {
  const std::string good = EncodeBmp(Gradient(4, 3));
  auto with = [&](size_t at, uint32_t v) {
    std::string s = good;
    Put32(s, at, v);
    return s;
  };
  auto with16 = [&](size_t at, uint16_t v) {
    std::string s = good;
    s[at] = static_cast<char>(v);
    s[at + 1] = static_cast<char>(v >> 8);
    return s;
  };
  const std::string bad[] = {
      "",
      "BM",
      "XY" + good.substr(2),
      good.substr(0, good.size() - 1),  // pixel data cut short
      with(18, 0),                      // no width
      with(18, static_cast<uint32_t>(-4)),
      with(22, 0),
      with(18, 100000),  // far larger than the data
      with(18, 0x7FFFFFFF),
      with(22, 0x80000000u),
      with(10, 0xFFFFFFF0u),  // pixel data beyond the end
      with(10, 20),           // pixel data inside the header
      with(14, 12),           // an old, short information header
      with(30, 1),            // compressed
      with16(28, 8),          // 8 bits per pixel
      with16(26, 2),
  };
  for (const std::string& bytes : bad) {
    TRgbImage out;
    EXPECT_FALSE(DecodeBmp(bytes, out)) << bytes.size();
  }
}

TEST(ChartImageGif, EncodesADecodableGifOfTheSameSize) {
  TRgbImage image = Gradient(489, 289);
  std::string gif;
  ASSERT_TRUE(EncodeGif(image, gif));
  EXPECT_EQ(gif.substr(0, 3), "GIF");
  gdImagePtr im = gdImageCreateFromGifPtr(static_cast<int>(gif.size()), gif.data());
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(gdImageSX(im), 489);
  EXPECT_EQ(gdImageSY(im), 289);
  EXPECT_FALSE(gdImageTrueColor(im));
  EXPECT_LE(gdImageColorsTotal(im), 256);
  gdImageDestroy(im);

  // A flat area keeps its colour closely despite the 5-6-5 bit quantiser.
  TRgbImage flat(40, 20);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 40; ++x) {
      uint8_t* p = flat.At(x, y);
      p[0] = x < 20 ? 255 : 102;
      p[1] = x < 20 ? 255 : 204;
      p[2] = x < 20 ? 255 : 51;
    }
  ASSERT_TRUE(EncodeGif(flat, gif));
  im = gdImageCreateFromGifPtr(static_cast<int>(gif.size()), gif.data());
  ASSERT_NE(im, nullptr);
  for (auto [x, r, g, b] : {std::tuple{5, 255, 255, 255}, {30, 102, 204, 51}}) {
    const int c = gdImageGetPixel(im, x, 10);
    EXPECT_NEAR(gdImageRed(im, c), r, 1);
    EXPECT_NEAR(gdImageGreen(im, c), g, 1);
    EXPECT_NEAR(gdImageBlue(im, c), b, 1);
  }
  gdImageDestroy(im);

  EXPECT_FALSE(EncodeGif(TRgbImage(), gif));
}

TEST(ChartText, FileNamesNumbersAndLabels) {
  EXPECT_EQ(ChartFileName("Top 10 pages"), "Top_10_pages.gif");
  EXPECT_EQ(ChartFileName("a/b/../c"), "a_b_.._c.gif");
  EXPECT_EQ(ChartFileName(""), ".gif");

  struct TNumber {
    double value;
    const char* text;
  };
  for (const TNumber& n : {TNumber{50, "50"}, {12.5, "12.5"}, {0.1, "0.1"}, {-3.25, "-3.25"},
                           {1.0 / 3, "0.333333333333333"}, {2.0 / 3, "0.666666666666667"},
                           {1e20, "1e+20"}, {1e-7, "1e-07"}, {123456789012345678.0, "1.23456789012346e+17"},
                           {100000000000000.0, "100000000000000"}, {0, "0"}})
    EXPECT_EQ(ChartNumber(n.value), n.text) << n.text;

  EXPECT_EQ(ModuleLabel(std::string("a\rb\nc\0d", 7)), "a b c d");
  EXPECT_EQ(ModuleLabel("item=x"), "item=x");  // stays on its own line: harmless
}

int CountPixels(const TRgbImage& image, int r, int g, int b, int tolerance) {
  int n = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      n += std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance &&
           std::abs(p[2] - b) <= tolerance;
    }
  return n;
}

TEST(ChartRenderer, SurfaceTitleAndSeries) {
  TChartPicture empty;
  TRgbImage image = RenderChart(empty);
  EXPECT_EQ(image.width, 489);
  EXPECT_EQ(image.height, 289);
  EXPECT_EQ(CountPixels(image, 255, 255, 255, 0), 489 * 289);  // white, nothing drawn

  TChartPicture titled;
  titled.title = "Hits per day";
  image = RenderChart(titled);
  EXPECT_GT(CountPixels(image, 20, 40, 110, 40), 20);  // the title's ink

  TChartPicture bars;
  bars.kind = TChartKind::Bar;
  for (int i = 0; i < 30; ++i) bars.main.push_back({"label " + std::to_string(i), 1.0 + i, 0xFF0000, false});
  const int blue_bars = CountPixels(RenderChart(bars), 0, 0, 255, 0);
  EXPECT_GT(blue_bars, 3000);
  for (int i = 0; i < 15; ++i) bars.main[i].value = 0;  // the same axis, half the bars
  EXPECT_LT(CountPixels(RenderChart(bars), 0, 0, 255, 0), blue_bars);

  TChartPicture pie;
  pie.kind = TChartKind::Pie;
  pie.main = {{"a", 3, 0x00FF00, false}, {"b", 1, 0x0000FF, false}, {"neg", -5, 0xFF0000, false}};
  image = RenderChart(pie);
  const int green = CountPixels(image, 0, 255, 0, 0), red = CountPixels(image, 255, 0, 0, 0);
  EXPECT_GT(green, 2.5 * red);  // three times the value, three times the top area
  EXPECT_GT(red, 1000);
  EXPECT_EQ(CountPixels(image, 0, 0, 255, 0), 0);  // the negative value is left out

  // Odd values and texts draw without failing.
  TChartPicture odd;
  odd.kind = TChartKind::Line;
  odd.title = std::string(500, 'T') + "\xFF\xFE";
  odd.main = {{"\xC3", 1e308, 1, false}, {"", -1e308, 2, false},
              {std::string(300, 'x'), std::nan(""), 3, false}};
  odd.trend = {{"a", 0, 0xFF, true}, {"b", 5, 0xFF, false}, {"c", 0, 0xFF, true}};
  EXPECT_EQ(RenderChart(odd).width, 489);
  odd.kind = TChartKind::Pie;
  EXPECT_EQ(RenderChart(odd).width, 489);
}

}  // namespace
}  // namespace trelvar
