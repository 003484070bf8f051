// Time on site, visitor paths and common paths.
#include "reports/visit_reports.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <string_view>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "base/web_helpers.h"
#include "config/main_settings.h"
#include "config/translator.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

// Times compare in whole milliseconds, so a gap of exactly 30 minutes is
// exactly the timeout whatever the rounding of the day fractions.
int64_t ToMs(TDateTime t) { return std::llround(t * 86400000.0); }

void Increment(int32_t& n) {
  if (n < std::numeric_limits<int32_t>::max()) ++n;
}

// Whether the extension is one of the "."-separated extensions of the
// list, whole and without regard to case (".js" is not listed by ".jsp").
bool ListedExtension(std::string_view list_lower, std::string_view extension) {
  if (extension.empty()) return false;
  const std::string ext = LowerCase(extension);
  for (size_t at = list_lower.find(ext); at != std::string_view::npos;
       at = list_lower.find(ext, at + 1)) {
    const size_t end = at + ext.size();
    if (end == list_lower.size() || list_lower[end] == '.') return true;
  }
  return false;
}

const std::string kDownloadExtensions = ".zip.exe";

}  // namespace

// --- time on site ----------------------------------------------------------------

void TTimeonsiteRep::ProcessLine() {
  if (ctx_.visits == nullptr) return;
  ctx_.visits->EnsureUpdated();
  for (const auto& visit : ctx_.visits->FinishedVisits()) {
    if (visit->hits.size() < 2 || !PassesVisitFilters(*visit)) continue;
    const TDateTime d = std::fabs(visit->last_request - visit->first_request);
    if (d > max_time) max_time = d;
    if (visit_count == 0 || d < min_time) min_time = d;
    sum_time += d;
    Increment(visit_count);
  }
}

void TTimeonsiteRep::Display() {
  AppendSectionHead();
  THtmlTable table(ctx_.details, "<P>");
  table.Head({Translate(29, "Parameter"), Translate(295, "Value")});
  AppendDetails("<TR class=\"EvenRaw\"><TD>" + Translate(300, "Total counted visits") +
                "</TD><TD>" + std::to_string(visit_count) + "</TD></TR>");
  if (visit_count > 0) {
    AppendDetails("<TR class=\"OddRaw\"><TD>" + Translate(301, "Average time (secs)") +
                  "</TD><TD>" + Fixed(Seconds(sum_time / visit_count)) + "</TD></TR>");
    AppendDetails("<TR class=\"EvenRaw\"><TD>" + Translate(302, "Min time (secs)") +
                  "</TD><TD>" + Fixed(Seconds(min_time)) + "</TD></TR>");
    AppendDetails("<TR  class=\"OddRaw\"><TD>" + Translate(303, "Max time (secs)") +
                  "</TD><TD>" + Fixed(Seconds(max_time)) + "</TD></TR>");
  }
  table.Close("</P>");
}

void TTimeonsiteRep::Clear() {
  min_time = max_time = sum_time = 0;
  visit_count = 0;
}

void TTimeonsiteRep::CheckLogFields(const std::vector<int>& fields) {
  TCustomWReport::CheckLogFields(fields);
  if (!IsParamSupported(fields, ReportParam::kHref)) {
    is_supported = false;
    unsupported_text = UnsupportedWarning(ReportParam::kHref, report_name);
  }
}

void TTimeonsiteRep::SaveToCache(TReportsCache& cache) {
  cache.WriteReal(min_time);
  cache.WriteReal(max_time);
  cache.WriteReal(sum_time);
  cache.WriteInteger(visit_count);
}

void TTimeonsiteRep::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    // Visit lengths are spans, never negative.
    const double longest = TReportsCache::kLongestSpan;
    const TDateTime min = cache.ReadReal(0, longest), max = cache.ReadReal(0, longest);
    const TDateTime sum = cache.ReadReal(0, TReportsCache::kLongestSpanSum);
    const int32_t count = cache.ReadCount();
    min_time = min;
    max_time = max;
    sum_time = sum;
    visit_count = count;
  });
}

