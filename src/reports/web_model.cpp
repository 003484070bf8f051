#include "reports/web_model.h"

#include <algorithm>
#include <bit>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "logread/visit_tracker.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

constexpr const char* kIndexFile = TWebModel::kIdentity.page_file;
constexpr const char* kExitKey = "/exit.htm";
constexpr size_t kMaxPathLength = 250;
constexpr size_t kUrlMemoLimit = 200000;
// Marks where the document begins in the wrapped index text; it holds no
// break character and survives escaping.
constexpr const char* kBoldMark = "\x01\x01\x01";  // as wide as "<b>"

bool LegalFileChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '_';
}

// A key holding "file://" stands for its part after the last "/".
std::string FileRule(const std::string& key) {
  if (key.find("file://") == std::string::npos) return key;
  return "file_" + key.substr(key.rfind('/') + 1);
}

std::string TimeText(double time_sum, int32_t timed_count) {
  if (timed_count <= 0) return "-";
  return Fixed(Seconds(time_sum) / timed_count);
}

}  // namespace

// --- lists ----------------------------------------------------------------------

size_t THRefList::SlotOf(uint32_t id) const {
  // Fibonacci hashing: neighbouring numbers land far apart.
  return static_cast<size_t>((id * 0x9E3779B97F4A7C15ULL) >> shift_);
}

size_t THRefList::Position(uint32_t id) const {
  if (slots_.empty()) {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].id == id) return i;
    return items_.size();
  }
  const size_t mask = slots_.size() - 1;
  for (size_t i = SlotOf(id);; i = (i + 1) & mask) {
    if (slots_[i].position == 0) return items_.size();
    if (slots_[i].id == id) return slots_[i].position - 1;
  }
}

const TCustomHRef* THRefList::Find(std::string_view key, const TKeyPool& pool) const {
  const uint32_t id = pool.Find(key);
  if (id == TKeyPool::kMissing) return nullptr;
  const size_t at = Position(id);
  return at < items_.size() ? &items_[at] : nullptr;
}

void THRefList::Place(uint32_t position) {
  const size_t mask = slots_.size() - 1;
  const uint32_t id = items_[position].id;
  size_t i = SlotOf(id);
  while (slots_[i].position != 0) i = (i + 1) & mask;
  slots_[i] = {id, position + 1};
}

void THRefList::Reindex() {
  slots_.clear();
  shift_ = 64;
  if (items_.size() <= kScanned) return;
  size_t size = 16;
  while (size * 3 < items_.size() * 4) size *= 2;  // at most three quarters full
  slots_.assign(size, TSlot{});
  shift_ = 64 - std::countr_zero(size);
  for (uint32_t i = 0; i < items_.size(); ++i) Place(i);
}

void THRefList::Add(uint32_t id, int32_t count) {
  const size_t at = Position(id);
  if (at < items_.size()) {
    items_[at].count += count;
    return;
  }
  items_.push_back({id, count});
  if (items_.size() * 4 > slots_.size() * 3)
    Reindex();
  else
    Place(static_cast<uint32_t>(items_.size() - 1));
}

void THRefList::SortByCount() {
  std::stable_sort(items_.begin(), items_.end(),
                   [](const auto& a, const auto& b) { return a.count > b.count; });
  Reindex();
}

void THRefList::Truncate(size_t keep) {
  if (items_.size() <= keep) return;
  items_.resize(keep);
  Reindex();
}

void THRefList::Clear() {
  items_.clear();
  slots_.clear();
}

// --- the report -------------------------------------------------------------------

void TWebModel::CheckLogFields(const std::vector<int>& fields) {
  is_supported = IsParamSupported(fields, ReportParam::kHref);
  unsupported_text = is_supported ? "" : UnsupportedWarning(ReportParam::kHref, report_name);
}

std::string TWebModel::PageKey(const std::string& url, bool file_rule) {
  const TSplitURL u = SplitUrl(url);
  std::string key = LowerCase(u.WithoutQuery());
  return file_rule ? FileRule(key) : key;
}

