// The analysis cache against damage: values out of their range are refused
// like a cache that ends too soon, and cache file names made from site
// names stay inside the cache folder.
#include "reports/reports_cache.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>
#include <set>

#include "analysis_run.h"
#include "base/errors.h"
#include "reports/standard_reports.h"
#include "reports/time_report.h"
#include "reports/user_models.h"
#include "test_support.h"

namespace trelvar {
namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

// The bytes of a cache file, written primitive by primitive.
struct TBytes {
  std::string s;
  TBytes& Int(int32_t v) { return Raw(&v, 4); }
  TBytes& Byte(uint8_t v) { return Raw(&v, 1); }
  TBytes& Real(double v) { return Raw(&v, 8); }
  TBytes& Str(const std::string& v) {
    Int(static_cast<int32_t>(v.size()));
    s += v;
    return *this;
  }
  TBytes& Raw(const void* p, size_t n) {
    s.append(static_cast<const char*>(p), n);
    return *this;
  }
};

// The header items of a cache written without a period.
struct THeader {
  double first = 38693.5, last = 38694.5;  // December 2005
  uint8_t use_period = 0;
  double from = 0, to = 0;
};

struct CacheDamageTest : ::testing::Test {
  test::TTempDir dir;
  test::TCaptureHost host{TRunMode::Console};
  TReportContext ctx;
  std::string path = dir / "Cache/site.cache";

  void SetUp() override { ctx.output_folder = dir.path(); }

