// The chart service: what it sends to the pie-chart module, where and how it
// writes its images, and its rules for kinds, colours and trend gaps.
#include "reports/chart_service.h"

#include <gd.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <clocale>
#include <random>
#include <string>
#include <vector>

#include "base/errors.h"
#include "platform/files.h"
#include "platform/shared_library.h"
#include "reports/image_bmp.h"
#include "test_support.h"

namespace trelvar {
namespace {

// Stands in for the module inside the process: keeps every text and
// answers with the given bytes.
class TRecordingSource : public TPieChartSource {
 public:
  explicit TRecordingSource(std::string answer) : answer_(std::move(answer)) {}
  bool Render(const std::string& text, std::string& bmp) override {
    texts.push_back(text);
    bmp = answer_;
    return !answer_.empty();
  }
  std::vector<std::string> texts;

 private:
  std::string answer_;
};

std::string SmallBmp(int w, int h) {
  TRgbImage image(w, h);
  for (uint8_t& b : image.rgb) b = 200;
  return EncodeBmp(image);
}

struct TGifSize {
  int width = -1, height = -1;
};
TGifSize GifSize(const std::string& path) {
  const std::string gif = test::ReadFile(path);
  if (gif.substr(0, 6) != "GIF89a" && gif.substr(0, 6) != "GIF87a") return {};
  gdImagePtr im = gdImageCreateFromGifPtr(static_cast<int>(gif.size()),
                                          const_cast<char*>(gif.data()));
  if (!im) return {};
  TGifSize size{gdImageSX(im), gdImageSY(im)};
  gdImageDestroy(im);
  return size;
}

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

const std::string kSettings =
    "chart_width=300\r\nchart_height=200\r\naxis_ratio=1.5\r\nthickness_ratio=0.1\r\n"
    "legend_show_percent=1\r\n";

class ChartService : public ::testing::Test {
 protected:
  std::mt19937_64 random_{42};
  test::TTempDir dir_;
};

TEST_F(ChartService, ModuleReceivesSettingsThenItemsInCallOrder) {
  auto source = std::make_unique<TRecordingSource>(SmallBmp(7, 5));
  TRecordingSource* seen = source.get();
  TfrmTempChart chart(std::move(source), random_);
  chart.SetOutputFolder(dir_.path());
  ASSERT_TRUE(chart.ModulePresent());

  chart.BeginChart("Top pages", "pie", false, 5);
  chart.AddChartPoint("/index.htm", 50);
  chart.AddChartPoint("b c", 12.5);
  chart.AddChartPoint("third", 1.0 / 3);
  chart.AddChartPoint("big", 1e20);
  chart.AddChartPoint(std::string("line\r\nbreak\0x", 13), -0.25);
  chart.AddTrendPoint("ignored", 3);  // the module draws no trend
  EXPECT_EQ(chart.FinishChart(), "<P><IMG SRC=\"Top_pages.gif\"></P>");

  ASSERT_EQ(seen->texts.size(), 1u);
  EXPECT_EQ(seen->texts[0], kSettings +
                                "item=/index.htm\r\nvalue=50\r\n"
                                "item=b c\r\nvalue=12.5\r\n"
                                "item=third\r\nvalue=0.333333333333333\r\n"
                                "item=big\r\nvalue=1e+20\r\n"
                                "item=line  break x\r\nvalue=-0.25\r\n");
  // The GIF is the module's picture.
  const TGifSize size = GifSize(dir_ / "Top_pages.gif");
  EXPECT_EQ(size.width, 7);
  EXPECT_EQ(size.height, 5);
  EXPECT_FALSE(platform::PathExists(dir_ / "_temp.bmp"));

  // A new chart starts a new text.
  chart.BeginChart("Second", "pie", false, 1);
  chart.AddChartPoint("x", 2);
  chart.FinishChart();
  ASSERT_EQ(seen->texts.size(), 2u);
  EXPECT_EQ(seen->texts[1], kSettings + "item=x\r\nvalue=2\r\n");
}

TEST_F(ChartService, NumbersUseAPointWhateverTheLocale) {
  const char* german[] = {"de_DE.UTF-8", "de_DE.utf8", "de_DE"};
  bool switched = false;
  for (const char* name : german) switched = switched || std::setlocale(LC_ALL, name);
  TfrmTempChart chart(std::make_unique<TRecordingSource>(SmallBmp(1, 1)), random_);
  chart.BeginChart("t", "pie", false, 1);
  chart.AddChartPoint("a", 1234.5);
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(chart.ChartSettingsText(), kSettings + "item=a\r\nvalue=1234.5\r\n");
  if (!switched) GTEST_LOG_(INFO) << "no German locale here; checked in C only";
}

TEST_F(ChartService, FileNamesComeFromTitles) {
  struct TCase {
    std::string title, file, html;
  };
  const TCase cases[] = {
      {"Top pages", "Top_pages.gif", "<P><IMG SRC=\"Top_pages.gif\"></P>"},
      {"  two  blanks", "__two__blanks.gif", "<P><IMG SRC=\"__two__blanks.gif\"></P>"},
      {"a/b c", "a_b_c.gif", "<P><IMG SRC=\"a_b_c.gif\"></P>"},
      {"../../etc/x", ".._.._etc_x.gif", "<P><IMG SRC=\".._.._etc_x.gif\"></P>"},
      {"100% & \"more\"#?", "100%_&_\"more\"#?.gif",
       "<P><IMG SRC=\"100%25_&amp;_&quot;more&quot;%23%3F.gif\"></P>"},
  };
  TfrmTempChart chart(nullptr, random_);
  chart.SetOutputFolder(dir_.path());
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.title);
    chart.BeginChart(c.title, "bar", true, 2);
    chart.AddChartPoint("a", 1);
    chart.AddChartPoint("b", 2);
    EXPECT_EQ(chart.FinishChart(), c.html);
    EXPECT_TRUE(platform::IsRegularFile(dir_ / c.file));
    EXPECT_EQ(ModeOf(dir_ / c.file), 0644u);
  }
  // Nothing was written outside the output folder.
  EXPECT_EQ(platform::ListFolder(dir_.path(), "*").size(), std::size(cases) + 1);  // + _temp.bmp