std::string TWebModel::PageFileName(const std::string& url) const {
  std::string text = url;
  if (UrlLastPart(text).empty()) text += "index.htm";
  for (char& c : text)
    if (!LegalFileChar(c)) c = '_';
  const size_t fixed = ctx_.output_folder.size() + 3 + 4;  // "web", ".htm"
  if (fixed + text.size() > kMaxPathLength)
    text.resize(kMaxPathLength > fixed ? std::min(text.size(), kMaxPathLength - fixed) : 0);
  return "web" + text + ".htm";
}

std::string TWebModel::AssignPageFile(const std::string& key) {
  const std::string exit_file = ExitFileName();
  auto taken = [&](const std::string& name) {
    if (name == exit_file || name == kIndexFile) return true;
    auto it = taken_files_.find(name);
    return it != taken_files_.end() && it->second != key;
  };
  std::string name = PageFileName(key);
  if (taken(name)) {
    const std::string stem = name.substr(0, name.size() - 4);
    for (int n = 2;; ++n) {
      const std::string suffix = std::to_string(n) + ".htm";
      std::string head = stem;
      // The number must fit within the length rule too; "web" always stays.
      const size_t room = kMaxPathLength > ctx_.output_folder.size() + suffix.size()
                              ? kMaxPathLength - ctx_.output_folder.size() - suffix.size()
                              : 0;
      if (head.size() > room) head.resize(std::max<size_t>(room, 3));
      name = head + suffix;
      if (!taken(name)) break;
    }
  }
  taken_files_.emplace(name, key);
  return name;
}

const TWebPage* TWebModel::FindPage(std::string_view key) const {
  const uint32_t id = keys_.Find(key);
  return id < page_of_key_.size() ? page_of_key_[id] : nullptr;
}

TWebPage& TWebModel::PageOf(uint32_t key) {
  if (key >= page_of_key_.size()) page_of_key_.resize(keys_.Size(), nullptr);
  if (TWebPage* p = page_of_key_[key]) return *p;
  auto p = std::make_unique<TWebPage>();
  p->value = std::string(keys_.Text(key));
  p->page_file = AssignPageFile(p->value);
  page_of_key_[key] = p.get();
  pages_.push_back(std::move(p));
  return *pages_.back();
}

void TWebModel::AddPage(uint32_t key, uint32_t input, double time, uint32_t output) {
  TWebPage& page = PageOf(key);
  ++page.visits;
  page.inputs.Add(input, 1);
  NoteSize(page, page.inputs);
  page.outputs.Add(output, 1);
  NoteSize(page, page.outputs);
  if (time > 0) {
    page.time_sum += time;
    ++page.timed_count;
  }
}

const TWebModel::THitKeys& TWebModel::KeysOf(const std::string& url) {
  if (auto it = url_keys_.find(url); it != url_keys_.end()) return it->second;
  if (url_keys_.size() >= kUrlMemoLimit) url_keys_.clear();
  const std::string link = PageKey(url, false);
  THitKeys keys;
  keys.link = keys_.Intern(link);
  keys.page = keys.link;
  if (link.find("file://") != std::string::npos) keys.page = keys_.Intern(FileRule(link));
  return url_keys_.emplace(url, keys).first->second;
}

void TWebModel::ProcessLine() {
  TVisitCountingRep::ProcessLine();
  has_data_ = true;
}

void TWebModel::CountVisit(const TVisPathTable& visit) {
  has_data_ = true;
  TVisitCountingRep::CountVisit(visit);
}

void TWebModel::AddVisit(const TVisPathTable& visit) {
  has_data_ = true;
  const auto& hits = visit.hits;
  const size_t n = hits.size();
  if (n == 0) return;
  const uint32_t exit = keys_.Intern(kExitKey);
  const uint32_t referrer = keys_.Intern(PageKey(visit.referrer, false));
  if (n < 2 || n > 254) {
    AddPage(KeysOf(hits[0].url).page, referrer, 0, exit);
    return;
  }
  visit_keys_.clear();
  for (const auto& hit : hits) visit_keys_.push_back(KeysOf(hit.url));
  const auto& k = visit_keys_;
  AddPage(k[0].page, referrer, hits[0].time_spent, k[1].link);
  for (size_t i = 1; i + 1 < n; ++i) {
    AddPage(k[i].page, k[i - 1].link, hits[i].time_spent, k[i + 1].link);
    // Every later page of the visit: n² / 2 counts, by number only.
    TWebPage& page = *page_of_key_[k[i].page];
    for (size_t j = i + 1; j < n; ++j) page.later.Add(k[j].page, 1);
    NoteSize(page, page.later);
  }
  AddPage(k[n - 1].page, k[n - 2].link, 0, exit);
}

