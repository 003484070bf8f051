// The time report: periods, definitions, what each quantity counts, the
// chart with its moving average, the table with bars, CSV files and the
// cache block; then whole console analyses.
#include "reports/time_report.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>

#include "analysis_run.h"
#include "base/errors.h"
#include "logread/visit_tracker.h"
#include "reports/chart_service.h"
#include "reports/report_text.h"
#include "reports/report_types.h"
#include "reports/reports_cache.h"
#include "test_support.h"

namespace trelvar {
namespace {

TDateTime At(int y, int m, int d, int hh = 0, int nn = 0, int ss = 0) {
  return EncodeDate(y, m, d) + EncodeTime(hh, nn, ss);
}

TEST(TimePeriods, EachDurationCutsAtItsBoundaries) {
  struct TCase {
    uint8_t duration;
    TDateTime t;
    const char* start;
    const char* end;
  } cases[] = {
      {kDurationHour, At(2005, 12, 7, 10, 59, 59), "2005-12-07 10:00:00", "2005-12-07 11:00:00"},
      // The end instant of a period belongs to the next one.
      {kDurationHour, At(2005, 12, 7, 11, 0, 0), "2005-12-07 11:00:00", "2005-12-07 12:00:00"},
      {kDurationHour, At(2005, 12, 7, 23, 30, 0), "2005-12-07 23:00:00", "2005-12-08"},
      {kDurationDay, At(2005, 12, 7, 23, 59, 59), "2005-12-07", "2005-12-08"},
      {kDurationDay, At(2005, 12, 8), "2005-12-08", "2005-12-09"},
      // Weeks run from Saturday to Friday.
      {kDurationWeek, At(2005, 12, 3, 0, 0, 0), "2005-12-03", "2005-12-10"},
      {kDurationWeek, At(2005, 12, 4, 12, 0, 0), "2005-12-03", "2005-12-10"},
      {kDurationWeek, At(2005, 12, 9, 23, 59, 59), "2005-12-03", "2005-12-10"},
      {kDurationWeek, At(2005, 12, 10, 0, 0, 0), "2005-12-10", "2005-12-17"},
      {kDurationMonth, At(2005, 12, 31, 23, 59, 59), "2005-12-01", "2006-01-01"},
      {kDurationMonth, At(2004, 2, 29, 1, 0, 0), "2004-02-01", "2004-03-01"},
      {kDurationQuarter, At(2005, 11, 15), "2005-10-01", "2006-01-01"},
      {kDurationQuarter, At(2005, 3, 31, 23, 0, 0), "2005-01-01", "2005-04-01"},
      {kDurationQuarter, At(2005, 4, 1), "2005-04-01", "2005-07-01"},
      {kDurationYear, At(2005, 7, 1, 8, 0, 0), "2005-01-01", "2006-01-01"},
      {kDurationYear, At(2006, 1, 1), "2006-01-01", "2007-01-01"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(TimeDurationText(c.duration) + " " + DateTimeText(c.t));
    const TTimeBucket b = PeriodOf(c.duration, c.t);
    EXPECT_EQ(PeriodLabel(b), c.start);
    EXPECT_EQ(DateTimeText(b.end), c.end);
    EXPECT_LE(b.start, c.t);
    EXPECT_LT(c.t, b.end);
  }
  EXPECT_EQ(DayOfWeek(At(2005, 12, 3)), 7);  // the week start is a Saturday
}

struct TimeTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TCurrentLine current;
  TVisLine visits{current};
  TReportContext ctx;
  std::mt19937_64 random{7};
  TfrmTempChart chart{nullptr, random};

  void SetUp() override {
    ctx.current = &current;
    ctx.visits = &visits;
    ctx.output_folder = dir.path();
    chart.SetOutputFolder(dir.path());
    ctx.chart = &chart;
  }

  void Feed(TCustomWReport& r, TDateTime t, const std::string& bytes = "100", bool hit = true,
            const std::string& ip = "10.0.0.1", const std::string& href = "/a.htm") {
    current.Clear();
    current.fields[kFieldIp] = ip;
    current.fields[kFieldHost] = ip;
    current.fields[kFieldHref] = href;
    current.fields[kFieldBytes] = bytes;
    current.line.timestamp = t;
    current.line.is_hit = hit;
    current.line.request = MakeSplit(href);
    visits.SetDone(false);
    ctx.values.NextLine();
    r.ProcessLine();
  }
  // One request per count on consecutive days from 1 December 2005.
  void FeedDays(TCustomWReport& r, const std::vector<int>& counts) {
    for (size_t d = 0; d < counts.size(); ++d)
      for (int i = 0; i < counts[d]; ++i) Feed(r, At(2005, 12, 1 + static_cast<int>(d), 12));
  }
  std::string Section(TCustomWReport& r) {
    ctx.details.Clear();
    r.Display();
    return ctx.details.Text();
  }
};

// "label:value" of every bucket in list order.
std::string Dump(const TCustomTimeReport& r) {
  std::string out;
  for (const auto& b : r.Buckets())
    out += (out.empty() ? "" : " ") + PeriodLabel(*b) + ":" + std::to_string(b->value);
  return out;
}

std::string Trend(const TfrmTempChart& chart) {
  std::string out;
  for (const TChartPoint& p : chart.Picture().trend)
    out += (out.empty() ? "" : " ") + (p.gap ? std::string("gap") : std::to_string(static_cast<int>(p.value)));
  return out;
}

TEST_F(TimeTest, DefinitionKeysDefaultsAndWriteBack) {
  TCustomTimeReport r(ctx);
  EXPECT_EQ(r.report_name, "Time Report");
  EXPECT_EQ(r.report_type, "time_report");
  r.LoadParams("name=Traffic\r\nparam= MBytes \r\nduration=QUATER\r\nshow_table=no\r\n"
               "show_chart= False \r\nchart_type= bar\r\nuse_min_y=true\r\nuse_max_y=x\r\n"
               "min_y=-5\r\nmax_y=250\r\nshow_ma=false\r\nma_period=3");
  EXPECT_EQ(r.SaveParams(false),
            "type=time_report\r\nname=Traffic\r\ncategoryno=0\r\nfooter=true\r\n"
            "param=mbytes\r\nduration=quarter\r\nshow_table=true\r\nshow_chart=false\r\n"
            "chart_type= bar\r\nuse_min_y=true\r\nuse_max_y=true\r\nmin_y=-5\r\nmax_y=250\r\n"
            "show_ma=false\r\nma_period=3\r\n");
  // Saving and loading keeps max_y (and the rest).
  TCustomTimeReport again(ctx);
  again.LoadParams(r.SaveParams(false));
  EXPECT_EQ(again.max_y, 250);
  EXPECT_EQ(again.SaveParams(false), r.SaveParams(false));
  EXPECT_EQ(r.SaveParams(true),
            "type=time_report\r\nname=Traffic\r\ncategoryno=0\r\nparam=mbytes\r\nduration=quarter\r\n");

  // Unknown texts: a param becomes visitors, a duration stays; bad clamps
  // are ignored, a bad window raises.
  r.LoadParams("param=pages\r\nduration=fortnight\r\nmin_y=low\r\nmax_y=");
  EXPECT_EQ(r.param, kTimeVisitors);
  EXPECT_EQ(r.duration, kDurationQuarter);
  EXPECT_EQ(r.min_y, -5);
  EXPECT_EQ(r.max_y, 250);
  EXPECT_THROW(r.LoadParam("ma_period=five"), EConvertError);
  EXPECT_EQ(r.ma_period, 3);

  EXPECT_EQ(GetReportTypeName("time_report"), "Time Report");
  EXPECT_EQ(GetReportType("Time Report"), "time_report");
}

TEST_F(TimeTest, WhatEachQuantityCounts) {
  const TDateTime day = At(2005, 12, 7, 9);
  struct TCase {
    const char* param;
    const char* expected;
  } cases[] = {
      {"requests", "2005-12-07:4"},
      {"hosts", "2005-12-07:4"},
      {"hits", "2005-12-07:3"},
      // 5,000,004,095 bytes (past 32 bits), summed exactly: 4,882,816.499 KB.
      {"kbytes", "2005-12-07:4882816"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.param);
    TCustomTimeReport r(ctx);
    r.LoadParams(std::string("param=") + c.param);
    Feed(r, day, "5000000000");
    Feed(r, day, " 2047 ");
    Feed(r, day, "-", false);
    Feed(r, day, "2048");
    Feed(r, 0, "4096");  // a line without a time counts nowhere
    EXPECT_EQ(Dump(r), c.expected);
  }

  // Filters hold for requests and hits; bytes are summed without them.
  TCustomTimeReport filtered(ctx), bytes(ctx);
  filtered.LoadParams("param=requests\r\nfilter=ip;equals;10.0.0.2");
  bytes.LoadParams("param=kbytes\r\nfilter=ip;equals;10.0.0.2");
  for (auto* r : {&filtered, &bytes}) {
    Feed(*r, day, "1024", true, "10.0.0.1");
    Feed(*r, day, "1024", true, "10.0.0.2");
  }
  EXPECT_EQ(Dump(filtered), "2005-12-07:1");
  EXPECT_EQ(Dump(bytes), "2005-12-07:2");
}

// An API answering 4 560 requests of 51 bytes sent 227 KB, not 0.
TEST_F(TimeTest, ManySmallAnswersAddUpToTheirKilobytes) {
  TCustomTimeReport r(ctx);
  r.LoadParams("param=kbytes\r\nduration=day");
  for (int i = 0; i < 4560; ++i) Feed(r, At(2005, 12, 7, 9), "51");
  EXPECT_EQ(Dump(r), "2005-12-07:227");
  r.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Time Report.csv"), "Time Report\r\n2005-12-07;227\r\n");
}

TEST_F(TimeTest, BytesThatAreNoNumberRaiseAndHugeSumsSaturate) {
  TCustomTimeReport r(ctx);
  r.LoadParams("param=kbytes");
  Feed(r, At(2005, 12, 7), "1024");
  EXPECT_THROW(Feed(r, At(2005, 12, 7), "12abc"), EConvertError);
  EXPECT_THROW(Feed(r, At(2005, 12, 7), "99999999999999999999999"), EConvertError);
  EXPECT_EQ(Dump(r), "2005-12-07:1");
  Feed(r, At(2005, 12, 7), "9223372036854775807");
  Feed(r, At(2005, 12, 7), "9223372036854775807");
  EXPECT_EQ(r.Buckets()[0]->value, std::numeric_limits<int32_t>::max());
}

TEST_F(TimeTest, VisitorsCountFinishedVisitsAtTheirFirstRequest) {
  TCustomTimeReport r(ctx);
  r.LoadParams("param=visitors\r\nduration=day");
  Feed(r, At(2005, 12, 7, 23, 40, 0), "1", true, "10.0.0.1");
  Feed(r, At(2005, 12, 7, 23, 50, 0), "1", true, "10.0.0.2");
  Feed(r, At(2005, 12, 8, 0, 5, 0), "1", true, "10.0.0.2");
  EXPECT_EQ(Dump(r), "");  // nothing has finished yet
  // This hit ends both visits; its own visit is still open at the end.
  Feed(r, At(2005, 12, 8, 1, 0, 0), "1", true, "10.0.0.3");
  EXPECT_EQ(Dump(r), "2005-12-07:2");

}

TEST_F(TimeTest, TableRowsWithAsteriskAndImageBars) {
  TCustomTimeReport r(ctx);
  r.LoadParams("name=Daily visits\r\nparam=requests\r\nshow_chart=false\r\nrem=per day");
  FeedDays(r, {1, 3, 8});
  const std::string head =
      "<BR><a name=\"Daily_visits\"></a><h2>Daily visits</h2><p>\r\nper day</p>"
      "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">";
  // 30 x 1/8 = 3.75 gives 4 (+1), 30 x 3/8 = 11.25 gives 11 (+1).
  EXPECT_EQ(Section(r), head +
                            "<TR class=\"EvenRaw\"><TD>2005-12-01</TD><TD>*****</TD>"
                            "<TD align=\"right\">1</TD></TR>"
                            "<TR class=\"OddRaw\"><TD>2005-12-02</TD><TD>************</TD>"
                            "<TD align=\"right\">3</TD></TR>"
                            "<TR class=\"EvenRaw\"><TD>2005-12-03</TD><TD>" +
                            std::string(31, '*') + "</TD><TD align=\"right\">8</TD></TR>"
                            "</TABLE></P>");
  // With the bar image: 37.5 and 112.5 round to even.
  test::WriteFile(dir / "progress.gif", "GIF89a");
  const std::string html = Section(r);
  EXPECT_NE(html.find("<TD>2005-12-01</TD><TD><img src=\"progress.gif\" width=\"38\" "
                      "height=\"10\"></TD><TD align=\"right\">1</TD>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find("width=\"112\" height=\"10\">"), std::string::npos);
  EXPECT_NE(html.find("width=\"300\" height=\"10\">"), std::string::npos);

  // Only zeros: no bar at all.
  TCustomTimeReport zeros(ctx);
  zeros.LoadParams("name=Z\r\nparam=hits\r\nshow_chart=false");
  Feed(zeros, At(2005, 12, 1), "1", false);
  EXPECT_NE(Section(zeros).find("<TD>2005-12-01</TD><TD></TD><TD align=\"right\">0</TD>"),
            std::string::npos);
}

TEST_F(TimeTest, MovingAverageGapsAndRounding) {
  struct TCase {
    const char* what;
    std::vector<int> counts;
    std::string definition;
    const char* trend;
  } cases[] = {
      {"5 of 8: four gaps, then rounded means", {1, 3, 2, 5, 4, 8, 6, 7}, "ma_period=5",
       "gap gap gap gap 3 4 5 6"},
      {"no trend with as many buckets as the window", {1, 2, 3, 4, 5}, "ma_period=5", ""},
      {"halves to even", {1, 2, 3, 4}, "ma_period=2", "gap 2 2 4"},
      {"forced on although switched off", {1, 2, 3, 4}, "ma_period=2\r\nshow_ma=false",
       "gap 2 2 4"},
      {"the window takes and drops clamped values", {8, 1, 1},
       "ma_period=2\r\nuse_max_y=true\r\nmax_y=5", "gap 3 1"},
      {"no window", {1, 2, 3}, "ma_period=0", ""},
      {"a negative window", {1, 2, 3}, "ma_period=-2", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TCustomTimeReport r(ctx);
    r.LoadParams("name=Trend\r\nparam=requests\r\nshow_table=false\r\n" + c.definition);
    FeedDays(r, c.counts);
    EXPECT_EQ(Section(r), "<BR><a name=\"Trend\"></a><h2>Trend</h2><P><IMG SRC=\"Trend.gif\"></P>");
    EXPECT_EQ(Trend(chart), c.trend);
    EXPECT_TRUE(r.show_ma);
    if (!chart.Picture().trend.empty()) {
      EXPECT_EQ(chart.Picture().trend.front().label, "2005-12-01");
    }
  }
}

TEST_F(TimeTest, ChartPointsClampsAndKinds) {
  TCustomTimeReport r(ctx);
  r.LoadParams("name=Clamped\r\nparam=requests\r\nshow_table=false\r\nuse_min_y=true\r\nmin_y=2\r\n"
               "use_max_y=true\r\nmax_y=4");
  FeedDays(r, {1, 3, 9});
  Section(r);
  EXPECT_EQ(chart.Kind(), "line");
  EXPECT_TRUE(chart.SingleColour());
  ASSERT_EQ(chart.Picture().main.size(), 3u);
  EXPECT_EQ(chart.Picture().main[0].value, 2);
  EXPECT_EQ(chart.Picture().main[1].value, 3);
  EXPECT_EQ(chart.Picture().main[2].value, 4);
  EXPECT_EQ(chart.Picture().main[2].label, "2005-12-03");

  // One period drawn as a line becomes a bar chart.
  TCustomTimeReport one(ctx);
  one.LoadParams("name=One\r\nparam=requests");
  FeedDays(one, {2});
  const std::string html = Section(one);
  EXPECT_EQ(chart.Kind(), "bar");
  EXPECT_NE(html.find("<h2>One</h2><P><IMG SRC=\"One.gif\"></P><P><TABLE"), std::string::npos);
  EXPECT_TRUE(test::ReadFile(dir / "One.gif").starts_with("GIF"));
}

TEST_F(TimeTest, LargerUnitsAreScaledOnceAndTheCsvShowsWhatIsStored) {
  TCustomTimeReport mb(ctx), gb(ctx);
  mb.LoadParams("name=MB\r\nparam=mbytes\r\nshow_chart=false");
  gb.LoadParams("name=GB/day\r\nparam=gbytes\r\nshow_chart=false");
  for (auto* r : {&mb, &gb}) {
    Feed(*r, At(2005, 12, 2), "5000000000");
    Feed(*r, At(2005, 12, 1), "5000000000");
    Feed(*r, At(2005, 12, 1), "1048576");
  }
  mb.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "MB.csv"), "MB\r\n2005-12-01;4883836\r\n2005-12-02;4882812\r\n");
  EXPECT_NE(Section(mb).find("<TD>2005-12-01</TD><TD>" + std::string(31, '*') +
                             "</TD><TD align=\"right\">4769</TD>"),
            std::string::npos);
  mb.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "MB.csv"), "MB\r\n2005-12-01;4769\r\n2005-12-02;4768\r\n");
  Section(mb);  // a second showing does not divide again
  EXPECT_EQ(Dump(mb), "2005-12-01:4769 2005-12-02:4768");
  Section(gb);
  EXPECT_EQ(Dump(gb), "2005-12-01:4 2005-12-02:4");
}