  // Blanks and underscores meet in one file; the later chart wins.
  chart.BeginChart("a b", "bar", true, 1);
  chart.AddChartPoint("x", 1);
  chart.FinishChart();
  const std::string first = test::ReadFile(dir_ / "a_b.gif");
  chart.BeginChart("a_b", "line", true, 3);
  for (int i = 0; i < 3; ++i) chart.AddChartPoint("x", i);
  chart.FinishChart();
  EXPECT_NE(test::ReadFile(dir_ / "a_b.gif"), first);
}

TEST_F(ChartService, BuiltInChartsGoThroughTempBmp) {
  TfrmTempChart chart(nullptr, random_);
  chart.SetOutputFolder(dir_.path().substr(0, dir_.path().size() - 1));  // "/" is added
  for (const std::string kind : {"bar", "line", "pie", "area"}) {
    SCOPED_TRACE(kind);
    chart.BeginChart("Chart " + kind, kind, false, 3);
    chart.AddChartPoint("one", 10);
    chart.AddChartPoint("two", 20);
    chart.AddChartPoint("three", 5);
    chart.FinishChart();
    const TGifSize size = GifSize(dir_ / ("Chart_" + kind + ".gif"));
    EXPECT_EQ(size.width, 489);
    EXPECT_EQ(size.height, 289);
    TRgbImage temp;
    ASSERT_TRUE(DecodeBmp(test::ReadFile(dir_ / "_temp.bmp"), temp));
    EXPECT_EQ(temp.width, 489);
    EXPECT_EQ(temp.height, 289);
  }
}

TEST_F(ChartService, OnePointLineBecomesBarAndMarksFollowTheColourRule) {
  struct TCase {
    std::string kind;
    bool single;
    int count;
    std::string kind_after;
    TChartKind drawn;
    bool marks;
  };
  const TCase cases[] = {
      {"line", true, 1, "bar", TChartKind::Bar, false},
      {"line", false, 1, "bar", TChartKind::Bar, false},
      {"line", true, 2, "line", TChartKind::Line, false},
      {"line", true, 0, "line", TChartKind::Line, false},
      {"bar", false, 2, "bar", TChartKind::Bar, true},
      {"bar", true, 2, "bar", TChartKind::Bar, false},
      {"bar", false, 1, "bar", TChartKind::Bar, false},
      {"pie", false, 1, "pie", TChartKind::Pie, false},
      {"Bar", false, 3, "Bar", TChartKind::None, false},
      {"", false, 3, "", TChartKind::None, false},
  };
  TfrmTempChart chart(nullptr, random_);
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.kind + " " + std::to_string(c.count));
    chart.BeginChart("t", c.kind, c.single, c.count);
    EXPECT_EQ(chart.Kind(), c.kind_after);
    EXPECT_EQ(chart.Picture().kind, c.drawn);
    EXPECT_EQ(chart.Picture().marks, c.marks);
    chart.AddChartPoint("p", 1);
    EXPECT_EQ(chart.Picture().main.size(), c.drawn == TChartKind::None ? 0u : 1u);
  }
}

