// The reports that relate finished visits to the referrer that brought
// the visitor.
//
//   TRefAn ("ref_analysis", "ref_an.htm")             per referrer: the visits
//       it started and the pages those visits requested.
//   TIndirectRefAn ("indirect_ref_analysis", "indir_ref_an.htm")
//       per page: the referrers (without query, site in lower case) of the
//       visits that reached it, even from inside the site.
//
// Rows keep the order in which they first came (until a sort) and are
// found through hash indexes: referrers and pages by their text, and inside
// a row its nested rows (short lists are scanned, longer ones get an index
// of their own), so accounting a visit costs the same however many rows
// there are. Each report owns its rows; Clear drops them. The filters of
// either report choose the finished visits it counts.
//
// Errors: a bad number after "max_ref_count=" or "max_href_count=" raises
// EConvertError from LoadParam; a page that cannot be written raises
// EFCreateError from Display; a damaged cache block raises EInOutError
// after emptying the report. Main thread only.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/row_index.h"
#include "base/text_pool.h"
#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

// A list of rows that have a text `value`, in insertion order, found by
// their text: short lists by a scan, longer ones through a hash index.
// The rows are held by value, so a nested list of a few rows costs one
// block; the index is rebuilt whenever the rows move (growth, sorting).
// The texts are views into a pool that the report owns, since the same
// pages and referrers come back in many lists. A row's value must not be
// changed through Rows(), except to a view of an equal text (when the pool
// keeps only what the rows hold).
template <typename Row>
class TIndexedRows {
 public:
  using TRows = std::vector<Row>;

  Row* Find(std::string_view value) {
    if (index_ != nullptr) return index_->Find(value);
    for (Row& row : rows_)
      if (row.value == value) return &row;
    return nullptr;
  }
  Row& Add(std::string_view value, TTextPool& pool) {
    const bool moves = rows_.size() == rows_.capacity();
    Row& added = rows_.emplace_back();
    added.value = pool.Intern(value);
    // A list emptied or cut keeps its room: it passes the scan limit
    // without moving.
    if (moves || (index_ == nullptr && rows_.size() > kScanLimit)) Reindex();
    else if (index_ != nullptr) index_->Insert(&added);
    return added;
  }
  // The value's row, appended when there is none.
  Row& FindOrAdd(std::string_view value, TTextPool& pool) {
    if (Row* row = Find(value)) return *row;
    return Add(value, pool);
  }
  template <typename Less>
  void StableSort(Less less) {
    std::stable_sort(rows_.begin(), rows_.end(), less);
    Reindex();
  }
  // Keeps the first `keep` rows.
  void Truncate(size_t keep) {
    if (keep >= rows_.size()) return;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(keep), rows_.end());
    Reindex();
  }
  void Clear() {
    rows_.clear();
    index_.reset();
  }
  TRows& Rows() { return rows_; }
  const TRows& Rows() const { return rows_; }
  size_t size() const { return rows_.size(); }

 private:
  // Most nested lists stay this short; a scan of views costs less than an
  // index of its own for each of thousands of lists.
  static constexpr size_t kScanLimit = 16;
  void Reindex() {
    index_.reset();
    if (rows_.size() <= kScanLimit) return;
    index_ = std::make_unique<TRowIndex<Row>>();
    for (Row& row : rows_) index_->Insert(&row);
  }

  TRows rows_;
  std::unique_ptr<TRowIndex<Row>> index_;
};

// One page requested by the visits of a referrer.
struct TRefAnPage {
  std::string_view value;  // the URL (decoded, as the visit tracker keeps it)
  int32_t hits = 0;
  int32_t extra = 0;  // kept 0; carried through the cache
  double share = 0;   // computed by Display
};

// One referrer and the visits it started.
struct TRefAnRow {
  std::string_view value;  // the referrer, as logged
  double share = 0;   // computed by Display
  int32_t visits = 0;
  TIndexedRows<TRefAnPage> pages;
};

// What both analyses share: they count the visits that finish at a page
// request, and need the requested URL and the referrer in the log format.
class TReferrerVisitRep : public TVisitCountingRep {
 public:
  using TVisitCountingRep::TVisitCountingRep;
  void ProcessLine() override;
  void CheckLogFields(const std::vector<int>& fields) override;
};

class TRefAn : public TReportOf<TRefAn, TReferrerVisitRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"ref_analysis", 357, "Referrer Analysis",
                                                "ref_an.htm"};

  using TReportOf::TReportOf;
  static const TReportKeys<TRefAn>& DefinitionKeys();

  void AddVisit(const TVisPathTable& visit) override;
  void Display() override;
  void Clear() override;
  void Compact() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;
  const TIndexedRows<TRefAnRow>& Rows() const { return rows_; }

  int32_t max_ref_count = 20;
  int32_t max_href_count = 10;

 private:
  void SortRows();
  TIndexedRows<TRefAnRow> rows_;
  TTextPool texts_;  // of the rows
};

// One referrer key of the visits that reached a page.
struct TIndirRefAnReferrer {
  std::string_view value;  // site (lower case), path and document of the referrer
  int32_t count = 0;
};

// One page and the referrers of the visits that reached it.
struct TIndirRefAnTable {
  std::string_view value;  // the page URL (decoded, as the visit tracker keeps it)
  int32_t hits = 0;
  TIndexedRows<TIndirRefAnReferrer> referrers;
};

class TIndirectRefAn : public TReportOf<TIndirectRefAn, TReferrerVisitRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"indirect_ref_analysis", 358,
                                                "Indirect Referrer Analysis", "indir_ref_an.htm"};
  static constexpr int32_t kLimit = 15;

  using TReportOf::TReportOf;

  void AddVisit(const TVisPathTable& visit) override;
  void Display() override;
  void Clear() override;
  void Compact() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;
  const TIndexedRows<TIndirRefAnTable>& Rows() const { return rows_; }
  // The referrer without its query: site (lower case), path and document.
  static std::string ReferrerKey(const TVisPathTable& visit);

 private:
  TIndexedRows<TIndirRefAnTable> rows_;
  TTextPool texts_;  // of the rows
};

}  // namespace trelvar
