// The pie-chart module, loaded from the build folder as the program loads
// it and driven through its two C entry points only.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "piechart/cirvex.h"
#include "platform/shared_library.h"

#ifdef TRELVAR_CIRVEX_MODULE

namespace trelvar {
namespace {

struct TRgb {
  int r, g, b;
  bool operator==(const TRgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& os, const TRgb& c) {
  return os << "(" << c.r << "," << c.g << "," << c.b << ")";
}

const TRgb kWhite{255, 255, 255};
const TRgb kLines{80, 80, 80};
// The first automatic colours and their rim shades.
const TRgb kPalette[] = {{102, 204, 51}, {255, 204, 0},  {0, 131, 215},   {255, 204, 255},
                         {255, 121, 75}, {204, 255, 204}, {255, 219, 157}, {153, 204, 255},
                         {153, 153, 255}, {255, 255, 153}, {0, 102, 0}};

TRgb Darker(TRgb c) {
  auto d = [](int v) { return v > 48 ? v - 48 : 0; };
  return {d(c.r), d(c.g), d(c.b)};
}

uint32_t U16(const std::string& s, size_t at) {
  return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
}
uint32_t U32(const std::string& s, size_t at) { return U16(s, at) | U16(s, at + 2) << 16; }

// One call's result: the return value and a copy of the image.
struct TImage {
  int32_t result = 0;
  std::string bytes;
  int Width() const { return static_cast<int32_t>(U32(bytes, 18)); }
  int Height() const { return static_cast<int32_t>(U32(bytes, 22)); }
  TRgb At(int x, int y) const {
    const size_t row = (static_cast<size_t>(Width()) * 3 + 3) & ~size_t{3};
    const size_t p = 54 + (Height() - 1 - y) * row + 3 * x;
    return {static_cast<uint8_t>(bytes[p + 2]), static_cast<uint8_t>(bytes[p + 1]),
            static_cast<uint8_t>(bytes[p])};
  }
};

class CirvexModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    library_ = platform::TSharedLibrary::Load(TRELVAR_CIRVEX_MODULE).release();
    ASSERT_NE(library_, nullptr);
    create_ = reinterpret_cast<TCreateCircleChartImage>(library_->Symbol("CreateCircleChartImage"));
    destroy_ = reinterpret_cast<TDestroyChartImage>(library_->Symbol("DestroyChartImage"));
  }
  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(create_, nullptr);
    ASSERT_NE(destroy_, nullptr);
  }

  static TImage Render(const std::string& text) {
    TImage image;
    uint8_t* buffer = nullptr;
    int32_t size = 0;
    image.result = create_(text.c_str(), &buffer, &size);
    EXPECT_NE(buffer, nullptr);
    EXPECT_GT(size, 54);
    if (buffer && size > 0) image.bytes.assign(reinterpret_cast<char*>(buffer), size);
    EXPECT_EQ(destroy_(buffer), 0);
    return image;
  }

  // Every header field of a 24-bit bottom-up BMP and the sizes that follow.
  static void ExpectValidBmp(const TImage& image) {
    const std::string& b = image.bytes;
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b.substr(0, 2), "BM");
    EXPECT_EQ(U32(b, 2), b.size());
    EXPECT_EQ(U32(b, 6), 0u);  // both reserved fields
    EXPECT_EQ(U32(b, 10), 54u);
    EXPECT_EQ(U32(b, 14), 40u);
    const int w = image.Width(), h = image.Height();
    EXPECT_GE(w, 1);
    EXPECT_GE(h, 1);  // positive: rows bottom-up
    EXPECT_LE(w, 4096);
    EXPECT_LE(h, 4096);
    EXPECT_EQ(U16(b, 26), 1u);
    EXPECT_EQ(U16(b, 28), 24u);
    EXPECT_EQ(U32(b, 30), 0u);
    const uint32_t row = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    EXPECT_EQ(U32(b, 34), row * h);
    for (size_t at = 38; at < 54; at += 4) EXPECT_EQ(U32(b, at), 0u) << at;
    EXPECT_EQ(b.size(), 54 + row * h);
  }

  static inline platform::TSharedLibrary* library_ = nullptr;
  static inline TCreateCircleChartImage create_ = nullptr;
  static inline TDestroyChartImage destroy_ = nullptr;
};

