// The counting reports: definitions, sorting, what each counts per line,
// approximate compaction and the cache block.
#include "reports/standard_reports.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "base/errors.h"
#include "config/folders.h"
#include "config/main_settings.h"
#include "logread/geoip.h"
#include "logread/visit_tracker.h"
#include "platform/files.h"
#include "reports/chart_service.h"
#include "reports/report_params.h"
#include "reports/report_types.h"
#include "reports/reports_cache.h"
#include "sites/log_formats.h"
#include "test_support.h"

namespace trelvar {
namespace {

// What one log line carries for these reports.
struct TFeedLine {
  std::string ip = "1.1.1.1";
  std::string href = "/a.htm";
  std::string bytes = "100";
  bool hit = true;
  int minute = 0;  // on 7 December 2005
  std::string referrer;

  TFeedLine Ip(std::string v) const { return With(&TFeedLine::ip, std::move(v)); }
  TFeedLine Href(std::string v) const { return With(&TFeedLine::href, std::move(v)); }
  TFeedLine Bytes(std::string v) const { return With(&TFeedLine::bytes, std::move(v)); }
  TFeedLine Referrer(std::string v) const { return With(&TFeedLine::referrer, std::move(v)); }
  TFeedLine Hit(bool v) const { return With(&TFeedLine::hit, v); }
  TFeedLine Minute(int v) const { return With(&TFeedLine::minute, v); }

 private:
  template <typename T>
  TFeedLine With(T TFeedLine::*field, T value) const {
    TFeedLine copy = *this;
    copy.*field = std::move(value);
    return copy;
  }
};
TFeedLine L() { return TFeedLine(); }

std::string Node(uint32_t left, uint32_t right) {
  std::string n;
  for (uint32_t v : {left, right})
    for (int i = 0; i < 3; ++i) n += static_cast<char>((v >> (8 * i)) & 0xff);
  return n;
}

struct StandardTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TCurrentLine current;
  TVisLine visits{current};
  TReportContext ctx;
  TGeoIP geoip;
  TLogFmts formats;
  std::unique_ptr<TFolders> folders;
  std::unique_ptr<TMainSettings> settings;

  void SetUp() override {
    ctx.current = &current;
    ctx.visits = &visits;
    ctx.output_folder = dir.path();
    // 128.0.0.0/1 is the United States, 64.0.0.0/2 Germany, the rest unknown.
    geoip.OpenData(Node(1, TGeoIP::kCountryBegin + 225) +
                   Node(TGeoIP::kCountryBegin + 0, TGeoIP::kCountryBegin + 56));
    test::WriteFile(dir / "prog/Default/main.ini", "\r\n");
    test::WriteFile(dir / "data/main.ini",
                    "SearchEngine=Google;google.;q\r\nSearchEngine=Yahoo;yahoo.;p\r\n");
    folders = std::make_unique<TFolders>(dir / "prog", dir / "data");
    settings = std::make_unique<TMainSettings>(*folders, formats, nullptr);
  }

