// The user model reports: visits grouped by the pages they contain.
//
// TUserModel ("user_model", page "user_models.htm") turns every finished
// visit into a pattern (its distinct pages, each with membership 1.0) and
// keeps a buffer of at most 5 x model count patterns: when it is full, a
// new pattern is merged into the nearest of the others (weighted means of
// the membership values). Display reduces the buffer to model count
// patterns by merging the closest ones and writes the page. With a model
// count below 2 the buffer and the reduction stop at two patterns, the
// fewest that still have a merge candidate.
// TUserProfile ("user_profile", page "user_profiles.htm") counts visits
// with exactly the same page set; its list is never reduced. The filters
// of both choose the finished visits they count.
//
// Random choices come from the run's generator (TReportContext::random).
// Each report owns its patterns. A bad "model_count=" raises
// EConvertError; a page that cannot be written EFCreateError; a damaged
// cache block EInOutError after emptying the report. Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/position_index.h"
#include "base/text_pool.h"
#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

struct TUserPatternItem {
  std::string_view page;  // the tracker's decoded URL, held by the report's pool
  double value = 0;  // membership, before the pattern's scale
};

struct TUserPattern {
  int32_t weight = 1;  // visits merged into it
  std::vector<TUserPatternItem> items;  // distinct pages
  // A merge scales every membership down; the factor is kept here instead
  // of being applied to thousands of items, so a merge costs the merged
  // visit's pages only. Read memberships through Value, or Normalize first.
  double scale = 1;

  double Value(size_t i) const { return items[i].value * scale; }
  // Applies the scale to the items (it becomes 1).
  void Normalize();

  // Kept for the distance, so that comparing a visit with a pattern of
  // thousands of pages costs the visit's pages only: the position of every
  // page and the sum of the squared memberships. Both are rebuilt when
  // stale (a pattern changed by anything but MergePattern calls Touch).
  // Made on first use: most patterns (the profiles) never need one.
  mutable std::unique_ptr<std::unordered_map<std::string_view, size_t>> index;
  mutable double sum_of_squares = -1;  // negative: not known
  void Touch() const {
    index.reset();
    sum_of_squares = -1;
  }
};

// √(sum of squared membership differences over the union of pages) divided
// by the number of pages in that union.
double PatternDistance(const TUserPattern& p, const TUserPattern& q);
// Merges q into p: the weighted mean of both membership vectors, weight
// added. p takes q's page views: both must be of one pool.
void MergePattern(TUserPattern& p, const TUserPattern& q);
// The pattern of a visit: its distinct pages in first-occurrence order,
// interned in `pages`.
TUserPattern VisitPattern(const TVisPathTable& visit, TTextPool& pages);

class TUserModel : public TReportOf<TUserModel, TVisitCountingRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"user_model", 360, "Users Model",
                                                "user_models.htm"};

  using TReportOf::TReportOf;
  static const TReportKeys<TUserModel>& DefinitionKeys();

  // Counts one finished visit into the patterns (filters aside).
  void AddVisit(const TVisPathTable& visit) override;
  void Display() override;
  void Clear() override;
  void CheckLogFields(const std::vector<int>& fields) override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // Merges p into the nearest other pattern (ties broken at random); with
  // fewer than two patterns there is none, and p is appended.
  // Answers the pattern that took p, or null when p was appended.
  TUserPattern* MergeIntoNearest(std::unique_ptr<TUserPattern> p);
  // Merges the closest patterns until at most model count remain (never
  // fewer than two).
  void Reduce();

  using TPatterns = std::vector<std::unique_ptr<TUserPattern>>;
  // The model's patterns; user profiles keep theirs apart (Profile).
  const TPatterns& Patterns() const { return patterns_; }
  int32_t Visits() const { return visits_; }

  int32_t model_count = 10;
  int32_t buffer_size = 10;

 protected:
  // The page: head, one section per shown pattern, foot.
  void WritePage(bool profiles);

  int32_t visits_ = 0;
  TPatterns patterns_;
  // The pages of the patterns: every visit repeats pages of the others.
  TTextPool pages_;
};

class TUserProfile : public TReportOf<TUserProfile, TUserModel> {
 public:
  static constexpr TReportIdentity kIdentity = {"user_profile", 361, "User Profiles",
                                                "user_profiles.htm"};
  using TReportOf::TReportOf;

  void Display() override;
  void Clear() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;
  void AddVisit(const TVisPathTable& visit) override;

  // The profiles in order of their first visit (by weight after Display),
  // each as a pattern of its own.
  size_t ProfileCount() const { return profiles_.size(); }
  TUserPattern Profile(size_t i) const;

 private:
  // Tens of thousands of page sets are kept whole: a profile is a range of
  // the shared page and membership lists, found through an index of
  // positions by the hash of its page set.
  struct TProfile {
    uint32_t first = 0;  // in pages_of_ and values_
    uint32_t size = 0;
    int32_t weight = 1;
    uint32_t hash = 0;  // of the page set
  };
  // The distinct pages of the visit, in first-visit order, as numbers of
  // the pool; and their sorted set.
  void PagesOfVisit(const TVisPathTable& visit);
  void SortedSet(const TProfile& p, std::vector<uint32_t>& set) const;
  static uint32_t SetHash(const std::vector<uint32_t>& set);
  // The first profile of that sorted set, or null.
  TProfile* Find(const std::vector<uint32_t>& set, uint32_t hash);
  // A new profile of weight 1; `value` gives each page's membership.
  template <typename Value>
  void Append(const std::vector<uint32_t>& pages, uint32_t hash, Value value);
  void Reindex();

  std::deque<TProfile> profiles_;
  std::deque<uint32_t> pages_of_;  // numbers in the pool
  std::deque<double> values_;      // memberships: 1 when counted, any from a cache
  TPositionIndex index_;           // of profiles_ by their hash
  // Scratch of AddVisit.
  std::vector<uint32_t> visit_pages_, visit_set_, other_set_;
};

}  // namespace trelvar