// Periods of the first and the last year there is: December 9999 once
// raised a conversion error for its end, and the first week began in the
// year 0.
TEST_F(TimeTest, PeriodsAtTheEdgesOfTheCalendar) {
  const TDateTime first = EncodeDate(1, 1, 1);
  const TDateTime after_last = EncodeDate(9999, 12, 31) + 1;
  struct TCase {
    uint8_t duration;
    TDateTime t;
    TDateTime start, end;
  } cases[] = {
      {kDurationHour, At(9999, 12, 31, 23, 59, 59), after_last - 1.0 / 24, after_last},
      {kDurationDay, At(9999, 12, 31, 12), after_last - 1, after_last},
      {kDurationWeek, At(9999, 12, 31), At(9999, 12, 25), after_last},  // a Saturday
      {kDurationMonth, At(9999, 12, 15), At(9999, 12, 1), after_last},
      {kDurationQuarter, At(9999, 11, 1), At(9999, 10, 1), after_last},
      {kDurationYear, At(9999, 6, 1), At(9999, 1, 1), after_last},
      {kDurationHour, first, first, first + 1.0 / 24},
      {kDurationWeek, At(1, 1, 3), first, At(1, 1, 6)},  // the first week is short
      {kDurationMonth, first, first, At(1, 2, 1)},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(TimeDurationText(c.duration) + " " + DateTimeText(c.t));
    const TTimeBucket b = PeriodOf(c.duration, c.t);
    EXPECT_DOUBLE_EQ(b.start, c.start);
    EXPECT_DOUBLE_EQ(b.end, c.end);
  }
  // Such buckets go through the cache like any other.
  const std::string path = dir / "Cache/T.cache";
  TReportsCache::TReports list;
  list.push_back(std::make_unique<TCustomTimeReport>(ctx));
  list[0]->LoadParams("param=requests\r\nduration=week");
  Feed(*list[0], At(9999, 12, 31, 23));
  Feed(*list[0], At(1, 1, 1));
  ASSERT_TRUE(TReportsCache().Save(path, list, test::CacheHeader(100, false, 0, 0, false, 2, 1)));
  TReportsCache::TReports loaded;
  loaded.push_back(std::make_unique<TCustomTimeReport>(ctx));
  loaded[0]->LoadParams("param=requests\r\nduration=week");
  ASSERT_TRUE(TReportsCache().Load(path, loaded,
      test::CacheHeader(100, false, 0, 0, false))) << host.stdout_text;
  EXPECT_EQ(Dump(dynamic_cast<TCustomTimeReport&>(*loaded[0])), "9999-12-25:1 0001-01-01:1");
}