  // Publishes the line as the driver does and lets every report count it.
  void Feed(const std::vector<TCustomWReport*>& reports, const TFeedLine& l) {
    current.Clear();
    current.fields[kFieldHost] = l.ip;
    current.fields[kFieldIp] = l.ip;
    current.fields[kFieldHref] = l.href;
    current.fields[kFieldBytes] = l.bytes;
    current.fields[kFieldReferrer] = l.referrer;
    current.line.is_hit = l.hit;
    current.line.timestamp = EncodeDate(2005, 12, 7) + EncodeTime(l.minute / 60, l.minute % 60, 0);
    current.line.request = MakeSplit(l.href);
    current.line.referrer = MakeSplit(l.referrer);
    visits.SetDone(false);
    ctx.values.NextLine();
    for (TCustomWReport* r : reports) r->ProcessLine();
  }
};

// "value:count" of every row, in list order.
std::string Dump(const TStandardRep& r) {
  std::string out;
  for (const auto& row : r.Rows())
    out += (out.empty() ? "" : " ") + row->value + ":" + std::to_string(row->count);
  return out;
}

std::string DumpVisitors(const TStandardRep& r) {
  std::string out;
  for (const auto& row : r.Rows())
    out += (out.empty() ? "" : " ") + row->value + ":" + std::to_string(row->count) + "/" +
           std::to_string(row->visitors);
  return out;
}

std::string DumpAll(const TStandardRep& r) {
  std::string out;
  for (const auto& row : r.Rows())
    out += (out.empty() ? "" : " ") + row->value + ":" + std::to_string(row->count) + "/" +
           std::to_string(row->visitors) + "/" + std::to_string(row->TotalKilobytes()) + "/" +
           std::to_string(row->max_kb);
  return out;
}

// --- definitions ----------------------------------------------------------------

TEST_F(StandardTest, ConstructorDefaultsPerType) {
  struct TCase {
    const char* key;
    const char* name;
    int limit;
    const char* caption;
  };
  const TCase cases[] = {
      {"basic", "Basic Report", 10, ""},
      {"terminal", "Terminal Report", 10, "Page"},
      {"search_phrases", "Search Phrases", 7, "Phrase"},
      {"search_words", "Search Words", 7, "Phrase"},
      {"search_engines", "Search Engines", 7, "Phrase"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.key);
    const TReportType* type = FindReportType(c.key);
    ASSERT_NE(type, nullptr);
    auto made = type->create(ctx);
    auto* r = dynamic_cast<TStandardRep*>(made.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->report_type, c.key);
    EXPECT_EQ(r->report_name, c.name);
    EXPECT_EQ(r->TypeCaption(), c.name);
    EXPECT_EQ(type->caption(), c.name);
    EXPECT_EQ(r->limit, c.limit);
    EXPECT_EQ(r->column_caption, c.caption);
    EXPECT_FALSE(r->show_percent);
    EXPECT_TRUE(r->sort_by_value);
    EXPECT_FALSE(r->ascending);
    EXPECT_TRUE(r->show_table);
    EXPECT_FALSE(r->show_chart);
    EXPECT_EQ(r->chart_type, "pie");
    EXPECT_EQ(r->pages_only, std::string(c.key) == "basic");
  }
  TPrRep basic(ctx);
  EXPECT_EQ(basic.param, ReportParam::kHref);
  TTerminalRep terminal(ctx);
  EXPECT_FALSE(terminal.is_entry_page);
  EXPECT_FALSE(terminal.is_exit_page);
}

TEST_F(StandardTest, DefinitionKeysAndTheirWriteBack) {
  TPrRep r(ctx);
  r.LoadParams(
      "type=basic\r\nname=Countries\r\nlimit= 5 \r\npercentage= TRUE \r\nsortby= Name \r\n"
      "sortorder= Descending\r\nshow_table=no\r\nshow_chart= FALSE \r\nchart_type= bar\r\n"
      "param= Country \r\npagesonly=yes\r\nfilter=ip;not_equals;10.0.0.1");
  EXPECT_EQ(r.limit, 5);
  EXPECT_TRUE(r.show_percent);
  EXPECT_FALSE(r.sort_by_value);
  EXPECT_FALSE(r.ascending);
  EXPECT_TRUE(r.show_table);  // only "false" switches it off
  EXPECT_FALSE(r.show_chart);
  EXPECT_EQ(r.chart_type, " bar");  // taken as it stands
  EXPECT_EQ(r.param, ReportParam::kCountry);
  EXPECT_FALSE(r.pages_only);  // only "true" switches it on
  EXPECT_EQ(r.SaveParams(false),
            "type=basic\r\nname=Countries\r\ncategoryno=0\r\nfooter=true\r\n"
            "filter=ip;not_equals;10.0.0.1\r\nlimit=5\r\npercentage=true\r\nsortby=name\r\n"
            "sortorder=descending\r\nshow_table=true\r\nshow_chart=false\r\nchart_type= bar\r\n"
            "param=country\r\npagesonly=false\r\n");
  EXPECT_EQ(r.SaveParams(true),
            "type=basic\r\nname=Countries\r\ncategoryno=0\r\nfilter=ip;not_equals;10.0.0.1\r\n"
            "limit=5\r\nsortby=name\r\nsortorder=descending\r\nparam=country\r\npagesonly=false\r\n");

  // What is written reads back to the same definition.
  TPrRep again(ctx);
  again.LoadParams(r.SaveParams(false));
  EXPECT_EQ(again.SaveParams(false), r.SaveParams(false));

  r.LoadParam("sortorder=ascending");
  r.LoadParam("sortby=count");
  EXPECT_TRUE(r.ascending);
  EXPECT_TRUE(r.sort_by_value);
  r.LoadParam("param=nonsense");
  EXPECT_EQ(r.param, ReportParam::kNone);
  EXPECT_THROW(r.LoadParam("limit=ten"), EConvertError);

  TTerminalRep t(ctx);
  t.LoadParams("is_entry_page=yes\r\nis_exit_page= False ");
  EXPECT_TRUE(t.is_entry_page);
  EXPECT_FALSE(t.is_exit_page);
  EXPECT_EQ(t.SaveParams(true),
            "type=terminal\r\nname=Terminal Report\r\ncategoryno=0\r\nlimit=10\r\n"
            "sortby=value\r\nsortorder=descending\r\nis_entry_page=true\r\nis_exit_page=false\r\n");
}

TEST_F(StandardTest, CloneCopiesSettingsAndFiltersButNotRowsOrDirection) {
  TTerminalRep t(ctx);
  t.LoadParams("name=Exits\r\ncategoryno=2\r\nlimit=3\r\npercentage=true\r\nsortby=name\r\n"
               "sortorder=ascending\r\nshow_chart=true\r\nchart_type=bar\r\nis_exit_page=true\r\n"
               "filter=href;includes;.htm");
  t.column_caption = "Exit page";
  t.CountValue("/a.htm");
  auto copy = t.Clone();
  auto* c = dynamic_cast<TTerminalRep*>(copy.get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->report_name, "Exits");
  EXPECT_EQ(c->category_no, 0);
  EXPECT_EQ(c->limit, 3);
  EXPECT_TRUE(c->show_percent);
  EXPECT_FALSE(c->sort_by_value);
  EXPECT_FALSE(c->ascending);  // from the constructor
  EXPECT_TRUE(c->show_chart);
  EXPECT_EQ(c->chart_type, "bar");
  EXPECT_EQ(c->column_caption, "Exit page");
  EXPECT_TRUE(c->is_exit_page);
  ASSERT_EQ(c->filters.size(), 1u);
  EXPECT_EQ(c->filters[0].value, ".htm");
  EXPECT_TRUE(c->Rows().empty());

  TPrRep basic(ctx);
  basic.LoadParams("param=agent\r\npagesonly=false");
  auto b = basic.Clone();
  ASSERT_NE(dynamic_cast<TPrRep*>(b.get()), nullptr);
  EXPECT_EQ(dynamic_cast<TPrRep&>(*b).param, ReportParam::kAgent);
  EXPECT_FALSE(dynamic_cast<TPrRep&>(*b).pages_only);

  // The search reports copy into their own class.
  TSearchWords words(ctx);
  EXPECT_NE(dynamic_cast<TSearchWords*>(words.Clone().get()), nullptr);
  reports::TSearchEngines engines(ctx);
  EXPECT_NE(dynamic_cast<reports::TSearchEngines*>(engines.Clone().get()), nullptr);
}

TEST_F(StandardTest, LogFieldChecksAndReverseDns) {
  TPrRep country(ctx);
  country.report_name = "Countries";
  country.param = ReportParam::kCountry;
  country.CheckLogFields({kFieldHost, kFieldHref});
  EXPECT_FALSE(country.is_supported);
  EXPECT_NE(country.unsupported_text.find("Country"), std::string::npos);
  EXPECT_NE(country.unsupported_text.find("\"Countries\""), std::string::npos);
  country.CheckLogFields({kFieldIp});
  EXPECT_TRUE(country.is_supported);
  EXPECT_EQ(country.unsupported_text, "");

  TTerminalRep terminal(ctx);
  terminal.CheckLogFields({kFieldReferrer});
  EXPECT_FALSE(terminal.is_supported);
  EXPECT_EQ(terminal.unsupported_text, UnsupportedWarning(ReportParam::kHref, "Terminal Report"));
  terminal.CheckLogFields({kFieldHref});
  EXPECT_TRUE(terminal.is_supported);

  TSearchWords words(ctx);
  words.CheckLogFields({kFieldHref});
  EXPECT_FALSE(words.is_supported);
  EXPECT_EQ(words.unsupported_text, UnsupportedWarning(ReportParam::kReferrer, "Search Words"));
  words.CheckLogFields({kFieldReferrer});
  EXPECT_TRUE(words.is_supported);

  for (size_t i = 0; i < kParamCount; ++i) {
    TPrRep r(ctx);
    r.param = ParamAt(i);
    EXPECT_EQ(r.UsesReverseDns(), r.param == ReportParam::kUserName ||
                                      r.param == ReportParam::kUserDomain ||
                                      r.param == ReportParam::kUserSite)
        << i;
  }
  EXPECT_FALSE(terminal.UsesReverseDns());
}

// --- sorting --------------------------------------------------------------------

TEST_F(StandardTest, SortCombinations) {
  struct TCase {
    const char* sortby;
    const char* sortorder;
    const char* rows;
  };
  // b twice, a twice, c once, D once: equal keys keep their first-seen order.
  const TCase cases[] = {
      {"value", "descending", "b:2 a:2 c:1 D:1"},
      {"value", "ascending", "c:1 D:1 b:2 a:2"},
      {"name", "descending", "D:1 a:2 b:2 c:1"},  // A to Z, bytes: "D" before "a"
      {"name", "ascending", "c:1 b:2 a:2 D:1"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.sortby) + " " + c.sortorder);
    TSearchPhrases r(ctx);
    r.LoadParam(std::string("sortby=") + c.sortby);
    r.LoadParam(std::string("sortorder=") + c.sortorder);
    for (const char* v : {"b", "c", "a", "b", "D", "a"}) r.CountValue(v);
    r.SortRows();
    EXPECT_EQ(Dump(r), c.rows);
  }
}