// --- visitor paths ----------------------------------------------------------------

const TReportKeys<TVisPathRep>& TVisPathRep::DefinitionKeys() {
  using R = TVisPathRep;
  using K = TKeys<R>;
  static const TReportKeys<R> keys = {
      K::Integer("limit", &R::limit),
      K::Words("sortby", &R::sort_by_ip, "ip", "time", TWordRule::kOnlyTrueWord),
      K::Copied([](const R& from, R& to) { to.timeout = from.timeout; }),
  };
  return keys;
}

void TVisPathRep::CheckLogFields(const std::vector<int>& fields) {
  TCustomWReport::CheckLogFields(fields);
  for (ReportParam param : {ReportParam::kHref, ReportParam::kIp, ReportParam::kAgent}) {
    if (IsParamSupported(fields, param)) continue;
    is_supported = false;
    unsupported_text = UnsupportedWarning(param, report_name);
  }
}

bool TVisPathRep::IsDownload(std::string_view extension) const {
  return ListedExtension(kDownloadExtensions, extension);
}

bool TVisPathRep::IsPathPage(const TSplitURL& request) const {
  if (request.extension().empty() || request.document().empty()) return true;
  if (ctx_.settings == nullptr) return false;
  return ListedExtension(extensions_lower_, request.extension());
}

uint8_t TVisPathRep::LineUrlKind() {
  if (ctx_.settings != nullptr && ctx_.settings->vis_path_extensions != extensions_source_) {
    extensions_source_ = ctx_.settings->vis_path_extensions;
    extensions_lower_ = LowerCase(extensions_source_);
    url_kinds_.Clear();
  }
  uint8_t& kind = url_kinds_.At(ctx_.values.Number(ReportParam::kHref),
                                ctx_.values.Epoch(ReportParam::kHref));
  if (kind == 0) {
    const TSplitURL& request = *ctx_.current->line.request;
    kind = kKnownUrl | (IsPathPage(request) ? kPathPage : 0) |
           (IsDownload(request.extension()) ? kDownload : 0);
  }
  return kind;
}

TVisPathRep::TOwnVisit* TVisPathRep::FindVisit(const std::string& address, int64_t t_ms) {
  auto it = by_address_.find(address);
  if (it == by_address_.end()) return nullptr;
  // The visits whose last request lies less than the timeout before t
  // (later ones too, for lines that come out of order); the first created
  // of them wins.
  const int64_t timeout_ms = ToMs(timeout);
  auto from = it->second.upper_bound({t_ms - timeout_ms, std::numeric_limits<uint64_t>::max()});
  uint64_t best = std::numeric_limits<uint64_t>::max();
  for (; from != it->second.end(); ++from) best = std::min(best, from->second);
  if (best == std::numeric_limits<uint64_t>::max()) return nullptr;
  return visits_.at(best).get();
}

TVisPathRep::TOwnVisit& TVisPathRep::AddVisit(TVisPathTable visit) {
  auto v = std::make_unique<TOwnVisit>();
  v->visit = std::move(visit);
  v->serial = next_serial_++;
  v->last_ms = ToMs(v->visit.last_request);
  for (const TVisPageTable& hit : v->visit.hits)
    if (IsDownload(SplitUrl(hit.url).extension())) v->downloads.insert(hit.url);
  IndexVisit(*v);
  TOwnVisit& added = *v;
  visits_.emplace(added.serial, std::move(v));
  return added;
}

