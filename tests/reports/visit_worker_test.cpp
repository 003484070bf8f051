// The visit worker counts the visit reports aside exactly as the driver
// would inline: same visits, same order, same compactions, same random
// draws, hence the same pages; and a report's error comes back with its
// index.
#include "reports/visit_worker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>
#include <stdexcept>

#include "config/folders.h"
#include "config/main_settings.h"
#include "reports/referrer_reports.h"
#include "reports/user_models.h"
#include "reports/visit_reports.h"
#include "reports/web_model.h"
#include "sites/log_formats.h"
#include "test_support.h"

namespace trelvar {
namespace {

// One side of the comparison: a context of its own and every visit report.
struct TSide {
  TReportContext ctx;
  std::mt19937_64 random{42};
  std::vector<std::unique_ptr<TCustomWReport>> reports;

  TSide(const std::string& folder, const TMainSettings& settings) {
    std::filesystem::create_directories(folder);
    ctx.output_folder = folder;
    ctx.settings = &settings;
    ctx.random = &random;
    reports.push_back(std::make_unique<TWebModel>(ctx));
    auto model = std::make_unique<TUserModel>(ctx);
    model->LoadParam("model_count=2");  // a small buffer: merges all along
    reports.push_back(std::move(model));
    reports.push_back(std::make_unique<TUserProfile>(ctx));
    reports.push_back(std::make_unique<TRefAn>(ctx));
    reports.push_back(std::make_unique<TIndirectRefAn>(ctx));
    reports.push_back(std::make_unique<TCommonPathRep>(ctx));
  }
  std::map<std::string, std::string> Pages() {
    for (auto& r : reports) r->Display();
    std::map<std::string, std::string> pages{{"details", ctx.details.Text()}};
    for (const auto& e : std::filesystem::directory_iterator(ctx.output_folder))
      pages[e.path().filename().string()] = test::ReadFile(e.path().string());
    return pages;
  }
};

// Lines of zero to three finished visits of a small site.
std::vector<TVisLine::TVisits> RandomLines(int count) {
  std::mt19937_64 random(9);
  auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
  std::vector<TVisLine::TVisits> lines(static_cast<size_t>(count));
  for (auto& line : lines) {
    for (int v = pick(4); v > 0; --v) {
      auto visit = std::make_shared<TVisPathTable>();
      visit->referrer = pick(3) == 0 ? "" : "http://ref" + std::to_string(pick(5)) + ".example/";
      for (int h = 1 + pick(12); h > 0; --h)
        visit->hits.push_back({"/p" + std::to_string(pick(30)) + ".htm", nullptr,
                               pick(4) / 86400.0, 0});
      line.push_back(std::move(visit));
    }
  }
  return lines;
}

struct VisitWorkerTest : ::testing::Test {
  test::TTempDir dir;
  TLogFmts formats;
  std::unique_ptr<TFolders> folders;
  std::unique_ptr<TMainSettings> settings;

  void SetUp() override {
    test::WriteFile(dir / "prog/Default/main.ini", "\r\n");
    test::WriteFile(dir / "data/main.ini", "\r\n");
    folders = std::make_unique<TFolders>(dir / "prog", dir / "data");
    settings = std::make_unique<TMainSettings>(*folders, formats, nullptr);
    settings->approximate_tolerance = -99;  // compaction cuts short lists too
  }
};

TEST_F(VisitWorkerTest, CountsExactlyAsTheDriverWouldInline) {
  const auto lines = RandomLines(4000);
  constexpr size_t kCompactEvery = 300;
  TSide inline_side(dir / "inline/", *settings);
  TSide aside(dir / "aside/", *settings);
  {
    std::vector<TVisitWorker::TReport> list;
    for (size_t i = 0; i < aside.reports.size(); ++i) list.push_back({aside.reports[i].get(), i});
    TVisitWorker worker(std::move(list));
    for (size_t n = 0; n < lines.size(); ++n) {
      for (auto& r : inline_side.reports)
        for (const auto& visit : lines[n]) r->CountVisit(*visit);
      worker.Add(lines[n]);
      if ((n + 1) % kCompactEvery == 0) {
        for (auto& r : inline_side.reports) r->Compact();
        worker.Compact();
      }
    }
    EXPECT_TRUE(worker.Finish().empty());
  }
  const auto expected = inline_side.Pages();
  const auto got = aside.Pages();
  ASSERT_EQ(got.size(), expected.size());
  ASSERT_GT(expected.size(), 30u);  // the web model's page files among them
  for (const auto& [name, text] : expected) {
    ASSERT_TRUE(got.count(name)) << name;
    EXPECT_EQ(got.at(name), text) << name;
  }
}

// Throws on the visits of a given length; counts the others.
class TPickyReport : public TCustomWReport {
 public:
  explicit TPickyReport(TReportContext& ctx) : TCustomWReport(ctx) {}
  std::unique_ptr<TCustomWReport> Clone() const override { return nullptr; }
  void ProcessLine() override {}
  void Display() override {}
  void Clear() override {}
  std::string TypeCaption() const override { return "picky"; }
  bool CountsVisitsOnly() const override { return true; }
  void CountVisit(const TVisPathTable& visit) override {
    if (visit.hits.size() == 2) throw std::runtime_error("two hits");
    ++counted;
  }
  void Compact() override { ++compactions; }
  int counted = 0, compactions = 0;
};

TEST_F(VisitWorkerTest, ErrorsComeBackWithTheReportIndexAndUnsupportedReportsWait) {
  TReportContext ctx;
  TPickyReport picky(ctx), idle(ctx);
  idle.is_supported = false;
  auto visit = [](size_t hits) {
    auto v = std::make_shared<TVisPathTable>();
    for (size_t i = 0; i < hits; ++i) v->hits.Add("/a.htm", EmptySplit());
    return std::shared_ptr<const TVisPathTable>(std::move(v));
  };
  TVisitWorker worker({{&picky, 7}, {&idle, 8}});
  // The error ends that report's line, as an exception ends ProcessLine.
  worker.Add({visit(1), visit(2), visit(1)});
  worker.Add({});
  worker.Add({visit(3)});
  worker.Compact();
  const auto errors = worker.Finish();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "PROCREP (#7) two hits");
  EXPECT_EQ(picky.counted, 2);
  EXPECT_EQ(picky.compactions, 1);
  EXPECT_EQ(idle.counted, 0);
  EXPECT_EQ(idle.compactions, 1);  // compaction does not ask for support
  // Finish leaves the worker ready, and its errors are not repeated.
  worker.Add({visit(2)});
  EXPECT_EQ(worker.Finish().size(), 1u);
  EXPECT_TRUE(worker.Finish().empty());
}

}  // namespace
}  // namespace trelvar