TEST_F(StandardTest, CountValueIgnoresEmptyTextsAndFindsRowsAfterSorting) {
  TSearchPhrases r(ctx);
  r.CountValue("");
  EXPECT_TRUE(r.Rows().empty());
  for (const char* v : {"x", "y", "y", "z", "z", "z"}) r.CountValue(v);
  r.SortRows();
  r.CountValue("x");
  r.CountValue("w");
  EXPECT_EQ(Dump(r), "z:3 y:2 x:2 w:1");
  ASSERT_NE(r.FindRow("y"), nullptr);
  EXPECT_EQ(r.FindRow("y")->count, 2);
  EXPECT_EQ(r.FindRow("q"), nullptr);
  r.Clear();
  EXPECT_TRUE(r.Rows().empty());
  EXPECT_EQ(r.FindRow("z"), nullptr);
  r.CountValue("z");
  EXPECT_EQ(Dump(r), "z:1");
}

// --- the basic report -------------------------------------------------------------

TEST_F(StandardTest, KilobytesOfTheBytesField) {
  // The total is rounded to the nearest kilobyte (halves to even), the
  // largest line's kilobytes drop the remainder.
  struct TCase {
    const char* bytes;
    int total_kb, max_kb;
  };
  const TCase cases[] = {{"-", 0, 0},        {"", 0, 0},        {"  ", 0, 0},   {"0", 0, 0},
                         {"511", 0, 0},      {"512", 0, 0},     {"513", 1, 0},  {"1023", 1, 0},
                         {"1024", 1, 1},     {"1536", 2, 1},    {" 2047 ", 2, 1}, {"2048", 2, 2},
                         {"2560", 2, 2},     {"2561", 3, 2},
                         {"5000000000", 4882812, 4882812}};  // a 5 GB download: 4882812.5
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string("bytes \"") + c.bytes + "\"");
    TPrRep r(ctx);
    Feed({&r}, L().Href("/f.zip").Bytes(c.bytes));
    ASSERT_EQ(r.Rows().size(), 1u);
    EXPECT_EQ(r.Rows()[0]->TotalKilobytes(), c.total_kb);
    EXPECT_EQ(r.Rows()[0]->max_kb, c.max_kb);
  }
  TPrRep r(ctx);
  try {
    Feed({&r}, L().Bytes("12k"));
    ADD_FAILURE() << "no error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'12k' is not a valid integer value");
  }
  EXPECT_TRUE(r.Rows().empty());
}

TEST_F(StandardTest, KilobytesOnlyForHostAndUrlParameters) {
  struct TCase {
    const char* param;
    bool kb;
  };
  const TCase cases[] = {{"host", true},  {"ip", true},      {"href", true},
                         {"site", true},  {"path", true},    {"agent", false},
                         {"method", false}, {"referrer", false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.param);
    TPrRep r(ctx);
    r.LoadParam(std::string("param=") + c.param);
    Feed({&r}, L().Href("http://www.example.com/d/f.htm").Bytes("4096"));
    Feed({&r}, L().Href("http://www.example.com/d/f.htm").Bytes("2048"));
    ASSERT_EQ(r.Rows().size(), 1u);
    EXPECT_EQ(r.Rows()[0]->count, 2);
    EXPECT_EQ(r.Rows()[0]->TotalKilobytes(), c.kb ? 6 : 0);
    EXPECT_EQ(r.Rows()[0]->max_kb, c.kb ? 4 : 0);
    // Other parameters never read the bytes field, so a strange one does
    // not cost them the line.
    if (c.kb)
      EXPECT_THROW(Feed({&r}, L().Bytes("n/a")), EConvertError);
    else
      EXPECT_NO_THROW(Feed({&r}, L().Bytes("n/a")));
  }
}