TVisPathRep::TOwnVisit& TVisPathRep::StartVisit(const TCurrentLine& c, TDateTime t) {
  if (spare_.empty()) {
    TVisPathTable visit;
    visit.address = c.fields[kFieldIp];
    visit.referrer = c.fields[kFieldReferrer];
    visit.first_request = visit.last_request = t;
    visit.agent = c.fields[kFieldAgent];
    visit.user_name = c.fields[kFieldUserName];
    visit.hits.reserve(8);  // most visits are short; growing copies every hit
    return AddVisit(std::move(visit));
  }
  // The visit removed last lends its node and its texts' storage.
  auto node = std::move(spare_);
  TOwnVisit& v = *node.mapped();
  TVisPathTable& visit = v.visit;
  std::string address = std::move(visit.address), referrer = std::move(visit.referrer),
              agent = std::move(visit.agent), user_name = std::move(visit.user_name);
  THitList hits = std::move(visit.hits);
  visit = TVisPathTable();
  visit.address = std::move(address.assign(c.fields[kFieldIp]));
  visit.referrer = std::move(referrer.assign(c.fields[kFieldReferrer]));
  visit.agent = std::move(agent.assign(c.fields[kFieldAgent]));
  visit.user_name = std::move(user_name.assign(c.fields[kFieldUserName]));
  hits.clear();
  visit.hits = std::move(hits);
  visit.first_request = visit.last_request = t;
  v.downloads.clear();
  v.serial = next_serial_++;
  v.last_ms = ToMs(t);
  IndexVisit(v);
  node.key() = v.serial;
  visits_.insert(std::move(node));
  return v;
}

void TVisPathRep::SetLast(TOwnVisit& v, TDateTime t) {
  auto& set = by_address_[v.visit.address];
  // The entry's node moves to its new place: no allocation per line.
  auto node = set.extract({v.last_ms, v.serial});
  v.visit.last_request = t;
  v.last_ms = ToMs(t);
  if (node.empty()) {
    set.insert({v.last_ms, v.serial});
  } else {
    node.value() = {v.last_ms, v.serial};
    set.insert(std::move(node));
  }
}

void TVisPathRep::RemoveOldest() {
  auto oldest = visits_.begin();
  const TOwnVisit& v = *oldest->second;
  auto it = by_address_.find(v.visit.address);
  spare_entry_ = it->second.extract({v.last_ms, v.serial});
  if (it->second.empty()) spare_address_ = by_address_.extract(it);
  spare_ = visits_.extract(oldest);
}

void TVisPathRep::IndexVisit(const TOwnVisit& v) {
  auto it = by_address_.find(v.visit.address);
  if (it == by_address_.end()) {
    if (spare_address_.empty()) {
      it = by_address_.try_emplace(v.visit.address).first;
    } else {
      spare_address_.key().assign(v.visit.address);
      it = by_address_.insert(std::move(spare_address_)).position;
    }
  }
  if (spare_entry_.empty()) {
    it->second.insert({v.last_ms, v.serial});
  } else {
    spare_entry_.value() = {v.last_ms, v.serial};
    it->second.insert(std::move(spare_entry_));
  }
}

void TVisPathRep::ProcessLine() {
  const TCurrentLine& c = *ctx_.current;
  const uint8_t url_kind = LineUrlKind();
  if ((url_kind & kPathPage) == 0 || !PassesFilters()) return;
  const TDateTime t = c.line.timestamp;
  const std::string& address = c.fields[kFieldIp];
  const std::string& url = c.fields[kFieldHref];

  TOwnVisit* v = FindVisit(address, ToMs(t));
  if (v == nullptr) v = &StartVisit(c, t);
  // A download counts once per visit, pages every time.
  if ((url_kind & kDownload) != 0 && !v->downloads.insert(url).second) return;

  TVisPathTable& visit = v->visit;
  if (!visit.hits.empty()) visit.hits.back().time_spent = t - visit.last_request;
  SetLast(*v, t);
  visit.hits.Add(url, nullptr);

  if (!sort_by_ip)
    while (!visits_.empty() && static_cast<int64_t>(visits_.size()) > limit) RemoveOldest();
}