  // Writes a cache of the given header and report blocks, in the order
  // and with the definitions of `reports`.
  void Write(TReportsCache::TReports& reports, const THeader& h,
             const std::vector<std::string>& blocks) {
    TBytes data;
    data.Str(TReportsCache::kMagic).Real(h.first).Real(h.last).Byte(h.use_period);
    data.Real(h.from).Real(h.to).Byte(0).Int(100);
    data.Int(static_cast<int32_t>(reports.size()));
    for (auto& r : reports) data.Str(r->SaveParams(true));
    TBytes index;
    for (const std::string& b : blocks) {
      data.s += b;
      index.Int(static_cast<int32_t>(b.size()));
    }
    test::WriteFile(path, data.s);
    test::WriteFile(path + "_", index.s);
  }
  bool Load(TReportsCache::TReports& reports) {
    host.stdout_text.clear();
    return TReportsCache().Load(path, reports, test::CacheHeader(100, false, 0, 0, false));
  }
};

// One bucket of a day report: start, end, requests.
std::string TimeBlock(double start, double end, int32_t value) {
  return TBytes().Int(1).Real(start).Real(end).Int(value).s;
}
// One basic-report row.
std::string BasicBlock(int32_t count, int32_t visitors, double real, int32_t kb = 5) {
  return TBytes().Int(1).Str("/a.htm").Int(count).Int(visitors).Real(real).Int(kb).Int(3).s;
}
// A user model of one pattern with one page.
std::string ModelBlock(int32_t visits, int32_t weight, double membership) {
  return TBytes().Int(visits).Int(1).Int(weight).Int(1).Str("/a.htm").Real(membership).s;
}

// A damaged cache once printed "Time range: ... - 2030437201-06-04", a
// time-report row of that date and "-9223372036854775808" visitors of a
// user model: every such cache is now a load error that empties every
// report.
TEST_F(CacheDamageTest, ValuesOutOfRangeAreALoadError) {
  const double day = 38693;  // 2005-12-07
  struct TCase {
    const char* what;
    THeader header;
    std::string time, basic, model;
    bool loads;
  };
  const THeader good;
  auto header = [&](auto change) {
    THeader h = good;
    change(h);
    return h;
  };
  const std::string time = TimeBlock(day, day + 1, 3);
  const std::string basic = BasicBlock(2, 0, 0);
  const std::string model = ModelBlock(2, 2, 1.0);
  const TCase cases[] = {
      {"an undamaged cache", good, time, basic, model, true},
      {"a first line time of 1e300", header([](THeader& h) { h.first = 1e300; }), time, basic,
       model, false},
      {"a last line time of 1e300", header([](THeader& h) { h.last = 1e300; }), time, basic, model,
       false},
      {"a NaN last line time", header([](THeader& h) { h.last = kNaN; }), time, basic, model,
       false},
      {"a period start of -infinity", header([](THeader& h) { h.from = -kInf; }), time, basic,
       model, false},
      {"a period end in the year 10000", header([](THeader& h) { h.to = 2958466; }), time, basic,
       model, false},
      {"a use-period flag of 2", header([](THeader& h) { h.use_period = 2; }), time, basic, model,
       false},
      {"a bucket start of 1e300", good, TimeBlock(1e300, day + 1, 3), basic, model, false},
      {"a bucket end of 1e300", good, TimeBlock(day, 1e300, 3), basic, model, false},
      {"a bucket that ends before it starts", good, TimeBlock(day + 1, day, 3), basic, model,
       false},
      {"a negative request count", good, TimeBlock(day, day + 1, -3), basic, model, false},
      {"a NaN real in a row", good, time, BasicBlock(2, 0, kNaN), model, false},
      {"an infinite real in a row", good, time, BasicBlock(2, 0, kInf), model, false},
      {"a negative hit count", good, time, BasicBlock(-2, 0, 0), model, false},
      {"a negative visitor count", good, time, BasicBlock(2, -1, 0), model, false},
      {"negative model visits", good, time, basic, ModelBlock(-1, 1, 1.0), false},
      {"a pattern weight of 0", good, time, basic, ModelBlock(2, 0, 1.0), false},
      {"more pattern weight than visits", good, time, basic, ModelBlock(2, 3, 1.0), false},
      {"a NaN membership", good, time, basic, ModelBlock(2, 2, kNaN), false},
      {"a membership of 1e300", good, time, basic, ModelBlock(2, 2, 1e300), false},
      {"a negative membership", good, time, basic, ModelBlock(2, 2, -0.5), false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TReportsCache::TReports reports;
    reports.push_back(std::make_unique<TCustomTimeReport>(ctx));
    reports.push_back(std::make_unique<TPrRep>(ctx));
    reports.push_back(std::make_unique<TUserModel>(ctx));
    reports[0]->LoadParams("name=Daily\r\nparam=requests");
    Write(reports, c.header, {c.time, c.basic, c.model});
    auto& timed = static_cast<TCustomTimeReport&>(*reports[0]);
    auto& rows = static_cast<TPrRep&>(*reports[1]);
    auto& users = static_cast<TUserModel&>(*reports[2]);
    rows.CountValue("/stale");  // whatever a report held goes

    EXPECT_EQ(Load(reports), c.loads);
    if (c.loads) {
      EXPECT_EQ(host.stdout_text.find("Cache load error"), std::string::npos);
      EXPECT_EQ(timed.Buckets().size(), 1u);
      ASSERT_EQ(rows.Rows().size(), 1u);
      EXPECT_EQ(rows.Rows()[0]->value, "/a.htm");
      EXPECT_EQ(users.Visits(), 2);
      EXPECT_EQ(users.Patterns().size(), 1u);
      continue;
    }
    EXPECT_NE(host.stdout_text.find("Cache load error. Analysis started from beginning"),
              std::string::npos)
        << host.stdout_text;
    EXPECT_EQ(host.stdout_text.find("Cache does not match"), std::string::npos);
    EXPECT_TRUE(timed.Buckets().empty());
    EXPECT_TRUE(rows.Rows().empty());
    EXPECT_TRUE(users.Patterns().empty());
    EXPECT_EQ(users.Visits(), 0);
    // The page of the emptied model shows no number made from the damage.
    users.Display();
    const std::string page = test::ReadFile(dir / "user_models.htm");
    EXPECT_NE(page.find("Total 0 visitors"), std::string::npos);
    EXPECT_EQ(page.find("-9223372036854775808"), std::string::npos);
  }
}

// A report that reads its block with one checked read.
class TProbeReport : public TCustomWReport {
 public:
  using TReader = std::function<void(TReportsCache&)>;
  TProbeReport(TReportContext& ctx, TReader reader)
      : TCustomWReport(ctx), reader_(std::move(reader)) {}
  std::unique_ptr<TCustomWReport> Clone() const override {
    return std::make_unique<TProbeReport>(ctx_, reader_);
  }
  void ProcessLine() override {}
  void Display() override {}
  void Clear() override {}
  std::string TypeCaption() const override { return "Probe"; }
  void LoadFromCache(TReportsCache& cache) override { reader_(cache); }

 private:
  TReader reader_;
};

TEST_F(CacheDamageTest, CheckedReadsAcceptTheirRangeOnly) {
  const int32_t max = std::numeric_limits<int32_t>::max();
  const int32_t min = std::numeric_limits<int32_t>::min();
  using TRead = std::function<void(TReportsCache&)>;
  const TRead count = [](TReportsCache& c) { c.ReadCount(); };
  const TRead weight = [&](TReportsCache& c) { c.ReadInteger(1, max); };
  const TRead flag = [](TReportsCache& c) { c.ReadBool(); };
  const TRead share = [](TReportsCache& c) { c.ReadReal(0, 1); };
  const TRead any_real = [](TReportsCache& c) {
    c.ReadReal(-std::numeric_limits<double>::max(), std::numeric_limits<double>::max());
  };
  const TRead time = [](TReportsCache& c) { c.ReadDateTime(); };
  struct TCase {
    const char* what;
    TRead read;
    std::string block;
    bool accepted;
  };
  const TCase cases[] = {
      {"count 0", count, TBytes().Int(0).s, true},
      {"count max", count, TBytes().Int(max).s, true},
      {"count min", count, TBytes().Int(min).s, false},
      {"weight 1", weight, TBytes().Int(1).s, true},
      {"weight 0", weight, TBytes().Int(0).s, false},
      {"flag 0", flag, TBytes().Byte(0).s, true},
      {"flag 1", flag, TBytes().Byte(1).s, true},
      {"flag 2", flag, TBytes().Byte(2).s, false},
      {"flag 255", flag, TBytes().Byte(255).s, false},
      {"share 0", share, TBytes().Real(0).s, true},
      {"share 1", share, TBytes().Real(1).s, true},
      {"share just above 1", share, TBytes().Real(std::nextafter(1.0, 2.0)).s, false},
      {"share -1e-300", share, TBytes().Real(-1e-300).s, false},
      {"any real 1e300", any_real, TBytes().Real(1e300).s, true},
      {"any real +inf", any_real, TBytes().Real(kInf).s, false},
      {"any real -inf", any_real, TBytes().Real(-kInf).s, false},
      {"any real NaN", any_real, TBytes().Real(kNaN).s, false},
      {"time of year 1", time, TBytes().Real(kMinDateTime).s, true},
      {"time of year 9999", time, TBytes().Real(kMaxDateTime).s, true},
      {"time of year 0", time, TBytes().Real(kMinDateTime - 1).s, false},
      {"time of year 10000", time, TBytes().Real(kMaxDateTime + 1).s, false},
      {"a count cut short", count, TBytes().Byte(0).Byte(0).s, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    TReportsCache::TReports reports;
    reports.push_back(std::make_unique<TProbeReport>(ctx, c.read));
    Write(reports, THeader(), {c.block});
    EXPECT_EQ(Load(reports), c.accepted) << host.stdout_text;
  }
}

// --- cache file names -------------------------------------------------------------

TEST(CacheFileNames, SafeNamesStayAndOthersAreEncoded) {
  struct TCase {
    std::string site, base;
  };
  const TCase cases[] = {
      {"T", "T"},
      {"My site 2", "My site 2"},
      {"www.example.com", "www.example.com"},
      {"Ünïcødé", "Ünïcødé"},
      {"...", "..."},
      {".hidden", ".hidden"},
      {"", ""},
      {"../../esc", "..%2F..%2Fesc"},
      {"/etc/passwd", "%2Fetc%2Fpasswd"},
      {".", "%2E"},
      {"..", "%2E%2E"},
      {"a%2Fb", "a%252Fb"},
      {"100%", "100%25"},
      {"a\\..\\b", "a%5C..%5Cb"},
      {std::string("a\0b", 3), "a%00b"},
      {"tab\there", "tab%09here"},
      {"line\r\n", "line%0D%0A"},
      {"del\x7f", "del%7F"},
  };
  std::set<std::string> bases;
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.site);
    const std::string base = CacheFileBase(c.site);
    EXPECT_EQ(base, c.base);
    EXPECT_EQ(base.find('/'), std::string::npos);
    EXPECT_TRUE(bases.insert(base).second) << "two sites share " << base;
    EXPECT_EQ(CacheFilePath("/data/", c.site), "/data/Cache/" + c.base + ".cache");
  }
  // Names that encode to what another name is already are kept apart too.
  EXPECT_NE(CacheFileBase("a/b"), CacheFileBase("a%2Fb"));
  EXPECT_NE(CacheFileBase("."), CacheFileBase("%2E"));
}

// --- whole analyses ------------------------------------------------------------------

std::string Nsca(const std::string& when, const std::string& href) {
  return "10.0.0.1 - - [" + when + " +0100] \"GET " + href + " HTTP/1.0\" 200 512\r\n";
}

// The release build once printed the year 2030437201 for a last line time
// of 1e300 in the cache; the damaged cache is now refused and the pages
// show the times of the log.
TEST(CacheAnalysis, HeaderTimeOf1e300StartsFromTheBeginning) {
  const std::string reports =
      "type=time_report\r\nname=Daily\r\nparam=requests\r\nduration=day\r\nshow_chart=false\r\n"
      "type=basic\r\nname=Pages\r\nparam=href\r\n";
  test::Analysis a("NSCA Common", "IncrementalAnalysis=-1\r\nShowTimeRange=-1\r\n", reports);
  const std::string log =
      Nsca("07/Dec/2005:13:05:01", "/a.htm") + Nsca("07/Dec/2005:13:06:01", "/b.htm");
  test::WriteFile(a.data + "access.log", log);
  ASSERT_EQ(a.Run().status, 0);
  const std::string cache = a.data + "Cache/T.cache";
  std::string data = test::ReadFile(cache);
  ASSERT_GT(data.size(), 33u);
  const double huge = 1e300;
  std::memcpy(&data[17 + 8], &huge, 8);  // after the magic and the first line time
  test::WriteFile(cache, data);

  const auto r = a.Run();
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("Cache load error. Analysis started from beginning"), std::string::npos)
      << r.out;
  const std::string page = a.Details();
  EXPECT_NE(page.find("Time range: 2005-12-07 13:05:01 - 2005-12-07 13:06:01"), std::string::npos)
      << page;
  EXPECT_NE(page.find("<TD>2005-12-07</TD>"), std::string::npos) << page;
  EXPECT_EQ(page.find("2030437201"), std::string::npos);
  // The next run writes a sound cache again and finds it.
  EXPECT_NE(a.Run().out.find("Loading cache..."), std::string::npos);
}

}  // namespace
}  // namespace trelvar
