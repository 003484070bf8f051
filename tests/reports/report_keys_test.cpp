#include "reports/report_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "base/errors.h"
#include "reports/report_set.h"
#include "reports/report_types.h"
#include "reports/run_context.h"
#include "reports/user_models.h"
#include "reports/visit_reports.h"
#include "test_support.h"

namespace trelvar {
namespace {

// --- the kinds of keys ---------------------------------------------------------------

uint8_t SmallCode(std::string_view text) {
  if (text == "one") return 1;
  if (text == "two") return 2;
  return kNoCode;
}
std::string SmallCodeText(uint8_t code) { return code == 1 ? "one" : "two"; }

struct TIntegerCase {
  TKeyKind kind;
  const char* value;
  int32_t expected;  // from 42
  bool raises;
};

TEST(ReportKeysTest, IntegersByKind) {
  const TIntegerCase cases[] = {
      {TKeyKind::kInteger, " 7 ", 7, false},
      {TKeyKind::kInteger, "-3", -3, false},
      {TKeyKind::kInteger, "seven", 42, true},
      {TKeyKind::kInteger, "", 42, true},
      {TKeyKind::kIntegerOrKeep, " 7 ", 7, false},
      {TKeyKind::kIntegerOrKeep, "0", 0, false},
      {TKeyKind::kIntegerOrKeep, "7x", 42, false},
      {TKeyKind::kPositive, " 7 ", 7, false},
      {TKeyKind::kPositive, "0", 20, false},
      {TKeyKind::kPositive, "-1", 20, false},
      {TKeyKind::kPositive, "many", 42, false},
  };
  for (const TIntegerCase& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " kind " + std::to_string(static_cast<int>(c.kind)));
    const TKeyDef def{.key = "n", .kind = c.kind, .fallback = 20};
    int32_t member = 42;
    if (c.raises)
      EXPECT_THROW(ReadKey(def, c.value, member), EConvertError);
    else
      ReadKey(def, c.value, member);
    EXPECT_EQ(member, c.expected);
    EXPECT_EQ(KeyText(def, member), std::to_string(c.expected));
  }
}

struct TWordCase {
  TWordRule rule;
  const char* value;
  bool from_true;  // read into a member that was true
  bool from_false;
};

TEST(ReportKeysTest, WordsByRule) {
  const TWordCase cases[] = {
      {TWordRule::kUnlessFalseWord, "name", false, false},
      {TWordRule::kUnlessFalseWord, " NAME ", false, false},
      {TWordRule::kUnlessFalseWord, "value", true, true},
      {TWordRule::kUnlessFalseWord, "other", true, true},
      {TWordRule::kOnlyTrueWord, "value", true, true},
      {TWordRule::kOnlyTrueWord, " Value ", true, true},
      {TWordRule::kOnlyTrueWord, "name", false, false},
      {TWordRule::kOnlyTrueWord, "other", false, false},
      {TWordRule::kExactOrKeep, "value", true, true},
      {TWordRule::kExactOrKeep, "name", false, false},
      {TWordRule::kExactOrKeep, "Name", true, false},
      {TWordRule::kExactOrKeep, " name", true, false},
      {TWordRule::kExactOrKeep, "other", true, false},
  };
  for (const TWordCase& c : cases) {
    SCOPED_TRACE(std::string(c.value) + " rule " + std::to_string(static_cast<int>(c.rule)));
    const TKeyDef def{.key = "w",
                        .kind = TKeyKind::kWords,
                        .true_word = "value",
                        .false_word = "name",
                        .rule = c.rule};
    bool member = true;
    ReadKey(def, c.value, member);
    EXPECT_EQ(member, c.from_true);
    member = false;
    ReadKey(def, c.value, member);
    EXPECT_EQ(member, c.from_false);
    EXPECT_EQ(KeyText(def, true), "value");
    EXPECT_EQ(KeyText(def, false), "name");
  }
}

TEST(ReportKeysTest, CodesTextsAndWhichLinesSetAKey) {
  const TKeyDef code{.key = "c",
                      .kind = TKeyKind::kCode,
                      .code_text = SmallCodeText,
                      .text_code = SmallCode};
  uint8_t member = 1;
  ReadKey(code, "two", member);
  EXPECT_EQ(member, 2);
  ReadKey(code, "three", member);  // names no code: kept
  EXPECT_EQ(member, 2);
  EXPECT_EQ(KeyText(code, member), "two");

  const TKeyDef text{.key = "t", .kind = TKeyKind::kText};
  std::string value;
  ReadKey(text, " Bar ", value);
  EXPECT_EQ(value, " Bar ");

  // A key is found in any case and with blanks; its value is the rest of
  // the line after the first "=".
  const TKeyDef any{.key = "limit", .kind = TKeyKind::kInteger};
  EXPECT_EQ(KeyValue(any, " LIMIT =a=b"), "a=b");
  EXPECT_EQ(KeyValue(any, "limits=1"), std::nullopt);
  EXPECT_EQ(KeyValue(any, "limit"), std::nullopt);
  // One at the line's start only as written.
  const TKeyDef start{.key = "max_ref_count", .kind = TKeyKind::kInteger, .flags = kAtLineStart};
  EXPECT_EQ(KeyValue(start, "max_ref_count= 5"), " 5");
  EXPECT_EQ(KeyValue(start, " max_ref_count=5"), std::nullopt);
  EXPECT_EQ(KeyValue(start, "MAX_REF_COUNT=5"), std::nullopt);
  EXPECT_EQ(KeyValue(start, "max_ref_count =5"), std::nullopt);
  EXPECT_EQ(KeyValue(start, "max_ref"), std::nullopt);
  // State that only a copy takes is no key.
  EXPECT_EQ(KeyValue(TKeyDef{}, "=1"), std::nullopt);
}

// --- every report type -------------------------------------------------------------

struct ReportKeysRoundTrip : ::testing::Test {
  test::TTempDir dir;
  TRunContext app{TFolders(dir / "prog", dir / "data")};
  std::unique_ptr<TRepParser> set;
  test::TCaptureHost host{TRunMode::Console};