TEST_F(StandardTest, PagesOnlyAndFilters) {
  TPrRep pages(ctx);
  TPrRep all(ctx);
  all.pages_only = false;
  TPrRep filtered(ctx);
  filtered.pages_only = false;
  filtered.LoadParam("filter=href;not_includes;.gif");
  for (auto [href, hit] : {std::pair{"/a.htm", true}, {"/logo.gif", false}, {"/a.htm", true},
                          {"/b.gif", false}, {"/c.php", true}}) {
    Feed({&pages, &all, &filtered}, L().Href(href).Hit(hit));
  }
  EXPECT_EQ(Dump(pages), "/a.htm:2 /c.php:1");
  EXPECT_EQ(Dump(all), "/a.htm:2 /logo.gif:1 /b.gif:1 /c.php:1");
  EXPECT_EQ(Dump(filtered), "/a.htm:2 /c.php:1");
}

TEST_F(StandardTest, CountryVisitorsFromFinishedVisits) {
  ctx.geoip = &geoip;
  TPrRep r(ctx);
  r.LoadParams("param=country\r\nfilter=ip;not_equals;10.1.1.1");
  // Sees every line, so the visit tracker learns of the filtered ones too.
  TTerminalRep tracker_user(ctx);
  // 200.x is the United States, 70.x Germany, 10.x unknown.
  Feed({&r, &tracker_user}, L().Ip("200.1.1.1").Minute(0));
  Feed({&r, &tracker_user}, L().Ip("70.1.1.1").Minute(5));
  Feed({&r, &tracker_user}, L().Ip("200.1.1.2").Minute(10));
  Feed({&r, &tracker_user}, L().Ip("10.1.1.1").Minute(12));  // filtered out: no row for it
  Feed({&r, &tracker_user}, L().Ip("200.1.1.1").Minute(20));
  EXPECT_EQ(DumpVisitors(r), "United States:3/0 Germany:1/0");
  // An hour later every earlier visit is over: two from the United
  // States, one from Germany, one from the unknown address, which has no row.
  Feed({&r, &tracker_user}, L().Ip("70.1.1.1").Minute(80));
  EXPECT_EQ(DumpVisitors(r), "United States:3/2 Germany:2/1");
  // Lines that are not page hits close no visits.
  Feed({&r, &tracker_user}, L().Ip("200.1.1.1").Hit(false).Minute(200));
  EXPECT_EQ(DumpVisitors(r), "United States:3/2 Germany:2/1");
}

TEST_F(StandardTest, CompactKeepsTheBestRowsAndItsIndex) {
  // No settings: the tolerance is 100, so a limit of 1 compacts at 200 rows
  // down to 20.
  TPrRep r(ctx);
  r.limit = 1;
  for (int i = 0; i < 199; ++i)
    for (int n = 0; n <= i % 10; ++n) r.CountValue("v" + std::to_string(i));
  r.Compact();
  EXPECT_EQ(r.Rows().size(), 199u);
  for (int n = 0; n < 10; ++n) r.CountValue("v199");
  r.Compact();
  ASSERT_EQ(r.Rows().size(), 20u);
  for (const auto& row : r.Rows()) EXPECT_EQ(row->count, 10) << row->value;  // the v..9 rows
  r.CountValue("v9");
  r.CountValue("v0");  // dropped: starts again
  EXPECT_EQ(r.FindRow("v9")->count, 11);
  EXPECT_EQ(r.FindRow("v0")->count, 1);
  EXPECT_EQ(r.Rows().size(), 21u);

  // The tolerance of the settings counts; a limit of 0 keeps everything.
  settings->approximate_tolerance = 10;
  ctx.settings = settings.get();
  TPrRep s(ctx);
  s.limit = 2;
  for (int i = 0; i < 220; ++i) s.CountValue("v" + std::to_string(i));
  s.Compact();
  EXPECT_EQ(s.Rows().size(), 22u);
  TPrRep all(ctx);
  all.limit = 0;
  for (int i = 0; i < 300; ++i) all.CountValue("v" + std::to_string(i));
  all.Compact();
  EXPECT_EQ(all.Rows().size(), 300u);
}

// --- terminal and search reports --------------------------------------------------

TEST_F(StandardTest, TerminalPagesOfFinishedVisits) {
  struct TCase {
    bool entry, exit;
    const char* rows;
  };
  const TCase cases[] = {
      {true, false, "/a 1.htm:1 /b.htm:1"},
      {false, true, "/a2.htm:1 /b.htm:1"},
      {true, true, "/b.htm:1"},  // only the one-page visit
      {false, false, ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.entry) + std::to_string(c.exit));
    TCurrentLine fresh;
    current = fresh;
    visits.Clear();
    TTerminalRep r(ctx);
    r.is_entry_page = c.entry;
    r.is_exit_page = c.exit;
    Feed({&r}, L().Ip("1.1.1.1").Href("/a%201.htm").Minute(0));
    Feed({&r}, L().Ip("2.2.2.2").Href("/b.htm").Minute(5));
    Feed({&r}, L().Ip("1.1.1.1").Href("/a2.htm").Minute(10));
    EXPECT_EQ(Dump(r), "");
    Feed({&r}, L().Ip("3.3.3.3").Href("/z.htm").Minute(120));
    EXPECT_EQ(Dump(r), c.rows);
  }
}

TEST_F(StandardTest, SearchPhrasesWordsAndEngines) {
  ctx.settings = settings.get();
  TSearchPhrases phrases(ctx);
  TSearchWords words(ctx);
  reports::TSearchEngines engines(ctx);
  for (const char* referrer :
       {"http://www.google.com/search?hl=en&q=Cheap+%22Red+Shoes%22",
        "http://search.yahoo.com/search?p=red+shoes", "http://www.google.com/search?q=a++b",
        "http://www.example.com/page.htm?x=1", "http://www.google.com/", "",
        "http://www.google.de/search?q="}) {
    Feed({&phrases, &words, &engines}, L().Referrer(referrer));
  }
  EXPECT_EQ(Dump(phrases), "cheap \"red shoes\":1 red shoes:1 a  b:1");
  EXPECT_EQ(Dump(words), "cheap:1 red:2 shoes:2 a:1 b:1");
  EXPECT_EQ(Dump(engines), "Google:3 Yahoo:1");

  // Their filters apply.
  TSearchPhrases filtered(ctx);
  filtered.LoadParam("filter=ref_site;includes;yahoo");
  Feed({&filtered}, L().Referrer("http://www.google.com/search?q=one"));
  Feed({&filtered}, L().Referrer("http://search.yahoo.com/search?p=two"));
  EXPECT_EQ(Dump(filtered), "two:1");

  // Without settings there is no catalogue and nothing is counted.
  ctx.settings = nullptr;
  TSearchPhrases none(ctx);
  reports::TSearchEngines no_engines(ctx);
  Feed({&none, &no_engines}, L().Referrer("http://www.google.com/search?q=one"));
  EXPECT_TRUE(none.Rows().empty());
  EXPECT_TRUE(no_engines.Rows().empty());
}