std::vector<const TVisPathTable*> TVisPathRep::Visits() const {
  std::vector<const TVisPathTable*> list;
  list.reserve(visits_.size());
  for (const auto& [serial, v] : visits_) list.push_back(&v->visit);
  return list;
}

void TVisPathRep::Display() {
  std::vector<const TVisPathTable*> list = Visits();
  if (sort_by_ip)
    std::stable_sort(list.begin(), list.end(), [](const TVisPathTable* a, const TVisPathTable* b) {
      return a->address < b->address;
    });
  TPageSink page = BeginLinkedPage();
  THtmlTable table(page);
  table.Head({Translate(345, "User info and path"), Translate(247, "Time (secs)")});
  for (const TVisPathTable* visit : list) {
    page.Line("<TR class=\"RowHeader\"><TD>" + Translate(346, "Visitor"));
    page.Line("<font color=\"blue\">");
    const std::string user = Trim(visit->user_name);
    if (!user.empty() && user != "-") page.Line(HtmlEscape(visit->user_name) + " ");
    page.Line(HtmlEscape(visit->address) + "</font> " + Translate(347, "came at") + " " +
                 DateTimeText(visit->first_request) + "<br>");
    page.Line(Translate(348, "with agent") + " <I>" + HtmlEscape(DecodeUrlText(visit->agent)) +
                 "</I><br>");
    const TSplitURL referrer = SplitUrl(visit->referrer);
    const std::string after_site =
        std::string(referrer.path()).append(referrer.document()).append(referrer.query());
    page.Line(Translate(349, "from") + " <font color=\"green\">" + HtmlEscape(referrer.site()) +
                 "</font>" + WrapHtml(DecodeUrlText(after_site), 70, "&-/=_") +
                 " " + Translate(350, "and visited pages:") + "</TD><TD>&nbsp;</TD></TR>");
    for (const TVisPageTable& hit : visit->hits)
      page.Line("<TR class=\"OddRaw\"><TD>" + WrapHtml(hit.url, 70, "&-/=_") +
                   "</TD><TD align=\"right\">" + Fixed(Seconds(hit.time_spent)) + "</TD></TR>");
    page.Line("</P>");
  }
  table.Close("</P>");
  FinishOwnPage(page, page_file);
}

void TVisPathRep::Clear() {
  visits_.clear();
  by_address_.clear();
  spare_ = {};
  spare_address_ = {};
  spare_entry_ = {};
}

void TVisPathRep::SaveToCache(TReportsCache& cache) {
  WriteList(cache, visits_, [&](const auto& entry) {
    const TVisPathTable& visit = entry.second->visit;
    cache.WriteString(visit.address);
    cache.WriteString(visit.referrer);
    cache.WriteReal(visit.first_request);
    cache.WriteReal(visit.last_request);
    cache.WriteString(visit.agent);
    cache.WriteString(visit.user_name);
    WriteList(cache, visit.hits, [&](const TVisPageTable& hit) {
      cache.WriteString(hit.url);
      cache.WriteReal(hit.time_spent);
      cache.WriteInteger(hit.timed_count);
    });
  });
}

void TVisPathRep::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    ReadList(cache, [&] {
      TVisPathTable visit;
      visit.address = cache.ReadString();
      visit.referrer = cache.ReadString();
      visit.first_request = cache.ReadDateTime();
      visit.last_request = cache.ReadDateTime();
      visit.agent = cache.ReadString();
      visit.user_name = cache.ReadString();
      ReadList(cache, [&] {
        TVisPageTable hit;
        hit.url = cache.ReadString();
        // Negative when the log's lines came out of order.
        hit.time_spent =
            cache.ReadReal(-TReportsCache::kLongestSpan, TReportsCache::kLongestSpan);
        hit.timed_count = cache.ReadCount();
        visit.hits.push_back(std::move(hit));
      });
      AddVisit(std::move(visit));
    });
  });
}

// --- common paths ------------------------------------------------------------------

