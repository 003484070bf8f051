// TCrossRep: the cross parameter table, counting pairs of values, its own
// page and its cache block.
#include "reports/cross_report.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/main_settings.h"
#include "config/search_engines.h"
#include "config/translator.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

struct TCrossParamInfo {
  const char* key;
  const char* caption;
  ReportParam line_param;  // the same value of a line (none for the search codes)
};

// By code; the captions are the report's own and not translated. The host
// is the client address, as the IP is.
const TCrossParamInfo kCrossParams[kCrossParamCount] = {
    {"none", "none", ReportParam::kNone},
    {"host", "Host", ReportParam::kIp},
    {"ip", "IP", ReportParam::kIp},
    {"href", "href", ReportParam::kHref},
    {"site", "Site", ReportParam::kSite},
    {"path", "Path", ReportParam::kPath},
    {"referrer", "Referrer", ReportParam::kReferrer},
    {"ref_site", "Referrer site", ReportParam::kRefSite},
    {"ref_path", "Referrer path", ReportParam::kRefPath},
    {"ref_domain", "Referrer domain", ReportParam::kRefDomain},
    {"year", "Year", ReportParam::kYear},
    {"month", "Month", ReportParam::kMonth},
    {"day", "Day", ReportParam::kDay},
    {"hour", "Hour", ReportParam::kHour},
    {"min", "Min", ReportParam::kMin},
    {"sec", "Sec", ReportParam::kSec},
    {"month_", "Month_", ReportParam::kMonthName},
    {"day_of_week", "Day of week", ReportParam::kDayOfWeek},
    {"agent", "Agent", ReportParam::kAgent},
    {"browser", "Browser", ReportParam::kBrowser},
    {"browser_version", "Browser Version", ReportParam::kBrowserVersion},
    {"platform", "Platform", ReportParam::kPlatform},
    {"platform_version", "Platform Version", ReportParam::kPlatformVersion},
    {"method", "HTTP Method", ReportParam::kMethod},
    {"uri_query", "Referrer ID (uri query)", ReportParam::kUriQuery},
    {"file_ext", "File extension", ReportParam::kFileExt},
    {"bytes", "Bytes", ReportParam::kBytes},
    {"cooki", "Cookie", ReportParam::kCookie},
    {"status", "HTTP Status", ReportParam::kStatus},
    {"username", "Username", ReportParam::kUserName},
    {"search_engines", "Search engine", ReportParam::kNone},
    {"search_phrases", "Search phrase", ReportParam::kNone},
    {"search_words", "Search word", ReportParam::kNone},
    {"userdomain", "User domain", ReportParam::kUserDomain},
    {"usersite", "User site", ReportParam::kUserSite},
};

bool IsSearchParam(uint8_t code) {
  return code == kCrossSearchEngines || code == kCrossSearchPhrases || code == kCrossSearchWords;
}

int32_t Incremented(int32_t value) {
  return value < std::numeric_limits<int32_t>::max() ? value + 1 : value;
}

int32_t SaturatedSum(int64_t value) {
  return value > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                     : static_cast<int32_t>(value);
}

// The words of a phrase, without double quotes; empty words are left out.
std::vector<std::string> Words(std::string phrase) {
  std::vector<std::string> words;
  while (!phrase.empty()) {
    std::string word = RemoveChar(search::NextWord(phrase), '"');
    if (!word.empty()) words.push_back(std::move(word));
  }
  return words;
}

// Entries shown of `size` under `limit` (0 or less: all of them).
size_t Shown(size_t size, int32_t limit) {
  return limit <= 0 ? size : std::min(size, static_cast<size_t>(limit));
}

// A share with two decimals; a share of nothing is no number.
std::string Percent(int64_t part, int64_t base) {
  if (base == 0) return Fixed(std::nan(""));
  return Fixed(static_cast<double>(part) * 100.0 / static_cast<double>(base));
}

}  // namespace

std::string CrossKey(uint8_t code) {
  return code < kCrossParamCount ? kCrossParams[code].key : "none";
}

std::string CrossCaption(uint8_t code) {
  return code < kCrossParamCount ? kCrossParams[code].caption : "none";
}

uint8_t CrossFromKey(std::string_view key) {
  const std::string word = LowerCase(Trim(key));
  for (uint8_t i = 1; i < kCrossParamCount; ++i)
    if (word == kCrossParams[i].key) return i;
  return kCrossNone;
}

// --- parents and children -----------------------------------------------------