TEST_F(ChartService, PointColours) {
  TfrmTempChart chart(nullptr, random_);
  chart.BeginChart("t", "bar", true, 20);
  for (int i = 0; i < 20; ++i) chart.AddChartPoint("p", i);
  for (const TChartPoint& p : chart.Picture().main) EXPECT_EQ(p.colour, 0xFF0000u);  // blue

  // Built-in pies always get random colours, below FF0000.
  for (const bool single : {true, false}) {
    chart.BeginChart("t", "pie", single, 50);
    EXPECT_FALSE(chart.SingleColour());
    for (int i = 0; i < 50; ++i) chart.AddChartPoint("p", 1);
    std::vector<uint32_t> colours;
    for (const TChartPoint& p : chart.Picture().main) {
      EXPECT_LT(p.colour, 0xFF0000u);
      colours.push_back(p.colour);
    }
    std::sort(colours.begin(), colours.end());
    EXPECT_GT(std::unique(colours.begin(), colours.end()) - colours.begin(), 40);
  }

  // The draws come from the run's generator: the same seed, the same colours.
  std::mt19937_64 a(7), b(7);
  TfrmTempChart first(nullptr, a), second(nullptr, b);
  for (TfrmTempChart* c : {&first, &second}) {
    c->BeginChart("t", "line", false, 3);
    for (int i = 0; i < 3; ++i) c->AddChartPoint("p", i);
  }
  for (size_t i = 0; i < 3; ++i)
    EXPECT_EQ(first.Picture().main[i].colour, second.Picture().main[i].colour);
}

// Red pixels of the trend line in the last built-in image.
int RedPixels(const std::string& temp_bmp) {
  TRgbImage image;
  if (!DecodeBmp(test::ReadFile(temp_bmp), image)) return -1;
  int red = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint8_t* p = image.At(x, y);
      red += p[0] > 200 && p[1] < 60 && p[2] < 60;
    }
  return red;
}

TEST_F(ChartService, TrendZeroesAreGaps) {
  TfrmTempChart chart(nullptr, random_);
  chart.SetOutputFolder(dir_.path());
  auto draw = [&](const std::vector<double>& trend) {
    chart.BeginChart("Trend", "line", true, static_cast<int>(trend.size()));
    for (size_t i = 0; i < trend.size(); ++i) {
      chart.AddChartPoint("d" + std::to_string(i), 10 + static_cast<double>(i % 3));
      chart.AddTrendPoint("d" + std::to_string(i), trend[i]);
    }
    chart.FinishChart();
    return RedPixels(dir_ / "_temp.bmp");
  };
  const int all_gaps = draw({0, 0, 0, 0, 0, 0});
  const int half = draw({0, 0, 0, 11, 11, 11});
  const int whole = draw({11, 11, 11, 11, 11, 11});
  EXPECT_EQ(all_gaps, 0);
  EXPECT_GT(half, 0);
  EXPECT_GT(whole, half + half / 2);

  const std::vector<TChartPoint>& trend = chart.Picture().trend;
  ASSERT_EQ(trend.size(), 6u);
  EXPECT_FALSE(trend[0].gap);
  chart.BeginChart("t", "line", true, 3);
  chart.AddTrendPoint("a", 0);
  chart.AddTrendPoint("b", -0.0);
  chart.AddTrendPoint("c", 1e-300);
  EXPECT_TRUE(chart.Picture().trend[0].gap);
  EXPECT_TRUE(chart.Picture().trend[1].gap);
  EXPECT_FALSE(chart.Picture().trend[2].gap);
  EXPECT_EQ(chart.Picture().trend[2].colour, 0x0000FFu);  // red
  EXPECT_EQ(chart.Picture().trend[0].label, "a");
}

TEST_F(ChartService, UnusableModuleImageFallsBackToBuiltInPie) {
  for (const std::string& answer : {std::string(), std::string("BMnot really"),
                                   SmallBmp(2, 2).substr(0, 60)}) {
    TfrmTempChart chart(std::make_unique<TRecordingSource>(answer), random_);
    chart.SetOutputFolder(dir_.path());
    chart.BeginChart("Fallback", "pie", false, 2);
    chart.AddChartPoint("a", 1);
    chart.AddChartPoint("b", 2);
    chart.FinishChart();
    EXPECT_EQ(GifSize(dir_ / "Fallback.gif").width, 489);
    EXPECT_TRUE(platform::IsRegularFile(dir_ / "_temp.bmp"));
    platform::RemoveFile(dir_ / "_temp.bmp");
  }
}