TEST_F(TimeTest, CacheBlockRoundTripAndDamage) {
  const std::string path = dir / "Cache/T.cache";
  auto make = [&] {
    TReportsCache::TReports list;
    auto r = std::make_unique<TCustomTimeReport>(ctx);
    r->LoadParams("name=Hours\r\nparam=requests\r\nduration=hour");
    list.push_back(std::move(r));
    return list;
  };
  auto at = [](TReportsCache::TReports& l) -> TCustomTimeReport& {
    return dynamic_cast<TCustomTimeReport&>(*l[0]);
  };
  TReportsCache::TReports saved = make();
  Feed(*saved[0], At(2005, 12, 7, 14, 10, 0));
  Feed(*saved[0], At(2005, 12, 7, 9, 10, 0));
  Feed(*saved[0], At(2005, 12, 7, 14, 50, 0));
  ASSERT_TRUE(TReportsCache().Save(path, saved, test::CacheHeader(100, false, 0, 0, false, 2, 1)));

  TReportsCache::TReports loaded = make();
  Feed(*loaded[0], At(2001, 1, 1));  // loading replaces what was there
  ASSERT_TRUE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_EQ(Dump(at(loaded)), "2005-12-07 14:00:00:2 2005-12-07 09:00:00:1");
  EXPECT_EQ(at(loaded).Buckets()[0]->end, at(saved).Buckets()[0]->end);
  // Loaded buckets are found by new lines.
  Feed(*loaded[0], At(2005, 12, 7, 9, 59, 59));
  EXPECT_EQ(Dump(at(loaded)), "2005-12-07 14:00:00:2 2005-12-07 09:00:00:2");

  // A negative count: the load fails and the report is empty.
  std::string data = test::ReadFile(path);
  const std::string index = test::ReadFile(path + "_");
  const size_t block = data.size() - (4 + 2 * 20);  // count, two buckets
  const int32_t minus = -1;
  std::memcpy(&data[block], &minus, 4);
  test::WriteFile(path, data);
  host.stdout_text.clear();
  EXPECT_FALSE(TReportsCache().Load(path, loaded, test::CacheHeader(100, false, 0, 0, false)));
  EXPECT_NE(host.stdout_text.find("Cache load error"), std::string::npos);
  EXPECT_TRUE(at(loaded).Buckets().empty());
}

