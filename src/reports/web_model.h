// TWebModel ("web_model"): a graph of the site built from finished visits.
//
// For every page (keyed by its lower-cased site, path and document, the
// query dropped) it counts how often it occurred in finished visits, where
// visitors came from, where they went next, which pages they reached later
// in the same visit and how long they stayed. Display writes "web_rpt.htm"
// (the index), one page file per site page and the exit page. The
// experimental report walks the graph through GuessNextPage. The filters
// choose the finished visits it counts.
//
// Pages and their lists are kept in insertion order and found through hash
// indexes, so a visit costs the same however many pages are known. Page
// file names are legal (letters, digits, "-", "_" and ".htm"), stay inside
// the output folder and are unique: a key whose name is taken by another
// key gets a number before ".htm". Owns its pages. Page files that cannot
// be written raise EFCreateError; a damaged cache block raises EInOutError
// after emptying the report. Main thread only.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "reports/report_base.h"
#include "reports/report_keys.h"

namespace trelvar {

// The keys of one model, each text stored once and numbered in order of
// arrival: lists of thousands of pages hold numbers instead of copies, and
// compare them without reading a text.
class TKeyPool {
 public:
  static constexpr uint32_t kMissing = UINT32_MAX;
  uint32_t Intern(std::string_view key) {
    if (auto it = ids_.find(key); it != ids_.end()) return it->second;
    const auto id = static_cast<uint32_t>(views_.size());
    views_.push_back(texts_.emplace_back(key));
    ids_.emplace(views_.back(), id);
    return id;
  }
  // kMissing when the key was never interned.
  uint32_t Find(std::string_view key) const {
    auto it = ids_.find(key);
    return it == ids_.end() ? kMissing : it->second;
  }
  std::string_view Text(uint32_t id) const { return views_[id]; }
  size_t Size() const { return views_.size(); }
  void Clear() {
    ids_.clear();
    views_.clear();
    texts_.clear();
  }

 private:
  std::deque<std::string> texts_;  // a deque: the texts never move
  std::vector<std::string_view> views_;  // by id
  std::unordered_map<std::string_view, uint32_t> ids_;
};

// One counted key of a page's list: its number in the model's TKeyPool
// (lists hold hundreds of thousands of records; the pool has the text).
struct TCustomHRef {
  uint32_t id = 0;
  int32_t count = 0;
};

// The (key, count) records of one list, in insertion order until sorted.
// Short lists are searched directly; longer ones through a table of key
// numbers and positions, so counting costs the same however long a list
// gets and never reads a key's text.
class THRefList {
 public:
  // Adds `count` to the record of the pooled key `id`, or appends one.
  void Add(uint32_t id, int32_t count);
  // Stable, by count descending.
  void SortByCount();
  // Keeps the first `keep` records.
  void Truncate(size_t keep);
  void Clear();

  size_t Size() const { return items_.size(); }
  const TCustomHRef& operator[](size_t i) const { return items_[i]; }
  const std::vector<TCustomHRef>& Items() const { return items_; }
  const TCustomHRef* Find(std::string_view key, const TKeyPool& pool) const;

 private:
  static constexpr size_t kScanned = 8;  // lists up to this long have no table
  struct TSlot {
    uint32_t id = 0;
    uint32_t position = 0;  // + 1; 0 is a free slot
  };
  // Size() when missing.
  size_t Position(uint32_t id) const;
  size_t SlotOf(uint32_t id) const;  // where the id's probe starts
  void Reindex();
  void Place(uint32_t position);

  std::vector<TCustomHRef> items_;
  std::vector<TSlot> slots_;
  int shift_ = 64;  // 64 - log2(slots_.size())
};

struct TWebPage {
  std::string reserved;                // never set; kept in the cache record
  std::string value = "noname.htm";    // the page key
  std::string page_file;
  int32_t visits = 0;
  THRefList inputs, outputs, later;
  int32_t limit = 10;
  double time_sum = 0;  // days
  int32_t timed_count = 0;
  bool due = false;  // listed for the next compaction
};

class TWebModel : public TReportOf<TWebModel, TVisitCountingRep> {
 public:
  static constexpr TReportIdentity kIdentity = {"web_model", 359, "Web Model", "web_rpt.htm"};

  using TReportOf::TReportOf;

  // Each also marks the model as fed, whether or not a visit counts.
  void ProcessLine() override;
  void CountVisit(const TVisPathTable& visit) override;
  void AddVisit(const TVisPathTable& visit) override;
  void Display() override;
  void Clear() override;
  void CheckLogFields(const std::vector<int>& fields) override;
  void Compact() override;
  void SaveToCache(TReportsCache& cache) override;
  void LoadFromCache(TReportsCache& cache) override;

  // The key of a page URL or referrer; with `file_rule`, a key holding
  // "file://" becomes "file_" + its part after the last "/".
  static std::string PageKey(const std::string& url, bool file_rule = true);
  // The natural file name of a URL: "index.htm" added after a final "/",
  // every character but A-Z a-z 0-9 - _ turned into "_", then
  // "web" + that + ".htm", cut so that output folder + name stays within
  // 250 characters.
  std::string PageFileName(const std::string& url) const;
  // The file of the exit page.
  std::string ExitFileName() const { return PageFileName("/exit.htm"); }

  // One of the first `count` entries of the page's later pages (or outputs),
  // drawn at random; "not found" (translated) when the page, the list or the
  // entry is missing or the entry is the exit.
  std::string GuessNextPage(const std::string& page, int count, bool use_later_pages);

  bool HasData() const { return has_data_; }
  const std::vector<std::unique_ptr<TWebPage>>& Pages() const { return pages_; }
  // The page of exactly this key, or null.
  const TWebPage* FindPage(std::string_view key) const;
  // The pool of the keys in the pages' lists.
  const TKeyPool& Keys() const { return keys_; }

 private:
  // The pooled keys of one hit's URL: as a neighbour (link) and as a page
  // (the "file://" rule applied).
  struct THitKeys {
    uint32_t link = 0, page = 0;
  };
  const THitKeys& KeysOf(const std::string& url);
  void AddPage(uint32_t key, uint32_t input, double time, uint32_t output);
  TWebPage& PageOf(uint32_t key);
  // A unique file name for a new page's key.
  std::string AssignPageFile(const std::string& key);
  // Where a list entry links to: its page's file, or the exit page.
  std::string LinkFile(const std::string& key, bool exit_allowed) const;
  void WritePageFile(TWebPage& page);

  bool has_data_ = false;
  TKeyPool keys_;  // every key of the pages and their lists
  std::vector<std::unique_ptr<TWebPage>> pages_;
  std::vector<TWebPage*> page_of_key_;  // by key number; null: no page
  // Hit URLs already turned into keys; emptied when it grows too large.
  std::unordered_map<std::string, THitKeys> url_keys_;
  std::vector<THitKeys> visit_keys_;  // the current visit's, reused
  // Compaction cuts only the pages whose lists reached its size since it
  // last ran: looking at every page every few lines would cost more than
  // the whole pass on a log of many distinct pages. Unknown (a full look)
  // before the first compaction and when the size changes.
  static constexpr size_t kNoCompactSize = SIZE_MAX;
  size_t compact_size_ = kNoCompactSize;
  std::vector<TWebPage*> due_;
  void NoteSize(TWebPage& page, const THRefList& list);
  std::unordered_map<std::string, std::string> taken_files_;  // file name -> key
};

}  // namespace trelvar