std::string Items(const std::vector<std::pair<std::string, std::string>>& items) {
  std::string text;
  for (const auto& [name, value] : items) text += "item=" + name + "\r\nvalue=" + value + "\r\n";
  return text;
}

const std::string kProgramSettings =
    "chart_width=300\r\nchart_height=200\r\naxis_ratio=1.5\r\nthickness_ratio=0.1\r\n"
    "legend_show_percent=1\r\n";

TEST_F(CirvexModule, HeaderAndSizesFollowTheSettings) {
  struct TCase {
    std::string text;
    int width, height;
  };
  const TCase cases[] = {
      {"", 328, 200},                        // defaults: 300 + 16 + 3 x 4
      {kProgramSettings, 328, 200},          // what the program sends, no items
      {"chart_width=301", 329, 200},         // rows padded to 4 bytes
      {"chart_width=302\nchart_height=7", 330, 18},  // the legend row is 16 + 2 high
      {"legend_square_size=30\rlegend_margin=0", 330, 200},
      {"legend_font_size=40", 328, 200},
      {"chart_height=10\r\nlegend_font_size=40", 328, 40},
      {"item=a\r\nvalue=0", 328, 200},  // a zero total: no sector, empty legend
      {"\r\n\r\n\n\rchart_width=100\n\n", 128, 200},
      {"CHART_WIDTH=100", 128, 200},    // keys in any case
      {" chart_width=100", 328, 200},   // but not with a blank before them
      {"chart_width=  +100px", 128, 200},
      {"chart_width=abc", 28, 200},     // no digits: 0
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.text);
    const TImage image = Render(c.text);
    EXPECT_EQ(image.result, 1);
    ExpectValidBmp(image);
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
  }
}

TEST_F(CirvexModule, EmptyPieShowsOnlyItsOutline) {
  const TImage image = Render("");
  // Centre (150, 90), ellipse box (15, 0)-(285, 180), rim height 18.
  EXPECT_EQ(image.At(150, 45), kWhite);
  EXPECT_EQ(image.At(150, 189), kWhite);
  EXPECT_EQ(image.At(315, 9), kWhite);  // no legend row
  // The rim sides are drawn at x0 and x1 from cy to cy + T.
  EXPECT_EQ(image.At(15, 100), kLines);
  EXPECT_EQ(image.At(285, 100), kLines);
}

TEST_F(CirvexModule, FiftyThirtyFifteenAndMergedSmallOnes) {
  const TImage image = Render(kProgramSettings + Items({{"fifty", "50"}, {"thirty", "30"},
                                                        {"fifteen", "15"}, {"three", "3"},
                                                        {"two", "2"}}));
  ExpectValidBmp(image);
  EXPECT_EQ(image.Height(), 200);
  EXPECT_GT(image.Width(), 328);
  // 50 % from angle 0 counter-clockwise: the back half.
  EXPECT_EQ(image.At(150, 45), kPalette[0]);
  EXPECT_EQ(image.At(60, 60), kPalette[0]);
  // 30 % from the left through the front.
  EXPECT_EQ(image.At(150, 135), kPalette[1]);
  EXPECT_EQ(image.At(150, 189), Darker(kPalette[1]));  // its front rim
  EXPECT_EQ(image.At(40, 150), Darker(kPalette[1]));
  // 15 % next, with its rim.
  EXPECT_EQ(image.At(200, 130), kPalette[2]);
  EXPECT_EQ(image.At(200, 183), Darker(kPalette[2]));
  // The merged 5 %: white top, darker rim at the right.
  EXPECT_EQ(image.At(260, 95), kWhite);
  EXPECT_EQ(image.At(280, 124), Darker(kWhite));

  // Four legend rows of 18 pixels: squares at x 304..319, y 1..16 + 18 k.
  for (int row = 0; row < 3; ++row) EXPECT_EQ(image.At(312, 9 + 18 * row), kPalette[row]);
  EXPECT_EQ(image.At(312, 63), kWhite);
  EXPECT_EQ(image.At(304, 55), kLines);  // the square's border
  EXPECT_EQ(image.At(319, 70), kLines);
  EXPECT_EQ(image.At(304, 73), kWhite);  // no fifth row
  // Black text right of each square.
  for (int row = 0; row < 4; ++row) {
    bool dark = false;
    for (int y = 18 * row + 8; y < 18 * row + 18; ++y)
      for (int x = 324; x < image.Width(); ++x) {
        const TRgb c = image.At(x, y);
        dark = dark || (c.r < 100 && c.g < 100 && c.b < 100);
      }
    EXPECT_TRUE(dark) << "legend text of row " << row;
  }
}