// --- whole analyses ---------------------------------------------------------------

std::string Nsca(const std::string& ip, const std::string& when, const std::string& href,
                 const std::string& bytes = "512") {
  return ip + " - - [" + when + " +0100] \"GET " + href + " HTTP/1.0\" 200 " + bytes + "\r\n";
}

std::string TimeRep(const std::string& name, const std::string& param, const std::string& duration,
                    const std::string& extra = "") {
  return "type=time_report\r\nname=" + name + "\r\nparam=" + param + "\r\nduration=" + duration +
         "\r\nshow_chart=false\r\n" + extra;
}

// The section of a time report: from its anchor to the end of its table.
std::string TimeSection(const std::string& page, const std::string& anchor) {
  const size_t from = page.find("<BR><a name=\"" + anchor + "\">");
  if (from == std::string::npos) return "";
  const size_t to = page.find("</TABLE></P>", from);
  return page.substr(from, to == std::string::npos ? std::string::npos : to + 12 - from);
}

std::string Row(int i, const std::string& label, int width, int value) {
  return std::string("<TR class=\"") + (i % 2 ? "OddRaw" : "EvenRaw") + "\"><TD>" + label +
         "</TD><TD><img src=\"progress.gif\" width=\"" + std::to_string(width) +
         "\" height=\"10\"></TD><TD align=\"right\">" + std::to_string(value) + "</TD></TR>";
}