// --- cache ------------------------------------------------------------------------

struct CacheTest : StandardTest {
  TReportsCache::TReports Reports() {
    TReportsCache::TReports list;
    auto basic = std::make_unique<TPrRep>(ctx);
    basic->LoadParams("name=Countries\r\nparam=country\r\nfilter=ip;not_equals;10.0.0.1");
    list.push_back(std::move(basic));
    auto pages = std::make_unique<TPrRep>(ctx);
    pages->LoadParams("name=Pages");
    list.push_back(std::move(pages));
    list.push_back(std::make_unique<TSearchWords>(ctx));
    return list;
  }
  std::string path() const { return dir / "Cache/site.cache"; }
  bool Save(TReportsCache::TReports& list) {
    return TReportsCache().Save(path(), list, test::CacheHeader(100, false, 0, 0, false, 2, 1));
  }
  bool Load(TReportsCache::TReports& list) {
    return TReportsCache().Load(path(), list, test::CacheHeader(100, false, 0, 0, false));
  }
  static TStandardRep& At(TReportsCache::TReports& list, size_t i) {
    return dynamic_cast<TStandardRep&>(*list[i]);
  }
};

TEST_F(CacheTest, RowsSurviveTheCacheInOrder) {
  ctx.geoip = &geoip;
  TReportsCache::TReports saved = Reports();
  std::vector<TCustomWReport*> all;
  for (auto& r : saved) all.push_back(r.get());
  Feed(all, L().Ip("70.1.1.1").Href("/b.htm").Bytes("3000").Minute(0));
  Feed(all, L().Ip("200.1.1.1").Href("/a.htm").Bytes("1024").Minute(1));
  Feed(all, L().Ip("200.1.1.1").Href("/a.htm").Bytes("9000").Minute(100));
  At(saved, 2).CountValue("word");
  ASSERT_TRUE(Save(saved));

  TReportsCache::TReports loaded = Reports();
  At(loaded, 2).CountValue("stale");  // loading replaces what a report held
  ASSERT_TRUE(Load(loaded));
  for (size_t i = 0; i < saved.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(DumpAll(At(loaded, i)), DumpAll(At(saved, i)));
    EXPECT_FALSE(At(loaded, i).Rows().empty());
  }
  // Totals are rounded once (3000 bytes, 10024 bytes); the largest line's
  // kilobytes drop the remainder.
  EXPECT_EQ(DumpAll(At(loaded, 1)), "/b.htm:1/0/3/2 /a.htm:2/0/10/8");
  EXPECT_EQ(DumpAll(At(loaded, 0)), "Germany:1/1/0/0 United States:2/1/0/0");
  // The loaded rows are found again by their values.
  At(loaded, 2).CountValue("word");
  EXPECT_EQ(Dump(At(loaded, 2)), "word:2");
}

TEST_F(CacheTest, DamagedBlocksLeaveEveryReportEmpty) {
  TReportsCache::TReports saved = Reports();
  At(saved, 0).CountValue("Germany");
  At(saved, 1).CountValue("/a.htm");
  At(saved, 2).CountValue("word");
  ASSERT_TRUE(Save(saved));
  const std::string data = test::ReadFile(path());
  const std::string index = test::ReadFile(path() + "_");
  ASSERT_EQ(index.size(), 12u);
  int32_t lengths[3];
  std::memcpy(lengths, index.data(), 12);
  const size_t second_block = data.size() - static_cast<size_t>(lengths[1] + lengths[2]);

  struct TCase {
    const char* what;
    std::string data, index;
  };
  std::string shorter = index;
  const int32_t cut = lengths[1] - 1;
  std::memcpy(&shorter[4], &cut, 4);
  std::string negative = data;
  const int32_t minus_one = -1;
  std::memcpy(&negative[second_block], &minus_one, 4);
  const TCase cases[] = {
      {"a block one byte short", data, shorter},
      {"a negative row count", negative, index},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteFile(path(), c.data);
    test::WriteFile(path() + "_", c.index);
    TReportsCache::TReports loaded = Reports();
    host.stdout_text.clear();
    EXPECT_FALSE(Load(loaded));
    EXPECT_NE(host.stdout_text.find("Cache load error"), std::string::npos);
    for (size_t i = 0; i < loaded.size(); ++i) EXPECT_TRUE(At(loaded, i).Rows().empty()) << i;
    // Clearing the rows keeps the report's filters.
    EXPECT_EQ(At(loaded, 0).filters.size(), 1u);
  }
}

// --- HTML sections -----------------------------------------------------------------

constexpr const char* kTableOpen = "<P><TABLE border=0 cellPadding=1 cellSpacing=1 width=\"500\">\r\n";

struct OutputTest : StandardTest {
  // /a three times at 2 KB, /b at 1 and 3 KB, /c with no bytes.
  void FeedPages(TPrRep& r) {
    for (auto [href, bytes] : {std::pair{"/c", "-"}, {"/b", "1024"}, {"/a", "2048"},
                               {"/a", "2048"}, {"/b", "3072"}, {"/a", "2048"}})
      Feed({&r}, L().Href(href).Bytes(bytes));
  }
  std::string Section(TCustomWReport& r) {
    ctx.details.Clear();
    r.Display();
    return ctx.details.Text();
  }
};