TEST_F(CirvexModule, MergedSectorTakesItsSettingColour) {
  const TImage image = Render("color_merged_sector=255\r\n" +
                              Items({{"a", "96"}, {"b", "2"}, {"c", "2"}}));
  const TRgb red{255, 0, 0};
  EXPECT_EQ(image.At(312, 27), red);  // second legend row
  EXPECT_EQ(image.At(280, 120), Darker(red));
}

TEST_F(CirvexModule, SingleItemFillsEllipseAndWholeFrontRim) {
  const TImage image = Render(kProgramSettings + Items({{"only", "7"}}));
  for (auto [x, y] : {std::pair{150, 45}, {150, 135}, {60, 90}, {240, 100}, {270, 60}})
    EXPECT_EQ(image.At(x, y), kPalette[0]) << x << "," << y;
  for (auto [x, y] : {std::pair{30, 140}, {150, 189}, {270, 140}, {17, 115}})
    EXPECT_EQ(image.At(x, y), Darker(kPalette[0])) << x << "," << y;
  EXPECT_EQ(image.At(312, 9), kPalette[0]);
  EXPECT_EQ(image.At(312, 27), kWhite);
}

TEST_F(CirvexModule, SelectionOrderExplicitColoursAndPalette) {
  // Selection: [x2 p1 q1 y3] -> [y x q p]; q now comes before p.
  const TImage image = Render("item=x\nvalue=2\nitem=p\nvalue=1\ncolor=65280\n"
                              "item=q\nvalue=1\ncolor=255\nitem=y\nvalue=3\n");
  EXPECT_EQ(image.At(312, 9), kPalette[0]);       // y
  EXPECT_EQ(image.At(312, 27), kPalette[1]);      // x: the palette only counts automatic ones
  EXPECT_EQ(image.At(312, 45), (TRgb{255, 0, 0}));  // q
  EXPECT_EQ(image.At(312, 63), (TRgb{0, 255, 0}));  // p
}

TEST_F(CirvexModule, ValuesQuotedUnreadableOrOutOfPlace) {
  struct TCase {
    std::string text;
    TRgb lower_half;  // (150, 135): the second sector when there are two
  };
  const TCase cases[] = {
      {"item=a\r\nvalue=\"12.5\"\r\nitem=b\r\nvalue=12.5", kPalette[1]},
      {"item=a\r\nvalue=5\r\nvalue=abc\r\nitem=b\r\nvalue=5", kPalette[1]},
      {"item=a\r\nvalue= 5 \r\nitem=b\r\nvalue=+5.0", kPalette[1]},
      {"value=7\r\nitem=a\r\nvalue=1", kPalette[0]},            // before any item
      {"item=a\r\nvalue=1\r\nitem=b\r\nvalue=\"1", kPalette[0]},  // one quote stays
      {"item=a\r\nvalue=1\r\nitem=b\r\nvalue=1e39", kPalette[0]},  // beyond a float
      {"item=a\r\nvalue=1\r\nitem=b\r\nvalue=nan", kPalette[0]},
      {"item=a\r\nvalue=1\r\nitem=b\r\nvalue=-5", kPalette[0]},  // negative counts as 0
      {"item=a\r\nvalue=3,5\r\nitem=b\r\nvalue=3", kPalette[1]},  // reads "3"
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(Render(c.text).At(150, 135), c.lower_half);
  }
}