namespace {

// Of the URLs at positions 0 .. size - 1.
template <typename UrlAt>
uint64_t SequenceHash(size_t size, UrlAt url_at) {
  uint64_t h = size;
  for (size_t i = 0; i < size; ++i)
    h = (h ^ std::hash<std::string_view>{}(url_at(i))) * 0x100000001b3ULL + 0x9e3779b97f4a7c15ULL;
  return h;
}

uint64_t SequenceHash(const TVisPathTable& visit) {
  return SequenceHash(visit.hits.size(),
                      [&](size_t i) -> std::string_view { return visit.hits[i].url; });
}

}  // namespace

const TReportKeys<TCommonPathRep>& TCommonPathRep::DefinitionKeys() {
  using K = TKeys<TCommonPathRep>;
  static const TReportKeys<TCommonPathRep> keys = {
      K::Integer("limit", &TCommonPathRep::limit),
      K::Copied(&TCommonPathRep::total_visits),
  };
  return keys;
}

bool TCommonPathRep::SameSequence(const TCommonPath& path, const TVisPathTable& visit) const {
  if (path.pages.size() != visit.hits.size()) return false;
  for (size_t i = 0; i < path.pages.size(); ++i)
    if (Url(path.pages[i]) != visit.hits[i].url) return false;
  return true;
}

TCommonPath* TCommonPathRep::Find(const TVisPathTable& visit, uint64_t hash) {
  const ptrdiff_t at = index_.Find(hash, [&](size_t k) {
    return paths_[k].hash == hash && SameSequence(paths_[k], visit);
  });
  return at == TPositionIndex::kNone ? nullptr : &paths_[static_cast<size_t>(at)];
}

void TCommonPathRep::Append(TCommonPath path) {
  paths_.push_back(std::move(path));
  index_.Add(paths_.size(), [&](size_t k) { return paths_[k].hash; });
}

void TCommonPathRep::Reindex() {
  index_.Rebuild(paths_.size(), [&](size_t k) { return paths_[k].hash; });
}

void TCommonPathRep::AddVisit(const TVisPathTable& visit) {
  Increment(total_visits);
  const TDateTime d = TVisLine::VisitDuration(visit);
  const uint64_t hash = SequenceHash(visit);
  if (TCommonPath* path = Find(visit, hash)) {
    Increment(path->count);
    for (size_t i = 0; i < visit.hits.size(); ++i) {
      const TDateTime t = visit.hits[i].time_spent;
      if (t <= 0) continue;
      Increment(path->pages[i].timed_count);
      path->pages[i].time_spent += t;
    }
    if (d > 0) {
      path->total_time += d;
      Increment(path->timed_visits);
    }
    return;
  }
  TCommonPath path;
  path.hash = hash;
  path.pages.reserve(visit.hits.size());  // a path never grows
  for (const TVisPageTable& hit : visit.hits) {
    // Only positive times are summed: a negative one (lines out of order)
    // would spoil the average of the later visits.
    const bool timed = hit.time_spent > 0;
    path.pages.push_back({urls_.Number(hit.url), timed ? 1 : 0, timed ? hit.time_spent : 0});
  }
  if (d > 0) {
    path.total_time = d;
    path.timed_visits = 1;
  }
  Append(std::move(path));
}

void TCommonPathRep::SortByCount() {
  std::stable_sort(paths_.begin(), paths_.end(),
                   [](const TCommonPath& a, const TCommonPath& b) { return a.count > b.count; });
  Reindex();
}

void TCommonPathRep::Compact() {
  // A limit of 0 shows no path: there is nothing to keep the list for.
  if (!CompactList(paths_, CompactThreshold(limit), [&] { SortByCount(); })) return;
  Reindex();
  urls_.KeepOnly([&](auto&& renumber) {
    for (TCommonPath& path : paths_)
      for (TCommonPathPage& page : path.pages) renumber(page.url);
  });
}