void TCrossRepParent::Count(const std::string& child) {
  if (child.empty()) return;
  if (auto it = by_text.find(child); it != by_text.end()) {
    it->second->count = Incremented(it->second->count);
  } else {
    auto added = std::make_unique<TCrossRepChild>();
    added->text = child;
    added->count = 1;
    by_text.emplace(added->text, added.get());
    children.push_back(std::move(added));
  }
  total = Incremented(total);
}

void TCrossRepParent::Reindex() {
  by_text.clear();
  for (const auto& c : children) by_text.emplace(c->text, c.get());
}

// --- definition ----------------------------------------------------------------

// A new cross report has no name: the user names what it crosses.
TCrossRep::TCrossRep(TReportContext& ctx) : TReportOf(ctx) { report_name.clear(); }

const TReportKeys<TCrossRep>& TCrossRep::DefinitionKeys() {
  using R = TCrossRep;
  using K = TKeys<R>;
  const TWordRule exact = TWordRule::kExactOrKeep;
  static const TReportKeys<R> keys = {
      K::Code("parent_param", &R::parent_param, CrossKey, CrossFromKey),
      K::Code("child_param", &R::child_param, CrossKey, CrossFromKey),
      K::Words("parent_sortby", &R::parent_by_value, "value", "name", exact),
      K::Words("child_sortby", &R::child_by_value, "value", "name", exact),
      K::Positive("parent_limit", &R::parent_limit, kDefaultLimit),
      K::Positive("child_limit", &R::child_limit, kDefaultLimit),
      K::Flag("pages_only", &R::pages_only, kNotCloned),
      K::Flag("percentage", &R::show_percent, kNotCloned),
  };
  return keys;
}

bool TCrossRep::UsesReverseDns() const {
  auto dns = [](uint8_t code) {
    return code == kCrossUserName || code == kCrossUserDomain || code == kCrossUserSite;
  };
  return dns(parent_param) || dns(child_param);
}

// --- counting ------------------------------------------------------------------

std::string TCrossRep::CrossValue(uint8_t code) {
  switch (code) {
    case kCrossSearchEngines: return ctx_.values.SearchEngine();
    case kCrossSearchPhrases:
    case kCrossSearchWords: return ctx_.values.SearchPhrase();
    default: return code < kCrossParamCount ? LineValue(kCrossParams[code].line_param) : "";
  }
}

void TCrossRep::AddPair(const std::string& parent, const std::string& child) {
  TCrossRepParent* p = nullptr;
  if (auto it = by_text_.find(parent); it != by_text_.end()) {
    p = it->second;
  } else {
    auto added = std::make_unique<TCrossRepParent>();
    added->text = parent;
    p = added.get();
    by_text_.emplace(p->text, p);
    parents_.push_back(std::move(added));
  }
  if (child_param == kCrossSearchWords) {
    for (const std::string& word : Words(child)) p->Count(word);
  } else {
    p->Count(child);
  }
}

void TCrossRep::ProcessLine() {
  if (pages_only && !ctx_.current->line.is_hit) return;
  if (!PassesFilters()) return;
  if ((IsSearchParam(parent_param) || IsSearchParam(child_param)) &&
      ctx_.current->line.referrer->query().empty())
    return;
  const std::string p = CrossValue(parent_param);
  const std::string c = CrossValue(child_param);
  if (p.empty() || c.empty()) return;
  if (parent_param == kCrossSearchWords) {
    for (const std::string& word : Words(p)) AddPair(word, c);
  } else {
    AddPair(p, c);
  }
}

// --- sorting and compaction -------------------------------------------------------

void TCrossRep::SortChildren(TCrossRepParent& parent) const {
  SortByCountOrText(parent.children, child_by_value, false, &TCrossRepChild::count,
                    &TCrossRepChild::text);
}

void TCrossRep::SortParents() {
  SortByCountOrText(parents_, parent_by_value, false, &TCrossRepParent::total,
                    &TCrossRepParent::text);
}

void TCrossRep::SortAll() {
  for (auto& p : parents_) SortChildren(*p);
  SortParents();
}

void TCrossRep::ReindexParents() {
  by_text_.clear();
  for (const auto& p : parents_) by_text_.emplace(p->text, p.get());
}

void TCrossRep::Compact() {
  const int64_t child_threshold = CompactThreshold(child_limit);
  for (auto& p : parents_)
    if (CompactList(p->children, child_threshold, [&] { SortChildren(*p); })) p->Reindex();
  if (CompactList(parents_, CompactThreshold(parent_limit), [&] { SortParents(); }))
    ReindexParents();
}

void TCrossRep::Clear() {
  by_text_.clear();
  parents_.clear();
}