TEST_F(OutputTest, BasicTableWithPercentKilobytesAndFooter) {
  TPrRep r(ctx);
  r.LoadParams("name=Top pages\r\nlimit=2\r\npercentage=true");
  FeedPages(r);
  EXPECT_EQ(Section(r),
            std::string("<BR><a name=\"Top_pages\"></a><h2>Top pages</h2>\r\n") + kTableOpen +
                "<TR><TH>Param: href</TH>\r\n"
                "<TH>Hits</TH>\r\n"
                "<TH>Percent</TH>\r\n"
                "<TH>KBytes</TH><TH>Downloads</TH>\r\n"
                "</TR>\r\n"
                "<TR class=\"EvenRaw\"><TD WIDTH=\"100%\">/a</TD><TD align=\"right\">3</TD>"
                "<TD align=\"right\">60.00%</TD><TD align=\"right\">6</TD>"
                "<TD align=\"right\">3</TD></TR>\r\n"
                "<TR class=\"OddRaw\"><TD WIDTH=\"100%\">/b</TD><TD align=\"right\">2</TD>"
                "<TD align=\"right\">40.00%</TD><TD align=\"right\">4</TD>"
                "<TD align=\"right\">1</TD></TR>\r\n"
                "<tr class=\"RowOddTotal\"><td>Subtotal number of hrefs above</td>"
                "<td colspan=\"4\"  align=\"right\">2</td></tr>\r\n"
                "<tr class=\"RowEvenTotal\"><td>Total number of hrefs in log file</td>"
                "<td  colspan=\"4\"  align=\"right\">3</td></tr>\r\n"
                "<tr class=\"RowOddTotal\"  colspan=\"4\" ><td>Subtotal value of hrefs above</td>"
                "<td  colspan=\"4\"  align=\"right\">5</td></tr>\r\n"
                "<tr class=\"RowEvenTotal\"  colspan=\"4\" ><td>Total number of hrefs in log file"
                "</td><td  colspan=\"4\"  align=\"right\">6</td></tr>\r\n"
                "</TABLE></P>\r\n");
}

TEST_F(OutputTest, NoDataFooterOffAndTableOff) {
  TPrRep empty(ctx);
  empty.LoadParam("rem=Only pages");
  EXPECT_EQ(Section(empty),
            "<BR><a name=\"Basic_Report\"></a><h2>Basic Report</h2>\r\n<P>\r\nOnly pages</P>\r\n"
            "<P>No data</P>\r\n");
  TTerminalRep no_rows(ctx);
  EXPECT_EQ(Section(no_rows),
            "<BR><a name=\"Terminal_Report\"></a><h2>Terminal Report</h2>\r\n<P>No data</P>\r\n");

  TPrRep no_footer(ctx);
  no_footer.LoadParam("footer=false");
  FeedPages(no_footer);
  const std::string html = Section(no_footer);
  EXPECT_EQ(html.find("Total"), std::string::npos);
  EXPECT_NE(html.find("</TR>\r\n</TABLE></P>\r\n"), std::string::npos);
  EXPECT_EQ(html.find("<TH>Percent</TH>"), std::string::npos);

  TPrRep no_table(ctx);
  no_table.LoadParam("show_table=false");
  FeedPages(no_table);
  EXPECT_EQ(Section(no_table), "<BR><a name=\"Basic_Report\"></a><h2>Basic Report</h2>\r\n");
}

// An API answering 4 560 requests of 51 bytes sent 227 KB: summing whole
// kilobytes per line showed 0.
TEST_F(OutputTest, ManySmallAnswersAddUpToTheirKilobytes) {
  TPrRep r(ctx);
  r.LoadParams("name=API\r\nshow_chart=false");
  for (int i = 0; i < 4560; ++i) Feed({&r}, L().Href("/api").Bytes("51"));
  Feed({&r}, L().Href("/big").Bytes("1536"));  // 1.5 KB: to the even 2
  const std::string html = Section(r);
  EXPECT_NE(html.find(">/api</TD><TD align=\"right\">4560</TD><TD align=\"right\">227</TD>"
                      "<TD align=\"right\">0</TD>"),
            std::string::npos)
      << html;
  EXPECT_NE(html.find(">/big</TD><TD align=\"right\">1</TD><TD align=\"right\">2</TD>"
                      "<TD align=\"right\">2</TD>"),
            std::string::npos)
      << html;
  r.ExportCsv();
  const std::string csv = test::ReadFile(r.CsvPath());
  EXPECT_NE(csv.find("\r\n/api;4560;227\r\n/big;1;2\r\n"), std::string::npos) << csv;
}

TEST_F(OutputTest, DownloadsRoundHalvesToEven) {
  TPrRep r(ctx);
  for (const char* bytes : {"2048", "2048", "1024"}) Feed({&r}, L().Href("/h").Bytes(bytes));
  for (const char* bytes : {"2048", "2048", "2048", "1024"}) Feed({&r}, L().Href("/k").Bytes(bytes));
  const std::string html = Section(r);
  EXPECT_NE(html.find(">/h</TD><TD align=\"right\">3</TD><TD align=\"right\">5</TD>"
                      "<TD align=\"right\">2</TD>"),
            std::string::npos);  // 2.5
  EXPECT_NE(html.find(">/k</TD><TD align=\"right\">4</TD><TD align=\"right\">7</TD>"
                      "<TD align=\"right\">4</TD>"),
            std::string::npos);  // 3.5
}

TEST_F(OutputTest, CountryTableSharesVisitors) {
  ctx.geoip = &geoip;
  TPrRep r(ctx);
  r.LoadParams("name=Countries\r\nparam=country\r\npercentage=true");
  TTerminalRep tracker_user(ctx);
  for (auto [ip, minute] : {std::pair{"200.1.1.1", 0}, {"70.1.1.1", 5}, {"200.1.1.2", 10},
                            {"200.1.1.1", 20}, {"70.1.1.1", 80}})
    Feed({&r, &tracker_user}, L().Ip(ip).Minute(minute));
  const std::string html = Section(r);
  EXPECT_NE(html.find("<TR><TH>Param: Country</TH>\r\n<TH>Hits</TH>\r\n<TH>Visitors</TH>\r\n"
                      "<TH>Percent</TH>\r\n</TR>\r\n"),
            std::string::npos);
  EXPECT_NE(html.find("<TR class=\"EvenRaw\"><TD WIDTH=\"100%\">United States</TD>"
                      "<TD align=\"right\">3</TD><TD align=\"right\">2</TD>"
                      "<TD align=\"right\">66.67%</TD></TR>\r\n"
                      "<TR class=\"OddRaw\"><TD WIDTH=\"100%\">Germany</TD>"
                      "<TD align=\"right\">2</TD><TD align=\"right\">1</TD>"
                      "<TD align=\"right\">33.33%</TD></TR>\r\n"),
            std::string::npos);
  EXPECT_NE(html.find("<td colspan=\"3\"  align=\"right\">2</td>"), std::string::npos);
}