void TCommonPathRep::Display() {
  SortByCount();
  AppendDetails("<h2><a href=\"" + page_file + "\">" + report_name + "</a>" + "</h2>");
  const size_t shown = limit > 0 ? std::min(paths_.size(), static_cast<size_t>(limit)) : 0;
  int64_t shown_visits = 0;
  for (size_t i = 0; i < shown; ++i) shown_visits += paths_[i].count;
  const double total = total_visits;

  TPageSink out = BeginOwnPage();
  out.Line("<h1>" + report_name + "</h1>");
  if (!remarks.empty()) out.Line("<p>" + remarks + "</p>");
  out.Line("<p>" + Translate(250, "Total") + " " + std::to_string(total_visits) + " " +
               Translate(251, "paths, and"));
  std::string displayed = std::to_string(shown_visits) + " " + Translate(252, "paths") + " ";
  if (total_visits > 0)
    displayed += "(" + Fixed(static_cast<double>(shown_visits) * 100 / total) + "%) " +
                 Translate(253, "are displayed below.");
  out.Line(displayed + "</p>");

  for (size_t k = 0; k < shown; ++k) {
    const TCommonPath& path = paths_[k];
    out.Line("<h2>" + std::to_string(k + 1) + ". " + Translate(254, "Path") + " " + "</h2>");
    std::string visitors = "<p>" + Translate(255, "Visitors:") + " " + std::to_string(path.count);
    if (total_visits > 0) visitors += " (" + Fixed(static_cast<double>(path.count) * 100 / total) + "%)";
    const std::string average =
        path.timed_visits <= 0 ? "-" : Fixed(Seconds(path.total_time) / path.timed_visits);
    out.Line(visitors + ", " + Translate(256, "Avg visit time (secs):") + " " + average +
                 "</p>");
    THtmlTable table(out);
    table.Head({Translate(247, "Time (secs)"), Translate(248, "Page")});
    for (const TCommonPathPage& page : path.pages) {
      const std::string time =
          page.timed_count <= 0 ? "-" : Fixed(Seconds(page.time_spent) / page.timed_count);
      out.Line("<TR class=\"OddRaw\"><TD width=\"100\" align=\"right\">" + time +
                   "</TD><TD>" + WrapHtml(Url(page), 75, "&/") + "</TD></TR>");
    }
    table.Close();
  }
  FinishOwnPage(out, page_file);
}

void TCommonPathRep::Clear() {
  index_.Clear();
  paths_.clear();
  urls_.Clear();
  total_visits = 0;
}

void TCommonPathRep::SaveToCache(TReportsCache& cache) {
  cache.WriteInteger(total_visits);
  WriteList(cache, paths_, [&](const TCommonPath& path) {
    cache.WriteInteger(path.count);
    cache.WriteReal(path.total_time);
    cache.WriteInteger(path.timed_visits);
    WriteList(cache, path.pages, [&](const TCommonPathPage& page) {
      cache.WriteString(Url(page));
      cache.WriteReal(page.time_spent);
      cache.WriteInteger(page.timed_count);
    });
  });
}

void TCommonPathRep::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    const int32_t total = cache.ReadCount();
    ReadList(cache, [&] {
      TCommonPath path;
      // Only positive times are summed.
      path.count = cache.ReadCount();
      path.total_time = cache.ReadReal(0, TReportsCache::kLongestSpanSum);
      path.timed_visits = cache.ReadCount();
      ReadList(cache, [&] {
        TCommonPathPage page;
        page.url = urls_.Number(cache.ReadString());
        page.time_spent = cache.ReadReal(0, TReportsCache::kLongestSpanSum);
        page.timed_count = cache.ReadCount();
        path.pages.push_back(std::move(page));
      });
      path.hash = SequenceHash(path.pages.size(), [&](size_t i) { return Url(path.pages[i]); });
      Append(std::move(path));
    });
    total_visits = total;
  });
}

}  // namespace trelvar