const std::string kTable = "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">";

TEST(TimeAnalysis, DaysAndHoursWithTheirCsvFiles) {
  test::Analysis a("NSCA Common", "AutoExportIntoExcel=-1\r\n",
                   TimeRep("Daily", "requests", "day") + TimeRep("Hourly", "hits", "hour"));
  // Periods are shown in time order, whatever order their lines came in.
  test::WriteFile(a.data + "access.log",
                  Nsca("10.0.0.1", "10/Dec/2005:08:00:00", "/a.htm") +
                      Nsca("10.0.0.1", "07/Dec/2005:13:05:01", "/a.htm") +
                      Nsca("10.0.0.2", "07/Dec/2005:13:59:59", "/b.gif") +
                      Nsca("10.0.0.1", "07/Dec/2005:14:00:00", "/a.htm") +
                      Nsca("10.0.0.3", "07/Dec/2005:23:59:59", "/c.htm") +
                      Nsca("10.0.0.1", "08/Dec/2005:00:00:00", "/a.htm"));
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string page = a.Details();
  EXPECT_EQ(TimeSection(page, "Daily"),
            "<BR><a name=\"Daily\"></a><h2>Daily</h2>" + kTable + Row(0, "2005-12-07", 300, 4) +
                Row(1, "2005-12-08", 75, 1) + Row(2, "2005-12-10", 75, 1) + "</TABLE></P>")
      << page;
  // The image of /b.gif is a request but no hit: its hour counts 0.
  EXPECT_EQ(TimeSection(page, "Hourly"),
            "<BR><a name=\"Hourly\"></a><h2>Hourly</h2>" + kTable +
                Row(0, "2005-12-07 13:00:00", 300, 1) + Row(1, "2005-12-07 14:00:00", 300, 1) +
                Row(2, "2005-12-07 23:00:00", 300, 1) + Row(3, "2005-12-08", 300, 1) +
                Row(4, "2005-12-10 08:00:00", 300, 1) + "</TABLE></P>")
      << page;
  EXPECT_EQ(test::ReadFile(a.out + "Daily.csv"),
            "Daily\r\n2005-12-07;4\r\n2005-12-08;1\r\n2005-12-10;1\r\n");
  EXPECT_EQ(test::ReadFile(a.out + "Hourly.csv"),
            "Hourly\r\n2005-12-07 13:00:00;1\r\n2005-12-07 14:00:00;1\r\n"
            "2005-12-07 23:00:00;1\r\n2005-12-08;1\r\n2005-12-10 08:00:00;1\r\n");
}