void TWebModel::Clear() {
  has_data_ = false;
  page_of_key_.clear();
  pages_.clear();
  keys_.Clear();
  url_keys_.clear();
  taken_files_.clear();
  compact_size_ = kNoCompactSize;
  due_.clear();
}

void TWebModel::NoteSize(TWebPage& page, const THRefList& list) {
  if (list.Size() < compact_size_ || page.due) return;
  page.due = true;
  due_.push_back(&page);
}

void TWebModel::Compact() {
  TCustomWReport::Compact();
  const size_t a = static_cast<size_t>(std::max<int64_t>(0, CompactThreshold(10)));
  auto cut = [&](TWebPage& page) {
    page.due = false;
    for (THRefList* list : {&page.inputs, &page.outputs, &page.later}) {
      if (list->Size() < a) continue;
      list->SortByCount();
      list->Truncate(a / 10);
    }
  };
  if (a != compact_size_) {
    for (auto& page : pages_) cut(*page);
    compact_size_ = a;
  } else {
    for (TWebPage* page : due_) cut(*page);
  }
  due_.clear();
}

std::string TWebModel::GuessNextPage(const std::string& page, int count, bool use_later_pages) {
  const std::string not_found = Translate(259, "not found");
  // A URL and its key find the same page.
  const TWebPage* p = FindPage(page);
  if (p == nullptr) p = FindPage(PageKey(page));
  if (p == nullptr) return not_found;
  const THRefList& list = use_later_pages ? p->later : p->outputs;
  const size_t m = std::min(static_cast<size_t>(std::max(count, 0)), list.Size());
  if (m == 0) return not_found;
  size_t r = 0;
  if (ctx_.random != nullptr) r = std::uniform_int_distribution<size_t>(0, m - 1)(*ctx_.random);
  const std::string_view key = keys_.Text(list[r].id);
  return key == kExitKey ? not_found : std::string(key);
}

std::string TWebModel::LinkFile(const std::string& key, bool exit_allowed) const {
  if (exit_allowed && key == kExitKey) return ExitFileName();
  if (const TWebPage* p = FindPage(key)) return p->page_file;
  if (const TWebPage* p = FindPage(PageKey(key))) return p->page_file;
  return PageFileName(key);
}

void TWebModel::WritePageFile(TWebPage& page) {
  page.inputs.SortByCount();
  page.outputs.SortByCount();
  page.later.SortByCount();
  const std::string limit = std::to_string(page.limit);
  const std::vector<std::string> head{Translate(248, "Page"), Translate(287, "Hits"),
                                      Translate(288, "Percent")};
  auto share = [&](int32_t count) {
    return page.visits > 0 ? Fixed(count * 100.0 / page.visits) : std::string("-");
  };
  const size_t shown = static_cast<size_t>(std::max(page.limit, 0));

  TPageSink out;
  out.Append(ctx_.page_head);
  out.Line("<h1>" + Translate(248, "Page") + " " + HtmlEscape(page.value) + "</h1>");
  out.Line("<P>" + Translate(392, "Visits:") + " " + std::to_string(page.visits) + ",&nbsp;" +
           Translate(393, "Avg visit time (secs):") + " " +
           TimeText(page.time_sum, page.timed_count) + "&nbsp<a href=\"" + kIndexFile + "\">" +
           Translate(394, "Back to Index") + "</a></P>");

  // The pages the visits came from and those they went to next; of the
  // first, only the site's own pages are links.
  auto href_table = [&](const std::string& title, const THRefList& hrefs, bool outputs) {
    out.Line("<h2>" + Translate(395, "Top") + " " + limit + " " + title + "</h2>");
    THtmlTable table(out);
    table.Head(head);
    const std::string cell = outputs ? "<TD>" : "<TD align=\"right\">";
    for (size_t i = 0; i < std::min(shown, hrefs.Size()); ++i) {
      const TCustomHRef& r = hrefs[i];
      const std::string key(keys_.Text(r.id));
      const std::string row = table.NextRow() + "<TD width=\"100%\">";
      if (outputs || (!key.empty() && key[0] == '/'))
        out.Line(row + "<a href=\"" + HtmlEscape(LinkFile(key, outputs)) + "\">" +
                 HtmlEscape(key) + "</a>");
      else
        out.Line(row + HtmlEscape(key));
      out.Line("</TD>" + cell + std::to_string(r.count) + "</TD>");
      out.Line(cell + share(r.count) + "%</TD></TR>");
    }
    table.Close();
  };
  href_table(Translate(396, "Input hrefs"), page.inputs, false);
  href_table(Translate(397, "Output hrefs"), page.outputs, true);
  out.Append(ctx_.page_foot);
  out.WriteTo(ctx_.output_folder + page.page_file);
}