TEST_F(CirvexModule, RatiosOutOfRangeAreIgnored) {
  const std::string items = Items({{"a", "60"}, {"b", "40"}});
  const std::string plain = Render(items).bytes;
  for (const std::string ratios :
       {"axis_ratio=0.9\r\nthickness_ratio=0.3\r\n", "axis_ratio=1\r\n",
        "axis_ratio=x\r\nthickness_ratio=-0.1\r\n", "thickness_ratio=0.2500001\r\n"})
    EXPECT_EQ(Render(ratios + items).bytes, plain) << ratios;

  // Accepted values move the pie: axis ratio 2 gives rx 150 from x 0.
  const std::string single = Items({{"a", "1"}});
  EXPECT_EQ(Render(single).At(5, 95), kWhite);
  EXPECT_EQ(Render("axis_ratio=2\n" + single).At(5, 95), kPalette[0]);
  // Thickness 0.25 (the largest allowed) gives a 40-pixel rim from y 160.
  EXPECT_EQ(Render(single).At(150, 165), kPalette[0]);
  EXPECT_EQ(Render("thickness_ratio=0.25\n" + single).At(150, 165), Darker(kPalette[0]));
}

TEST_F(CirvexModule, LongNamesAreCutToMaxCharsWithDots) {
  auto width = [&](const std::string& settings, const std::string& name) {
    return Render("legend_show_percent=0\n" + settings + "item=" + name + "\nvalue=1\n").Width();
  };
  const std::string w97(97, 'W'), w100(100, 'W'), w120(120, 'W');
  EXPECT_EQ(width("", w120), width("", w97 + "..."));
  EXPECT_EQ(width("legend_max_chars=1000\n", w100), width("", w100));  // 100 is not cut
  EXPECT_NE(width("", w100), width("", w97 + "..."));
  EXPECT_EQ(width("legend_max_chars=5\n", "abcdefgh"), width("", "ab..."));
  EXPECT_EQ(width("legend_max_chars=2\n", "abcdefgh"), width("", "..."));
  // Characters, not bytes: 120 two-byte letters keep 97 of them.
  std::string e97, e120;
  for (int i = 0; i < 97; ++i) e97 += "\xC3\xA9";
  for (int i = 0; i < 120; ++i) e120 += "\xC3\xA9";
  EXPECT_EQ(width("", e120), width("", e97 + "..."));
  EXPECT_GT(width("", e97 + "..."), width("", std::string(50, 'i')));
}

TEST_F(CirvexModule, PercentPrefixAndTabs) {
  const std::string items = Items({{"x", "1"}});
  const int with = Render(items).Width();
  const int without = Render("legend_show_percent=0\n" + items).Width();
  EXPECT_GT(with, without);
  // "100.00% " passes the first tab stop (8 average widths), so the name
  // starts at the second: the prefix is at least that wide.
  EXPECT_EQ(Render("legend_show_percent=0\nitem=100.00% \tx\nvalue=1").Width(), with);
  EXPECT_GT(Render("legend_show_percent=0\nlegend_tab_size=20\nitem=a\tb\nvalue=1").Width(),
            Render("legend_show_percent=0\nitem=a\tb\nvalue=1").Width());
}

TEST_F(CirvexModule, LegendRowsBelowTheImageAreCutOff) {
  std::string text;
  for (int i = 0; i < 14; ++i) text += "item=row " + std::to_string(i) + "\nvalue=10\n";
  const TImage image = Render(text);
  EXPECT_EQ(image.Height(), 200);
  EXPECT_EQ(image.At(312, 9 + 18 * 10), kPalette[10]);  // the eleventh row is whole
  EXPECT_EQ(image.At(304, 199), kLines);                // the twelfth shows its top border
}

