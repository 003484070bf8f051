// Bar charts with a second series and charts saved as JPEG files.
#include <gd.h>
#include <gtest/gtest.h>

#include <random>

#include "base/errors.h"
#include "reports/chart_renderer.h"
#include "reports/chart_service.h"
#include "test_support.h"

namespace trelvar {
namespace {

constexpr uint32_t kBlue = 0xFF0000, kRed = 0x0000FF;  // blue-green-red order

// Leftmost and rightmost column holding a pixel of exactly this colour.
std::pair<int, int> Columns(const TRgbImage& image, uint8_t r, uint8_t g, uint8_t b) {
  int lo = -1, hi = -1;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      if (p[0] != r || p[1] != g || p[2] != b) continue;
      if (lo < 0 || x < lo) lo = x;
      if (x > hi) hi = x;
    }
  return {lo, hi};
}

TEST(ChartPair, SecondSeriesStandsBesideTheFirst) {
  TChartPicture picture;
  picture.kind = TChartKind::Bar;
  picture.main = {{"one", 10, kBlue, false}};
  picture.second = {{"one", 5, kRed, false}};
  const TRgbImage image = RenderChart(picture);
  const auto blue = Columns(image, 0, 0, 255);
  const auto red = Columns(image, 255, 0, 0);
  ASSERT_GE(blue.first, 0);
  ASSERT_GE(red.first, 0);
  EXPECT_LT(blue.second, red.first);  // blue on the left, red on the right
  // Without the second series the one bar is twice as wide.
  picture.second.clear();
  const auto alone = Columns(RenderChart(picture), 0, 0, 255);
  EXPECT_GT(alone.second - alone.first, (blue.second - blue.first) * 3 / 2);
}

TEST(ChartPair, SavedAsJpegOfTheGivenName) {
  test::TTempDir dir;
  std::mt19937_64 random(1);
  TfrmTempChart chart(nullptr, random);
  chart.SetOutputFolder(dir.path());
  chart.BeginChart("Title with blanks", "bar", true, 2);
  EXPECT_FALSE(chart.Picture().marks);
  chart.SetBarMarks(true);
  EXPECT_TRUE(chart.Picture().marks);
  chart.AddChartPoint("a", 3);
  chart.AddSecondBarPoint("a", 4);
  chart.AddChartPoint("b", 1);
  chart.AddSecondBarPoint("b", 2);
  ASSERT_EQ(chart.Picture().second.size(), 2u);
  EXPECT_EQ(chart.Picture().second[0].colour, kRed);
  EXPECT_EQ(chart.Picture().main[0].colour, kBlue);
  EXPECT_EQ(chart.FinishChartJpeg("results.jpg"), "<P><IMG SRC=\"results.jpg\"></P>");
  std::string bytes = test::ReadFile(dir / "results.jpg");
  ASSERT_GT(bytes.size(), 3u);
  EXPECT_EQ(bytes.substr(0, 3), "\xFF\xD8\xFF");
  gdImagePtr im = gdImageCreateFromJpegPtr(static_cast<int>(bytes.size()), bytes.data());
  ASSERT_NE(im, nullptr);
  EXPECT_EQ(gdImageSX(im), kChartImageWidth);
  EXPECT_EQ(gdImageSY(im), kChartImageHeight);
  gdImageDestroy(im);
  // A name with "/" stays in the folder.
  EXPECT_EQ(chart.FinishChartJpeg("../x.jpg"), "<P><IMG SRC=\".._x.jpg\"></P>");
  EXPECT_FALSE(test::ReadFile(dir / ".._x.jpg").empty());
  // Second points only go to bar charts.
  chart.BeginChart("t", "line", true, 2);
  chart.AddSecondBarPoint("a", 1);
  EXPECT_TRUE(chart.Picture().second.empty());
  // An unwritable folder is a file error.
  chart.SetOutputFolder(dir / "missing/");
  chart.BeginChart("t", "bar", true, 1);
  EXPECT_THROW(chart.FinishChartJpeg("a.jpg"), EFCreateError);
}

}  // namespace
}  // namespace trelvar