TEST_F(ChartService, UnwritablePathsAreFileCreateErrors) {
  test::WriteFile(dir_ / "plain", "x");
  const std::string bad_folder = dir_ / "plain/";
  struct TCase {
    bool module;
    std::string folder, title, failing;
  };
  const TCase cases[] = {
      {false, bad_folder, "Hits", bad_folder + "_temp.bmp"},
      {true, bad_folder, "Hits", bad_folder + "Hits.gif"},
      {false, dir_ / "missing/", "Hits", dir_ / "missing/_temp.bmp"},
      {false, dir_.path(), std::string(300, 'n'), dir_ / (std::string(300, 'n') + ".gif")},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.failing);
    TfrmTempChart chart(c.module ? std::make_unique<TRecordingSource>(SmallBmp(3, 3)) : nullptr,
                        random_);
    chart.SetOutputFolder(c.folder);
    chart.BeginChart(c.title, "pie", false, 1);
    chart.AddChartPoint("a", 1);
    try {
      chart.FinishChart();
      ADD_FAILURE() << "no error";
    } catch (const EFCreateError& e) {
      EXPECT_EQ(e.Message(), "Cannot create file \"" + c.failing + "\"");
      EXPECT_STREQ(e.ClassName(), "EFCreateError");
    }
  }
}

// The module bound from a program folder, as the run binds it.
class ChartModuleBinding : public ChartService {
 protected:
  std::string ProgramFolderWith(const std::string& module) {
    const std::string folder = dir_ / "program/";
    platform::ForceFolders(folder);
    if (!module.empty()) {
      EXPECT_TRUE(platform::CopyFile(module, folder + "cirvex.so"));
    }
    return folder;
  }
};

#ifdef TRELVAR_CIRVEX_MODULE
TEST_F(ChartModuleBinding, RealModuleDrawsThePies) {
  TfrmTempChart chart(ProgramFolderWith(TRELVAR_CIRVEX_MODULE), random_);
  ASSERT_TRUE(chart.ModulePresent());
  chart.SetOutputFolder(dir_.path());
  chart.BeginChart("Browsers", "pie", false, 0);
  chart.FinishChart();
  TGifSize size = GifSize(dir_ / "Browsers.gif");
  EXPECT_EQ(size.width, 328);  // the module's empty pie
  EXPECT_EQ(size.height, 200);

  chart.BeginChart("Browsers", "pie", false, 3);
  chart.AddChartPoint("Firefox", 50);
  chart.AddChartPoint("Chrome", 45.5);
  chart.AddChartPoint("Other", 4.5);
  chart.FinishChart();
  size = GifSize(dir_ / "Browsers.gif");
  EXPECT_GT(size.width, 328);
  EXPECT_EQ(size.height, 200);
  EXPECT_FALSE(platform::PathExists(dir_ / "_temp.bmp"));
}
#endif

#if defined(TRELVAR_PROBE_MODULE_FULL) && defined(TRELVAR_PROBE_MODULE_CREATE_ONLY)
TEST_F(ChartModuleBinding, ModuleGetsTheTextAndItsBufferBack) {
  const std::string folder = ProgramFolderWith(TRELVAR_PROBE_MODULE_FULL);
  TfrmTempChart chart(folder, random_);
  ASSERT_TRUE(chart.ModulePresent());
  // The same file opened again is the same loaded library.
  auto probe = platform::TSharedLibrary::Load(folder + "cirvex.so");
  ASSERT_NE(probe, nullptr);
  auto last_text = reinterpret_cast<const char* (*)()>(probe->Symbol("ProbeLastText"));
  auto destroyed = reinterpret_cast<int (*)()>(probe->Symbol("ProbeDestroyed"));
  ASSERT_TRUE(last_text && destroyed);
  const int before = destroyed();

  chart.SetOutputFolder(dir_.path());
  chart.BeginChart("Probe", "pie", true, 2);
  chart.AddChartPoint("a", 1.5);
  chart.AddChartPoint("b", 2);
  chart.FinishChart();
  EXPECT_EQ(std::string(last_text()), kSettings + "item=a\r\nvalue=1.5\r\nitem=b\r\nvalue=2\r\n");
  EXPECT_EQ(destroyed(), before + 1);
  const TGifSize size = GifSize(dir_ / "Probe.gif");
  EXPECT_EQ(size.width, 3);
  EXPECT_EQ(size.height, 2);
}

TEST_F(ChartModuleBinding, MissingBrokenOrHalfModulesMeanBuiltInPies) {
  const std::string junk = dir_ / "junk.so";
  test::WriteFile(junk, "this is not a shared library");
  for (const std::string& module : {std::string(), junk,
                                   std::string(TRELVAR_PROBE_MODULE_CREATE_ONLY)}) {
    SCOPED_TRACE(module);
    platform::RemoveFile(dir_ / "program/cirvex.so");
    TfrmTempChart chart(ProgramFolderWith(module), random_);
    EXPECT_FALSE(chart.ModulePresent());
    chart.SetOutputFolder(dir_.path());
    chart.BeginChart("Pie", "pie", true, 2);
    chart.AddChartPoint("a", 1);
    chart.AddChartPoint("b", 3);
    EXPECT_TRUE(chart.ChartSettingsText().empty());
    chart.FinishChart();
    EXPECT_EQ(GifSize(dir_ / "Pie.gif").width, 489);
  }
}
#endif

}  // namespace
}  // namespace trelvar