TEST_F(CirvexModule, BadInputStillGivesAnImage) {
  std::string long_names, many, odd_bytes;
  for (int i = 0; i < 30; ++i) long_names += "item=" + std::string(10000, 'a' + i % 26) + "\nvalue=1\n";
  for (int i = 0; i < 600; ++i) many += "item=n" + std::to_string(i) + "\nvalue=" + std::to_string(i % 7) + "\n";
  for (int c = 1; c < 256; ++c)
    if (c != '\r' && c != '\n') odd_bytes += static_cast<char>(c);
  const std::string cases[] = {
      "",
      std::string(3 << 20, 'x'),  // huge, without a line break
      std::string(200000, '\n'),
      "value=abc\ncolor=zz\n=\n==\nitem\n",
      "item=a\nvalue=-5\nitem=b\nvalue=-1",
      "item=a\nvalue=0\nitem=b\nvalue=0",
      many,
      long_names,
      "legend_max_chars=100000000\n" + long_names,
      "item=" + odd_bytes + "\nvalue=3\nitem=\xC3\x28\xE2\x82\nvalue=2\nitem=\t\t\t\nvalue=1",
      "item=\"\nvalue=\"\"\nitem=a=b=c\nvalue=1",
      "chart_width=-5\nchart_height=-7\nlegend_square_size=-3\nlegend_margin=-9\nitem=a\nvalue=1",
      "chart_width=99999999999\nchart_height=99999999\nitem=a\nvalue=1",
      "legend_font_size=0\nlegend_tab_size=0\nitem=a\tb\tc\nvalue=1",
      "legend_font_size=100000\nlegend_square_size=100000\nitem=a\nvalue=1",
      "legend_font_size=-4\nlegend_tab_size=-1\nlegend_margin=5000\nitem=a\tb\nvalue=1",
      "axis_ratio=1e30\nthickness_ratio=0\nitem=a\nvalue=1",
      "axis_ratio=1.0000001\nitem=a\nvalue=1\ncolor=-7",
      "legend_font_name=\xFF\xFE no such face\nlegend_str_others=\xC3\nitem=a\nvalue=100\nitem=b\nvalue=1",
      "legend_font_name=\nitem=a\nvalue=3.4e38\nitem=b\nvalue=3.4e38",
      "chart_width=1\nchart_height=1\nitem=a\nvalue=1\nitem=b\nvalue=1",
      "chart_width=0\nchart_height=0\nlegend_square_size=0\nlegend_margin=0\nlegend_show_percent=0",
  };
  for (const std::string& text : cases) {
    SCOPED_TRACE(text.substr(0, 60));
    const TImage image = Render(text);
    EXPECT_EQ(image.result, 1);
    ExpectValidBmp(image);
  }
}

TEST_F(CirvexModule, NullArgumentsAreSurvived) {
  uint8_t* buffer = nullptr;
  int32_t size = 0;
  EXPECT_EQ(create_(nullptr, &buffer, &size), 1);  // no text: the empty chart
  ASSERT_NE(buffer, nullptr);
  EXPECT_EQ(size, 54 + 328 * 3 * 200);
  EXPECT_EQ(destroy_(buffer), 0);
  EXPECT_EQ(create_("item=a\nvalue=1", nullptr, nullptr), 1);
  EXPECT_EQ(destroy_(nullptr), 0);
}

TEST_F(CirvexModule, CallsShareNothing) {
  const std::string first = Render("chart_width=120\nitem=a\nvalue=1").bytes;
  Render("chart_width=500\nlegend_font_size=30\nitem=b\nvalue=2");
  EXPECT_EQ(Render("chart_width=120\nitem=a\nvalue=1").bytes, first);
  EXPECT_EQ(Render("").Width(), 328);
}

}  // namespace
}  // namespace trelvar

#endif  // TRELVAR_CIRVEX_MODULE