void TWebModel::Display() {
  std::stable_sort(pages_.begin(), pages_.end(),
                   [](const auto& a, const auto& b) { return a->value < b->value; });
  AppendDetails(std::string("<h2><a href=\"") + kIndexFile + "\">" + report_name + "</a>" +
                "</h2>");

  TPageSink out;
  out.Append(ctx_.page_head);
  out.Line("<h1>" + report_name + "</h1>");
  if (!remarks.empty()) out.Line("<p>" + remarks + "</p>");
  out.Line("<p><a href=\"indexdetails.htm\">" + Translate(398, "Back to main page") + "</a></p>");
  THtmlTable table(out);
  table.Head({Translate(248, "Page"), Translate(287, "Hits"), Translate(247, "Time (secs)")}, true);
  for (const auto& p : pages_) {
    TWebPage& page = *p;
    const TSplitURL u = SplitUrl(page.value);
    const std::string shown =
        RemoveChar(std::string(u.site()).append(u.path()), kBoldMark[0]) + kBoldMark +
        RemoveChar(u.document(), kBoldMark[0]);
    const std::string wrapped = ReplaceAll(kBoldMark, "<b>", WrapHtml(shown, 70, "&-/=_"));
    out.Line(table.NextRow() + "<TD>");
    out.Line("<A HREF=\"" + HtmlEscape(page.page_file) + "\">" + wrapped + "</b>" +
             "</A></TD><TD align=\"right\">");
    out.Line(std::to_string(page.visits) + "</TD><TD align=\"right\">" +
             TimeText(page.time_sum, page.timed_count) + "</TD></TR>");
    WritePageFile(page);
  }
  // The index ends without a line end and without the common page end.
  out.Append("</TABLE></BODY></HTML>");
  out.WriteTo(ctx_.output_folder + kIndexFile);
  WriteOutputFile(ctx_.output_folder + ExitFileName(),
                  "<html><body><h1>" + Translate(399, "Exit of the site") +
                      "</h1></body></html>");
}

void TWebModel::SaveToCache(TReportsCache& cache) {
  WriteList(cache, pages_, [&](const auto& p) {
    cache.WriteString(p->reserved);
    cache.WriteString(p->value);
    cache.WriteString(p->page_file);
    cache.WriteInteger(p->visits);
    cache.WriteInteger(p->limit);
    cache.WriteInteger(p->timed_count);
    cache.WriteReal(p->time_sum);
    for (const THRefList* list : {&p->inputs, &p->outputs, &p->later}) {
      WriteList(cache, list->Items(), [&](const TCustomHRef& record) {
        cache.WriteString(keys_.Text(record.id));
        cache.WriteInteger(record.count);
      });
    }
  });
}

void TWebModel::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    const int32_t count = ReadList(cache, [&] {
      std::string reserved = cache.ReadString();
      std::string key = cache.ReadString();
      cache.ReadString();  // the stored file name: names are made afresh for this folder
      TWebPage& page = PageOf(keys_.Intern(key));
      page.reserved = std::move(reserved);
      page.visits = cache.ReadCount();
      page.limit = cache.ReadCount();
      page.timed_count = cache.ReadCount();
      page.time_sum = cache.ReadReal(0, TReportsCache::kLongestSpanSum);  // positive times
      for (THRefList* list : {&page.inputs, &page.outputs, &page.later}) {
        ReadList(cache, [&] {
          const uint32_t id = keys_.Intern(cache.ReadString());
          list->Add(id, cache.ReadCount());
        });
      }
    });
    has_data_ = count > 0;
  });
  compact_size_ = kNoCompactSize;  // the loaded lists were not noted
}

}  // namespace trelvar