  void SetUp() override {
    test::WriteFile(dir / "data/main.ini", "CleanOutputFolder=-1\r\n");
    app.formats = std::make_unique<TLogFmts>();
    app.settings = std::make_unique<TMainSettings>(app.folders, *app.formats, nullptr);
    set = std::make_unique<TRepParser>(app);
  }
  std::unique_ptr<TCustomWReport> Make(const std::string& type) {
    const TReportType* t = FindReportType(type);
    if (t == nullptr) ADD_FAILURE() << "no report type " << type;
    return t == nullptr ? nullptr : t->create(set->Context());
  }
};

// The keys Clone leaves as the new report's constructor sets them.
const std::map<std::string, std::set<std::string>> kNotCopied = {
    {"basic", {"sortorder"}},
    {"terminal", {"sortorder"}},
    {"search_phrases", {"sortorder"}},
    {"search_words", {"sortorder"}},
    {"search_engines", {"sortorder"}},
    {"time_report", {"use_min_y", "use_max_y", "min_y", "max_y", "show_ma", "ma_period"}},
    {"time_taken", {"limit", "pages_only"}},
    {"cross", {"pages_only", "percentage"}},
};

std::vector<std::string> LineList(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// key -> value of the lines of a definition text ("rem" and "filter" may
// repeat: their last value).
std::map<std::string, std::string> Lines(const std::string& text) {
  std::map<std::string, std::string> lines;
  for (const std::string& line : LineList(text)) {
    const size_t eq = line.find('=');
    lines[line.substr(0, eq)] = eq == std::string::npos ? "" : line.substr(eq + 1);
  }
  return lines;
}

// The text with the line of `key` replaced by `key=value`.
std::string WithLine(std::string text, const std::string& key, const std::string& value) {
  const size_t at = text.find("\r\n" + key + "=");
  if (at == std::string::npos) {
    ADD_FAILURE() << "no line " << key << " in " << text;
    return text;
  }
  const size_t from = at + 2 + key.size() + 1;
  text.replace(from, text.find("\r\n", from) - from, value);
  return text;
}

// What a copy saves: category 0, and the keys it does not copy as a new
// report of the type has them.
std::string CopyText(const std::string& saved, const std::string& type,
                     const std::string& fresh) {
  std::string expected = WithLine(saved, "categoryno", "0");
  auto it = kNotCopied.find(type);
  if (it == kNotCopied.end()) return expected;
  const auto defaults = Lines(fresh);
  for (const std::string& key : it->second) expected = WithLine(expected, key, defaults.at(key));
  return expected;
}

// Every key of each type with a value other than a new report's, in the
// order the report writes them.
const std::map<std::string, std::string> kEveryKeySet = {
    {"basic",
     "limit=3\r\npercentage=true\r\nsortby=name\r\nsortorder=ascending\r\nshow_table=false\r\n"
     "show_chart=true\r\nchart_type=bar\r\nparam=referrer\r\npagesonly=false\r\n"},
    {"terminal",
     "limit=3\r\npercentage=true\r\nsortby=name\r\nsortorder=ascending\r\nshow_table=false\r\n"
     "show_chart=true\r\nchart_type=bar\r\nis_entry_page=true\r\nis_exit_page=true\r\n"},
    {"search_phrases",
     "limit=3\r\npercentage=true\r\nsortby=name\r\nsortorder=ascending\r\nshow_table=false\r\n"
     "show_chart=true\r\nchart_type=bar\r\n"},
    {"search_words",
     "limit=0\r\npercentage=true\r\nsortby=name\r\nsortorder=ascending\r\nshow_table=false\r\n"
     "show_chart=true\r\nchart_type=line\r\n"},
    {"search_engines",
     "limit=12\r\npercentage=true\r\nsortby=name\r\nsortorder=ascending\r\nshow_table=false\r\n"
     "show_chart=true\r\nchart_type= Bar \r\n"},
    {"time_report",
     "param=kbytes\r\nduration=quarter\r\nshow_table=false\r\nshow_chart=false\r\n"
     "chart_type=bar\r\nuse_min_y=true\r\nuse_max_y=true\r\nmin_y=-5\r\nmax_y=50\r\n"
     "show_ma=false\r\nma_period=3\r\n"},
    {"time_taken", "sort_by=href\r\nsort_type=ascending\r\nlimit=5\r\npages_only=false\r\n"},
    {"cross",
     "parent_param=browser\r\nchild_param=search_words\r\nparent_sortby=name\r\n"
     "child_sortby=name\r\nparent_limit=4\r\nchild_limit=6\r\npages_only=false\r\n"
     "percentage=false\r\n"},
    {"timeonsite", ""},
    {"visitor_path", "limit=7\r\nsortby=ip\r\n"},
    {"common_path", "limit=4\r\n"},
    {"ref_analysis", "max_ref_count=5\r\nmax_href_count=3\r\n"},
    {"indirect_ref_analysis", ""},
    {"web_model", ""},
    {"user_model", "model_count=3\r\n"},
    {"user_profile", "model_count=4\r\n"},
    {"exp_rep", ""},
};

TEST_F(ReportKeysRoundTrip, EveryTypeWithEveryKeySet) {
  ASSERT_EQ(kEveryKeySet.size(), ReportTypes().size());
  for (const TReportType& type : ReportTypes()) {
    SCOPED_TRACE(type.key);
    ASSERT_EQ(kEveryKeySet.count(type.key), 1u);
    auto fresh = Make(type.key);
    const std::string defaults = fresh->SaveParams(false);
    const bool filtered = dynamic_cast<TCustomFiltredRep*>(fresh.get()) != nullptr;
    const std::string text = "name=Every key\r\ncategoryno=3\r\nfooter=false\r\nrem=first\r\n"
                             "rem=second\r\n" +
                             std::string(filtered ? "filter=referrer;not_includes;a;b\r\n" : "") +
                             kEveryKeySet.at(type.key);

    // Load, save, load again, save again.
    auto first = Make(type.key);
    first->LoadParams(text);
    const std::string saved = first->SaveParams(false);
    EXPECT_EQ(saved, "type=" + std::string(type.key) + "\r\n" + text);
    auto second = Make(type.key);
    second->LoadParams(saved);
    EXPECT_EQ(second->SaveParams(false), saved);
    EXPECT_EQ(second->SaveParams(true), first->SaveParams(true));

    // The text sets every key a new report writes, each to another value.
    const auto set_lines = Lines(saved);
    for (const auto& [key, value] : Lines(defaults)) {
      if (key == "type") continue;
      ASSERT_EQ(set_lines.count(key), 1u) << key;
      EXPECT_NE(set_lines.at(key), value) << key;
    }
    for (const auto& [key, value] : set_lines) {
      if (key == "rem" || key == "filter") continue;
      EXPECT_EQ(Lines(defaults).count(key), 1u) << key;
    }

    // The short form leaves out the footer, the remarks and what only
    // presents the report, and keeps the order of the rest.
    const std::string short_form = first->SaveParams(true);
    EXPECT_EQ(short_form.find("footer="), std::string::npos);
    EXPECT_EQ(short_form.find("rem="), std::string::npos);
    const std::vector<std::string> long_lines = LineList(saved);
    auto at = long_lines.begin();
    for (const std::string& line : LineList(short_form)) {
      at = std::find(at, long_lines.end(), line);
      ASSERT_NE(at, long_lines.end()) << line << " in\n" << short_form;
    }

    auto copy = first->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->report_type, type.key);
    EXPECT_EQ(copy->SaveParams(false), CopyText(saved, type.key, defaults));
  }
}

TEST_F(ReportKeysRoundTrip, ShippedReportSetSavesWhatItReads) {
  set->LoadFromText(test::ReadFile(std::string(TRELVAR_SOURCE_DIR) + "/Default/reports.ini"));
  ASSERT_GT(set->reports.size(), 30u);
  std::set<std::string> types;
  for (const auto& r : set->reports) {
    SCOPED_TRACE(r->report_name);
    types.insert(r->report_type);
    const std::string saved = r->SaveParams(false);
    auto again = Make(r->report_type);
    again->LoadParams(saved);
    EXPECT_EQ(again->SaveParams(false), saved);
    EXPECT_EQ(again->SaveParams(true), r->SaveParams(true));
    auto copy = r->Clone();
    EXPECT_EQ(copy->SaveParams(false),
              CopyText(saved, r->report_type, Make(r->report_type)->SaveParams(false)));
  }
  EXPECT_GE(types.size(), 15u);
}

// State that has no key and that a copy takes all the same.
TEST_F(ReportKeysRoundTrip, CopiesTakeStateWithoutKeys) {
  TReportContext& ctx = set->Context();
  TUserModel model(ctx);
  model.LoadParams("model_count=3");
  EXPECT_EQ(model.buffer_size, 15);
  model.buffer_size = 7;
  auto model_copy = model.Clone();
  EXPECT_EQ(dynamic_cast<TUserModel&>(*model_copy).buffer_size, 7);
  EXPECT_EQ(dynamic_cast<TUserModel&>(*model_copy).model_count, 3);

  TCommonPathRep paths(ctx);
  paths.total_visits = 9;
  EXPECT_EQ(dynamic_cast<TCommonPathRep&>(*paths.Clone()).total_visits, 9);

  TVisPathRep visits(ctx);
  visits.timeout = 0.5;
  EXPECT_EQ(dynamic_cast<TVisPathRep&>(*visits.Clone()).timeout, 0.5);

  // Not the collected data, nor the category.
  paths.category_no = 2;
  EXPECT_EQ(paths.Clone()->category_no, 0);
}

}  // namespace
}  // namespace trelvar