// --- output --------------------------------------------------------------------

void TCrossRep::Display() {
  for (auto& p : parents_) {
    SortChildren(*p);
    int64_t sum = 0;
    const size_t shown = Shown(p->children.size(), child_limit);
    for (size_t i = 0; i < shown; ++i) sum += p->children[i]->count;
    p->shown_total = SaturatedSum(sum);
  }
  SortParents();

  // The page name comes from the report's name: SafeFileName keeps it
  // inside the output folder.
  page_file = SafeFileName(AnchorName() + ".htm");
  AppendDetails("<h2><a href=\"" + HtmlEscape(page_file) + "\">" + report_name + "</a></h2>");
  if (!remarks.empty()) AppendDetails("<P>" + remarks + "</P>");

  TPageSink page;
  page.Append(ctx_.page_head);
  page.Line("<BR><a name=\"" + AnchorName() + "\"></a><h2>" + report_name + "</h2>");
  page.Line("<p><a href=\"indexdetails.htm\">Back to main page</a></p>");
  if (parents_.empty()) {
    page.Line("<P>No data</P>");
    page.Line("</body></html>");
    page.WriteTo(ctx_.output_folder + page_file);
    return;
  }

  const size_t parents_shown = Shown(parents_.size(), parent_limit);
  int64_t base = 0, all_totals = 0;
  for (size_t i = 0; i < parents_shown; ++i) base += parents_[i]->shown_total;
  for (const auto& p : parents_) all_totals += p->total;
  const std::string parent_caption = CrossCaption(parent_param);

  THtmlTable table(page, "<P>");
  std::vector<std::string> head{HeadCell(parent_caption + " \\ " + CrossCaption(child_param)),
                                HeadCell("Value")};
  if (show_percent) head.push_back(HeadCell("Percent"));
  table.HeadByLines(head);
  for (size_t i = 0; i < parents_shown; ++i) {
    const TCrossRepParent& p = *parents_[i];
    page.Line(table.NextRow() + "<TD WIDTH=\"100%\"><b>" + HtmlEscape(p.text) +
         "</b></td><td align=right><b>" + std::to_string(p.total) + "</b></td>");
    if (show_percent) page.Line("<TD align=right><b>" + Percent(p.shown_total, base) + "%</b></TD>");
    page.Line("</TR>");
    const size_t children_shown = Shown(p.children.size(), child_limit);
    for (size_t j = 0; j < children_shown; ++j) {
      const TCrossRepChild& c = *p.children[j];
      page.Line(table.NextRow() + "<TD WIDTH=\"100%\">&nbsp;&nbsp;&nbsp;&nbsp;" +
           HtmlEscape(c.text) + "</td><td align=right>" + std::to_string(c.count) + "</td>");
      if (show_percent) page.Line("<TD align=right>" + Percent(c.count, base) + "%</TD>");
      page.Line("</TR>");
    }
  }
  if (show_footer) {
    const std::string& pc = parent_caption;
    table.Totals(show_percent ? 2 : 1,
                 {{"Subtotal number of " + pc + "s above", static_cast<int64_t>(parents_shown)},
                  {"Total number of " + pc + "s in log file", static_cast<int64_t>(parents_.size())},
                  {"Subtotal value of " + pc + "s above", base},
                  {"Total value of " + pc + "s in log file", all_totals}});
  }
  table.Close("</P>");
  page.Line("</BODY></HTML>");
  page.WriteTo(ctx_.output_folder + page_file);
}

// --- cache ---------------------------------------------------------------------

void TCrossRep::SaveToCache(TReportsCache& cache) {
  WriteList(cache, parents_, [&](const auto& p) {
    cache.WriteString(p->text);
    cache.WriteInteger(p->total);
    cache.WriteInteger(p->shown_total);
    WriteList(cache, p->children, [&](const auto& c) {
      cache.WriteString(c->text);
      cache.WriteInteger(c->count);
    });
  });
}

void TCrossRep::LoadFromCache(TReportsCache& cache) {
  // Only the collected parents go; filters and remarks stay the report's.
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      auto p = std::make_unique<TCrossRepParent>();
      p->text = cache.ReadString();
      p->total = cache.ReadCount();
      p->shown_total = cache.ReadCount();
      ReadList(cache, [&] {
        auto c = std::make_unique<TCrossRepChild>();
        c->text = cache.ReadString();
        c->count = cache.ReadCount();
        p->children.push_back(std::move(c));
      });
      p->Reindex();
      parents_.push_back(std::move(p));
    });
  });
  ReindexParents();
}

}  // namespace trelvar