TEST(TimeAnalysis, NoDataAndBadBytesFields) {
  test::Analysis a("NSCA Common", "AutoExportIntoExcel=-1\r\n",
                   TimeRep("Nothing", "requests", "day", "filter=href;equals;/none.htm\r\n") +
                       TimeRep("Traffic", "kbytes", "week") +
                       TimeRep("Requests", "requests", "week"));
  test::WriteFile(a.data + "access.log",
                  Nsca("10.0.0.1", "04/Dec/2005:13:05:01", "/a.htm", "2048") +
                      Nsca("10.0.0.1", "05/Dec/2005:13:05:01", "/a.htm", "12abc") +
                      Nsca("10.0.0.1", "09/Dec/2005:13:05:01", "/a.htm", "3072") +
                      Nsca("10.0.0.1", "10/Dec/2005:13:05:01", "/a.htm", "1024"));
  auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out << r.err;
  const std::string page = a.Details();
  EXPECT_NE(page.find("<BR><a name=\"Nothing\"></a><h2>Nothing</h2><p>No data</p>\r\n"),
            std::string::npos)
      << page;
  EXPECT_EQ(test::ReadFile(a.out + "Nothing.csv"), "Nothing\r\nNo data\r\n");
  // The line with the broken bytes field is logged and left out of the
  // traffic report only; Sunday and Friday share a week, Saturday does not.
  EXPECT_EQ(test::ReadFile(a.out + "Traffic.csv"), "Traffic\r\n2005-12-03;5\r\n2005-12-10;1\r\n");
  EXPECT_EQ(test::ReadFile(a.out + "Requests.csv"),
            "Requests\r\n2005-12-03;3\r\n2005-12-10;1\r\n");
  EXPECT_NE(test::ReadFile(a.out + "err_rep.htm").find("PROCREP (#1) '12abc' is not a valid "
                                                       "integer value<BR>"),
            std::string::npos);
}

