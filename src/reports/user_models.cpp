#include "reports/user_models.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

#include "base/errors.h"
#include "base/text_helpers.h"
#include "config/translator.h"
#include "logread/visit_tracker.h"
#include "reports/report_params.h"
#include "reports/report_text.h"
#include "reports/reports_cache.h"

namespace trelvar {

namespace {

// Below two patterns no merge has a candidate.
constexpr size_t kFewestPatterns = 2;

// The pattern's kept index, made or rebuilt when stale.
std::unordered_map<std::string_view, size_t>& IndexOf(const TUserPattern& p) {
  if (p.index == nullptr || p.index->size() != p.items.size()) {
    p.index = std::make_unique<std::unordered_map<std::string_view, size_t>>();
    p.sum_of_squares = -1;
    p.index->reserve(p.items.size());
    for (size_t i = 0; i < p.items.size(); ++i) p.index->emplace(p.items[i].page, i);
  }
  return *p.index;
}

double SumOfSquares(const TUserPattern& p) {
  if (p.sum_of_squares < 0) {
    double s = 0;
    for (size_t i = 0; i < p.items.size(); ++i) s += p.Value(i) * p.Value(i);
    p.sum_of_squares = s;
  }
  return p.sum_of_squares;
}

// Patterns of up to this many pages are searched by a scan.
constexpr size_t kScanLimit = 16;

// Memberships are means of 0 and 1; merging may round them a little above 1.
constexpr double kLargestMembership = 1 + 1e-6;

// Scales below this are applied to the items, long before precision
// suffers (a scale is the pattern's first weight over its current one).
constexpr double kSmallestScale = 1e-9;

}  // namespace

double PatternDistance(const TUserPattern& p, const TUserPattern& q) {
  // The sum runs over the union of the pages, so it is the same from either
  // side: walk the smaller pattern and look its pages up in the larger one;
  // the larger one's pages missing in the smaller add their squares, which
  // is its sum of squares less those of the common pages.
  const TUserPattern& small = p.items.size() <= q.items.size() ? p : q;
  const TUserPattern& large = &small == &p ? q : p;
  // A short pattern is scanned: no index to build for a visit's pattern.
  const bool scan = large.items.size() <= kScanLimit;
  const auto* in_large = scan ? nullptr : &IndexOf(large);
  double s = 0, common_squares = 0;
  size_t common = 0;
  for (size_t i = 0; i < small.items.size(); ++i) {
    const double value = small.Value(i);
    const std::string_view page = small.items[i].page;
    size_t at = large.items.size();
    if (scan) {
      for (size_t j = 0; j < large.items.size(); ++j)
        if (large.items[j].page == page) {
          at = j;
          break;
        }
    } else if (auto it = in_large->find(page); it != in_large->end()) {
      at = it->second;
    }
    if (at == large.items.size()) {
      s += value * value;
      continue;
    }
    const double other = large.Value(at);
    s += (value - other) * (value - other);
    common_squares += other * other;
    ++common;
  }
  s += std::max(0.0, SumOfSquares(large) - common_squares);
  const size_t u = small.items.size() + large.items.size() - common;
  return u == 0 ? 0 : std::sqrt(s) / static_cast<double>(u);
}

void TUserPattern::Normalize() {
  if (scale == 1) return;
  for (TUserPatternItem& item : items) item.value *= scale;
  scale = 1;
}

void MergePattern(TUserPattern& p, const TUserPattern& q) {
  const double wp = p.weight, wq = q.weight;
  const double keep = wp / (wp + wq), take = wq / (wq + wp);
  // Every membership of p is scaled by `keep`: its sum of squares follows
  // by keep², then q's pages replace their own terms.
  double squares = SumOfSquares(p) * keep * keep;
  auto& position = IndexOf(p);
  p.scale *= keep;
  for (size_t i = 0; i < q.items.size(); ++i) {
    auto [it, added] = position.emplace(q.items[i].page, p.items.size());
    if (added) p.items.push_back({q.items[i].page, 0});
    const double before = p.Value(it->second);
    const double after = before + take * q.Value(i);
    squares += after * after - before * before;
    p.items[it->second].value = after / p.scale;
  }
  p.sum_of_squares = std::max(0.0, squares);
  p.weight += q.weight;
  if (p.scale < kSmallestScale) {
    p.Normalize();
    p.sum_of_squares = -1;  // worked out afresh from the applied values
  }
}

TUserPattern VisitPattern(const TVisPathTable& visit, TTextPool& pages) {
  // Pooled pages share their text, so a repeated page is a repeated
  // address; a visit has a handful of pages, so a scan finds them.
  thread_local std::vector<const char*> seen;
  seen.clear();
  TUserPattern p;
  p.items.reserve(visit.hits.size());
  for (const TVisPageTable& hit : visit.hits) {
    const std::string_view page = pages.Intern(hit.url);
    if (std::find(seen.begin(), seen.end(), page.data()) != seen.end()) continue;
    seen.push_back(page.data());
    p.items.push_back({page, 1.0});
  }
  if (p.items.size() < p.items.capacity()) p.items.shrink_to_fit();
  return p;
}

// --- user model ---------------------------------------------------------------------

const TReportKeys<TUserModel>& TUserModel::DefinitionKeys() {
  using R = TUserModel;
  using K = TKeys<R>;
  // Only a line that begins with the key as written sets the count; the
  // buffer holds five patterns per model.
  static const TReportKeys<R> keys = {
      K::Integer("model_count", &R::model_count, kAtLineStart).AfterRead([](R& r) {
        // Held to the integers: a huge count must not wrap to a small buffer.
        const int64_t size = 5 * static_cast<int64_t>(r.model_count);
        r.buffer_size = static_cast<int32_t>(std::clamp<int64_t>(
            size, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
      }),
      K::Copied(&R::buffer_size),
  };
  return keys;
}

void TUserModel::CheckLogFields(const std::vector<int>& fields) {
  is_supported = IsParamSupported(fields, ReportParam::kHref);
  unsupported_text = is_supported ? "" : UnsupportedWarning(ReportParam::kHref, report_name);
}

void TUserModel::AddVisit(const TVisPathTable& visit) {
  ++visits_;
  auto p = std::make_unique<TUserPattern>(VisitPattern(visit, pages_));
  if (patterns_.size() < static_cast<size_t>(std::max(buffer_size, 0)))
    patterns_.push_back(std::move(p));
  else
    MergeIntoNearest(std::move(p));
}

TUserPattern* TUserModel::MergeIntoNearest(std::unique_ptr<TUserPattern> p) {
  const size_t n = patterns_.size();
  if (n < kFewestPatterns) {
    patterns_.push_back(std::move(p));
    return nullptr;
  }
  size_t s = 0;
  if (ctx_.random != nullptr) s = std::uniform_int_distribution<size_t>(0, n - 2)(*ctx_.random);
  double best_distance = 1e10;
  TUserPattern* best = nullptr;
  // Every pattern is a candidate, from a random start so that ties do not
  // always go the same way.
  for (size_t k = 1; k <= n; ++k) {
    TUserPattern& candidate = *patterns_[(s + k) % n];
    const double d = PatternDistance(candidate, *p);
    if (d < best_distance) {
      best_distance = d;
      best = &candidate;
    } else if (d == best_distance && ctx_.random != nullptr &&
               std::uniform_real_distribution<double>(0, 1)(*ctx_.random) > 0.5) {
      best = &candidate;
    }
  }
  if (best == nullptr) best = patterns_[(s + 1) % n].get();  // every distance was huge
  MergePattern(*best, *p);
  return best;
}

void TUserModel::Reduce() {
  const size_t target = std::max(static_cast<size_t>(std::max(model_count, 0)), kFewestPatterns);
  if (patterns_.size() <= target) return;
  // The distances of all pairs (i < j) are worked out once; each step
  // changes only the pattern that took the merge, so only its distances
  // are worked out again.
  const size_t n = patterns_.size();
  std::vector<std::vector<double>> distance(n, std::vector<double>(n, 0));
  for (size_t i = 0; i < n; ++i)
    for (size_t j = i + 1; j < n; ++j)
      distance[i][j] = PatternDistance(*patterns_[i], *patterns_[j]);
  while (patterns_.size() > target) {
    double smallest = 1e11;
    size_t first = 0;
    for (size_t i = 0; i < patterns_.size(); ++i)
      for (size_t j = i + 1; j < patterns_.size(); ++j)
        if (distance[i][j] < smallest) {
          smallest = distance[i][j];
          first = i;
        }
    std::unique_ptr<TUserPattern> p = std::move(patterns_[first]);
    patterns_.erase(patterns_.begin() + static_cast<std::ptrdiff_t>(first));
    distance.erase(distance.begin() + static_cast<std::ptrdiff_t>(first));
    for (auto& row : distance) row.erase(row.begin() + static_cast<std::ptrdiff_t>(first));
    const TUserPattern* merged = MergeIntoNearest(std::move(p));
    for (size_t m = 0; m < patterns_.size(); ++m) {
      if (patterns_[m].get() != merged) continue;
      for (size_t i = 0; i < m; ++i) distance[i][m] = PatternDistance(*patterns_[i], *patterns_[m]);
      for (size_t j = m + 1; j < patterns_.size(); ++j)
        distance[m][j] = PatternDistance(*patterns_[m], *patterns_[j]);
    }
  }
}

void TUserModel::Clear() {
  visits_ = 0;
  patterns_.clear();
  pages_.Clear();
}

void TUserModel::WritePage(bool profiles) {
  std::stable_sort(patterns_.begin(), patterns_.end(),
                   [](const auto& a, const auto& b) { return a->weight > b->weight; });
  AppendDetails("<h2><a href=\"" + page_file + "\">" + report_name + "</a>" + "</h2>");
  TPageSink page = BeginOwnPage();
  page.Line("<h1>" + report_name + "</h1>");
  if (profiles && !remarks.empty()) page.Line("<p>" + remarks + "</p>");
  page.Line("<p>" + Translate(250, "Total") + " " + std::to_string(visits_) + " " +
               Translate(390, "visitors") + "</p>");
  const size_t shown =
      std::min(patterns_.size(), static_cast<size_t>(std::max(model_count, 0)));
  for (size_t k = 0; k < shown; ++k) {
    TUserPattern& p = *patterns_[k];
    p.Normalize();
    std::stable_sort(p.items.begin(), p.items.end(), [](const auto& a, const auto& b) {
      return a.value != b.value ? a.value > b.value : a.page < b.page;
    });
    p.Touch();
    const std::string number = std::to_string(k + 1);
    page.Line(profiles ? "<h2>" + number + ". " + Translate(391, "User Profile") + " " + "</h2>"
                          : "<h2>" + number + ". Model " + "</h2>");
    page.Line("<p>" + Translate(255, "Visitors:") + " " + std::to_string(p.weight) + " (" +
                 Fixed(p.weight * 100.0 / visits_) + "%)</p>");
    THtmlTable table(page);
    table.Head({Translate(287, "Hits"), Translate(288, "Percent"), Translate(248, "Page")}, true);
    for (const TUserPatternItem& item : p.items) {
      page.Line(profiles ? "<TR class=\"OddRaw\"><TD align=\"right\">"
                            : "<TR><TD align=\"right\">");
      page.Line(RoundedText(p.weight * item.value) + "</TD><TD align=\"right\">");
      page.Line(Fixed(item.value * 100) + "% </TD><TD width=\"100%\">");
      page.Line(HtmlEscape(item.page) + "</TD></TR>");
    }
    table.Close();
  }
  FinishOwnPage(page, SafeFileName(page_file));
}

void TUserModel::Display() {
  Reduce();
  WritePage(false);
}

void TUserModel::SaveToCache(TReportsCache& cache) {
  cache.WriteInteger(visits_);
  WriteList(cache, patterns_, [&](const auto& p) {
    p->Normalize();
    cache.WriteInteger(p->weight);
    WriteList(cache, p->items, [&](const TUserPatternItem& item) {
      cache.WriteString(item.page);
      cache.WriteReal(item.value);
    });
  });
}

void TUserModel::LoadFromCache(TReportsCache& cache) {
  LoadCleared(*this, [&] {
    visits_ = cache.ReadCount();
    // Every visit adds one to exactly one pattern's weight.
    int64_t weights = 0;
    ReadList(cache, [&] {
      auto p = std::make_unique<TUserPattern>();
      p->weight = cache.ReadInteger(1, std::numeric_limits<int32_t>::max());
      weights += p->weight;
      if (weights > visits_) throw EInOutError("Cache block holds more pattern visits than visits");
      ReadList(cache, [&] {
        const std::string_view page = pages_.Intern(cache.ReadString());
        p->items.push_back({page, cache.ReadReal(0, kLargestMembership)});
      });
      patterns_.push_back(std::move(p));
    });
  });
}

// --- user profiles ---------------------------------------------------------------

void TUserProfile::PagesOfVisit(const TVisPathTable& visit) {
  visit_pages_.clear();
  for (const TVisPageTable& hit : visit.hits) {
    const uint32_t page = pages_.Number(hit.url);
    if (std::find(visit_pages_.begin(), visit_pages_.end(), page) == visit_pages_.end())
      visit_pages_.push_back(page);
  }
}

void TUserProfile::SortedSet(const TProfile& p, std::vector<uint32_t>& set) const {
  const auto from = pages_of_.begin() + p.first;
  set.assign(from, from + p.size);
  std::sort(set.begin(), set.end());
  set.erase(std::unique(set.begin(), set.end()), set.end());
}

uint32_t TUserProfile::SetHash(const std::vector<uint32_t>& set) {
  uint64_t h = set.size();
  for (uint32_t page : set) h = (h ^ page) * 0x100000001b3ULL + 0x9e3779b97f4a7c15ULL;
  // Page numbers are small: mix the high bits down before keeping half.
  h ^= h >> 31;
  h *= 0xbf58476d1ce4e5b9ULL;
  return static_cast<uint32_t>(h >> 32);
}

TUserProfile::TProfile* TUserProfile::Find(const std::vector<uint32_t>& set, uint32_t hash) {
  // Of two equal sets (a cache may list one twice) the first is found, as
  // counting would.
  const ptrdiff_t at = index_.Find(hash, [&](size_t k) {
    if (profiles_[k].hash != hash) return false;
    SortedSet(profiles_[k], other_set_);
    return other_set_ == set;
  });
  return at == TPositionIndex::kNone ? nullptr : &profiles_[static_cast<size_t>(at)];
}

template <typename Value>
void TUserProfile::Append(const std::vector<uint32_t>& pages, uint32_t hash, Value value) {
  TProfile p;
  p.first = static_cast<uint32_t>(pages_of_.size());
  p.size = static_cast<uint32_t>(pages.size());
  p.hash = hash;
  for (size_t i = 0; i < pages.size(); ++i) {
    pages_of_.push_back(pages[i]);
    values_.push_back(value(i));
  }
  profiles_.push_back(p);
  index_.Add(profiles_.size(), [&](size_t k) { return profiles_[k].hash; });
}

void TUserProfile::Reindex() {
  index_.Rebuild(profiles_.size(), [&](size_t k) { return profiles_[k].hash; });
}

void TUserProfile::AddVisit(const TVisPathTable& visit) {
  ++visits_;
  PagesOfVisit(visit);
  visit_set_ = visit_pages_;
  std::sort(visit_set_.begin(), visit_set_.end());
  const uint32_t hash = SetHash(visit_set_);
  if (TProfile* same = Find(visit_set_, hash)) {
    ++same->weight;
    return;
  }
  Append(visit_pages_, hash, [](size_t) { return 1.0; });
}

TUserPattern TUserProfile::Profile(size_t i) const {
  const TProfile& p = profiles_[i];
  TUserPattern pattern;
  pattern.weight = p.weight;
  pattern.items.reserve(p.size);
  for (size_t k = p.first; k < p.first + p.size; ++k)
    pattern.items.push_back({pages_.Text(pages_of_[k]), values_[k]});
  return pattern;
}

void TUserProfile::Clear() {
  TUserModel::Clear();
  profiles_.clear();
  pages_of_.clear();
  values_.clear();
  index_.Clear();
}

void TUserProfile::SaveToCache(TReportsCache& cache) {
  // As the user model writes its patterns.
  cache.WriteInteger(visits_);
  WriteList(cache, profiles_, [&](const TProfile& p) {
    cache.WriteInteger(p.weight);
    cache.WriteInteger(static_cast<int32_t>(p.size));
    for (size_t k = p.first; k < p.first + p.size; ++k) {
      cache.WriteString(pages_.Text(pages_of_[k]));
      cache.WriteReal(values_[k]);
    }
  });
}

void TUserProfile::LoadFromCache(TReportsCache& cache) {
  TUserModel::LoadFromCache(cache);
  try {
    for (const auto& pattern : patterns_) {
      visit_pages_.clear();
      for (const TUserPatternItem& item : pattern->items)
        visit_pages_.push_back(pages_.Number(item.page));
      visit_set_ = visit_pages_;
      std::sort(visit_set_.begin(), visit_set_.end());
      visit_set_.erase(std::unique(visit_set_.begin(), visit_set_.end()), visit_set_.end());
      Append(visit_pages_, SetHash(visit_set_), [&](size_t i) { return pattern->items[i].value; });
      profiles_.back().weight = pattern->weight;
    }
    patterns_.clear();
  } catch (...) {
    Clear();
    throw;
  }
}

void TUserProfile::Display() {
  std::stable_sort(profiles_.begin(), profiles_.end(),
                   [](const TProfile& a, const TProfile& b) { return a.weight > b.weight; });
  Reindex();
  // The page is written from patterns of the shown profiles only, which
  // then keep the order of pages it gave them.
  const size_t shown = std::min(profiles_.size(), static_cast<size_t>(std::max(model_count, 0)));
  patterns_.clear();
  for (size_t k = 0; k < shown; ++k) patterns_.push_back(std::make_unique<TUserPattern>(Profile(k)));
  try {
    WritePage(true);
  } catch (...) {
    patterns_.clear();
    throw;
  }
  for (size_t k = 0; k < shown; ++k) {
    const TProfile& p = profiles_[k];
    const TUserPattern& written = *patterns_[k];
    for (size_t i = 0; i < p.size; ++i) {
      pages_of_[p.first + i] = pages_.Number(written.items[i].page);
      values_[p.first + i] = written.items[i].value;
    }
  }
  patterns_.clear();
}

}  // namespace trelvar