TEST_F(OutputTest, StandardTableWithPercentAndFooter) {
  TTerminalRep r(ctx);
  r.show_percent = true;
  for (const char* v : {"/y", "/x", "/x"}) r.CountValue(v);
  EXPECT_EQ(Section(r),
            std::string("<BR><a name=\"Terminal_Report\"></a><h2>Terminal Report</h2>\r\n") +
                kTableOpen +
                "<TR><TH>Page</TH>\r\n"
                "<TH>Hits</TH>\r\n"
                "<TH>Percent</TH>\r\n"
                "</TR>\r\n"
                "<TR class=\"EvenRaw\"><TD WIDTH=\"100%\">/x</TD><TD align=\"right\">2</TD>"
                "<TD align=\"right\">66.67%</TD></TR>\r\n"
                "<TR class=\"OddRaw\"><TD WIDTH=\"100%\">/y</TD><TD align=\"right\">1</TD>"
                "<TD align=\"right\">33.33%</TD></TR>\r\n"
                "<tr class=\"RowOddTotal\"><td>Subtotal number of pages above</td>"
                "<td colspan=\"2\"  align=\"right\">2</td></tr>\r\n"
                "<tr class=\"RowEvenTotal\"><td>Total number of Pages in log file</td>"
                "<td  colspan=\"2\"  align=\"right\">2</td></tr>\r\n"
                "<tr class=\"RowOddTotal\"  colspan=\"2\" ><td>Subtotal number of Pages above</td>"
                "<td  colspan=\"2\"  align=\"right\">3</td></tr>\r\n"
                "<tr class=\"RowEvenTotal\"  colspan=\"2\" ><td>Total number of Pages in log file"
                "</td><td  colspan=\"2\"  align=\"right\">3</td></tr>\r\n"
                "</TABLE></P>\r\n");

  TSearchPhrases plain(ctx);
  plain.CountValue("shoes");
  const std::string html = Section(plain);
  EXPECT_NE(html.find("<TR><TH>Phrase</TH>\r\n<TH>Hits</TH>\r\n</TR>\r\n"
                      "<TR class=\"EvenRaw\"><TD WIDTH=\"100%\">shoes</TD>"
                      "<TD align=\"right\">1</TD></TR>\r\n"
                      "<tr class=\"RowOddTotal\"><td>Subtotal number of pages above</td>"
                      "<td colspan=\"1\"  align=\"right\">1</td></tr>\r\n"),
            std::string::npos);
}

TEST_F(OutputTest, LimitZeroShowsAndSharesAllRowsAndStaysZero) {
  TSearchPhrases r(ctx);
  r.LoadParams("limit=0\r\npercentage=true");
  for (const char* v : {"a", "b", "a", "c"}) r.CountValue(v);
  const std::string html = Section(r);
  EXPECT_NE(html.find(">a</TD><TD align=\"right\">2</TD><TD align=\"right\">50.00%</TD>"),
            std::string::npos);
  EXPECT_NE(html.find(">b</TD><TD align=\"right\">1</TD><TD align=\"right\">25.00%</TD>"),
            std::string::npos);
  EXPECT_NE(html.find(">c</TD><TD align=\"right\">1</TD><TD align=\"right\">25.00%</TD>"),
            std::string::npos);
  EXPECT_NE(html.find("<td colspan=\"2\"  align=\"right\">3</td>"), std::string::npos);
  EXPECT_EQ(r.limit, 0);
  EXPECT_NE(r.SaveParams(true).find("limit=0\r\n"), std::string::npos);
}

TEST_F(OutputTest, ValuesFromTheLogAreEscaped) {
  TPrRep basic(ctx);
  Feed({&basic}, L().Href("/<script>alert(1)</script>"));
  TTerminalRep terminal(ctx);
  terminal.CountValue("<b>\"x\"&");
  TSearchPhrases phrases(ctx);
  phrases.CountValue("<img src=x>");
  const std::string html = Section(basic) + Section(terminal) + Section(phrases);
  EXPECT_NE(html.find(">/&lt;script&gt;alert(1)&lt;/script&gt;</TD>"), std::string::npos);
  EXPECT_NE(html.find(">&lt;b&gt;&quot;x&quot;&amp;</TD>"), std::string::npos);
  EXPECT_NE(html.find(">&lt;img src=x&gt;</TD>"), std::string::npos);
  EXPECT_EQ(html.find("<script"), std::string::npos);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_EQ(html.find("<img"), std::string::npos);
  // A CSV file is no page: the value stays as it came.
  terminal.ExportCsv();
  EXPECT_NE(test::ReadFile(dir / "Terminal Report.csv").find("<b>\"x\"&;1"), std::string::npos);
}

// --- charts --------------------------------------------------------------------------

TEST(StandardChartText, SharesAndLabels) {
  EXPECT_EQ(ShareText(1, 3), "33.33");
  EXPECT_EQ(ShareText(2, 3), "66.67");
  EXPECT_EQ(ShareText(1, 1), "100.00");
  EXPECT_EQ(ShareText(1, 8), "12.50");
  EXPECT_EQ(ShareText(0, 0), "0.00");
  const std::string twenty = "/abcdefghijklmnopqrs";
  ASSERT_EQ(twenty.size(), 20u);
  EXPECT_EQ(ChartLabel(twenty), twenty);
  EXPECT_EQ(ChartLabel(twenty + "t"), twenty + "...");
  EXPECT_EQ(ChartLabel(""), "");
  std::string umlauts;
  for (int i = 0; i < 21; ++i) umlauts += "\xC3\xA4";  // 21 characters, 42 bytes
  EXPECT_EQ(ChartLabel(umlauts), umlauts.substr(0, 40) + "...");
  EXPECT_EQ(ChartLabel(umlauts.substr(0, 40)), umlauts.substr(0, 40));
}