TEST(TimeAnalysis, CachedBucketsGiveTheSamePage) {
  const std::string day1 = Nsca("10.0.0.1", "07/Dec/2005:13:05:01", "/a.htm") +
                           Nsca("10.0.0.2", "07/Dec/2005:15:05:01", "/a.htm");
  const std::string day2 = Nsca("10.0.0.1", "07/Dec/2005:16:00:00", "/a.htm") +
                           Nsca("10.0.0.1", "08/Dec/2005:10:00:00", "/a.htm");
  const std::string reports = TimeRep("Daily", "requests", "day");
  test::Analysis cached("NSCA Common", "IncrementalAnalysis=-1\r\n", reports);
  test::WriteFile(cached.data + "access.log", day1);
  ASSERT_EQ(cached.Run().status, 0);
  test::WriteFile(cached.data + "access.log", day1 + day2);
  auto r = cached.Run();
  ASSERT_NE(r.out.find("Loading cache..."), std::string::npos) << r.out;

  test::Analysis whole("NSCA Common", "", reports);
  test::WriteFile(whole.data + "access.log", day1 + day2);
  ASSERT_EQ(whole.Run().status, 0);
  const std::string section = TimeSection(cached.Details(), "Daily");
  EXPECT_NE(section.find(Row(0, "2005-12-07", 300, 3)), std::string::npos) << section;
  EXPECT_EQ(section, TimeSection(whole.Details(), "Daily"));
}

}  // namespace
}  // namespace trelvar