TEST_F(OutputTest, ChartImagesGoBeforeTheTable) {
  std::mt19937_64 random(7);
  TfrmTempChart chart(nullptr, random);
  chart.SetOutputFolder(dir.path());
  ctx.chart = &chart;

  TPrRep bar(ctx);
  bar.LoadParams("name=Top pages\r\nshow_chart=true\r\nchart_type=bar");
  for (int i = 0; i < 3; ++i) Feed({&bar}, L().Href("/a-very-long-address-of-a-page.htm"));
  Feed({&bar}, L().Href("/short.htm"));
  std::string html = Section(bar);
  EXPECT_NE(html.find("</h2>\r\n<P><IMG SRC=\"Top_pages.gif\"></P>" + std::string(kTableOpen)),
            std::string::npos);
  EXPECT_TRUE(platform::IsRegularFile(dir / "Top_pages.gif"));
  EXPECT_EQ(chart.Kind(), "bar");
  ASSERT_EQ(chart.Picture().main.size(), 2u);
  EXPECT_EQ(chart.Picture().main[0].label, "/a-very-long-address... (75.00%)");
  EXPECT_DOUBLE_EQ(chart.Picture().main[0].value, 75.0);
  EXPECT_EQ(chart.Picture().main[1].label, "/short.htm (25.00%)");

  // A pie names the slices without their shares; only the shown rows go in.
  TSearchPhrases pie(ctx);
  pie.LoadParams("name=Phrases/week\r\nshow_chart=true\r\nshow_table=false\r\nlimit=2");
  for (const char* v : {"red shoes", "red shoes", "<blue> shoes", "green"}) pie.CountValue(v);
  html = Section(pie);
  EXPECT_NE(html.find("</h2>\r\n<P><IMG SRC=\"Phrases_week.gif\"></P>"), std::string::npos);
  EXPECT_TRUE(platform::IsRegularFile(dir / "Phrases_week.gif"));
  ASSERT_EQ(chart.Picture().main.size(), 2u);
  EXPECT_EQ(chart.Picture().main[0].label, "red shoes");
  EXPECT_EQ(chart.Picture().main[1].label, "<blue> shoes");  // drawn, not put into HTML
  EXPECT_DOUBLE_EQ(chart.Picture().main[1].value, 100.0 / 3);

  // Nothing to share (a country report without finished visits): no chart.
  TPrRep countries(ctx);
  countries.LoadParams("name=Countries\r\nparam=country\r\nshow_chart=true");
  Feed({&countries}, L().Ip("200.1.1.1"));
  html = Section(countries);
  EXPECT_EQ(html.find("<IMG"), std::string::npos);
  EXPECT_NE(html.find(kTableOpen), std::string::npos);
  EXPECT_FALSE(platform::IsRegularFile(dir / "Countries.gif"));

  // Without a chart service the table still comes.
  ctx.chart = nullptr;
  html = Section(bar);
  EXPECT_EQ(html.find("<IMG"), std::string::npos);
  EXPECT_NE(html.find(kTableOpen), std::string::npos);
}

// --- CSV files -----------------------------------------------------------------------

TEST_F(OutputTest, CsvFiles) {
  TPrRep basic(ctx);
  basic.LoadParams("name=Top/pages\r\nlimit=2\r\npercentage=true");
  FeedPages(basic);
  basic.ExportCsv();
  EXPECT_EQ(basic.CsvPath(), dir / "Top_pages.csv");
  EXPECT_EQ(test::ReadFile(dir / "Top_pages.csv"),
            "Top/pages\r\n"
            "Param: href;Value;Percent;KBytes\r\n"
            "/a;3;60.00%;6\r\n"
            "/b;2;40.00%;4\r\n"
            "Subtotal number of hrefs above;2\r\n"
            "Total number of hrefs in log file;3\r\n"
            "Subtotal number of hrefs above;5\r\n"
            "Total number of hrefs in log file;6\r\n");

  TPrRep agents(ctx);
  agents.LoadParams("name=Agents\r\nparam=agent\r\nfooter=false\r\npagesonly=false");
  current.Clear();
  current.fields[kFieldAgent] = "Mozilla/4.0+(compatible)";
  ctx.values.NextLine();
  agents.ProcessLine();
  agents.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Agents.csv"),
            "Agents\r\nParam: Agent;Value\r\nMozilla/4.0 (compatible);1\r\n");

  TTerminalRep terminal(ctx);
  terminal.LoadParams("percentage=true\r\nfooter=false");
  for (const char* v : {"/y", "/x", "/x"}) terminal.CountValue(v);
  terminal.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Terminal Report.csv"),
            "Terminal Report\r\nPage;Value;Percent\r\n/x;2;66.67\r\n/y;1;33.33\r\n");

  TSearchPhrases phrases(ctx);
  phrases.CountValue("shoes");
  phrases.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Search Phrases.csv"),
            "Search Phrases\r\nPhrase;Value\r\nshoes;1\r\n"
            "Subtotal number of pages above;1\r\nTotal number of Phrases in log file;1\r\n"
            "Subtotal number of Phrases above;1\r\nTotal number of Phrases in log file;1\r\n");

  TPrRep empty(ctx);
  empty.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Basic Report.csv"), "Basic Report\r\nNo data\r\n");
  TSearchWords no_words(ctx);
  no_words.ExportCsv();
  EXPECT_EQ(test::ReadFile(dir / "Search Words.csv"), "Search Words\r\n<P>No data</P>\r\n");
  EXPECT_FALSE(platform::IsRegularFile(dir / "Search Words.csv.tmp"));

  ctx.output_folder = dir / "missing/";
  try {
    empty.ExportCsv();
    ADD_FAILURE() << "no error";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + dir / "missing/Basic Report.csv\"");
  }
}

}  // namespace
}  // namespace trelvar
