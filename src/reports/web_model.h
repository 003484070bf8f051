// TWebModel ("web_model"): a graph of the site built from finished visits.
//
// For every page (keyed by its lower-cased site, path and document, the
// query dropped) it counts how often it occurred in finished visits, where
// visitors came from, where they went next, which pages they reached later
// in the same visit and how long they stayed. Display writes "web_rpt.htm"
// (the index), one page file per site page and the exit page. The
// experimental report walks the graph through GuessNextPage.
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
#include <unordered_set>
#include <vector>

#include "reports/report_base.h"
#include "reports/row_index.h"

namespace trelvar {

// The keys of one model, each text stored once: lists of thousands of
// pages refer to them instead of holding copies.
class TKeyPool {
 public:
  std::string_view Intern(std::string_view key) {
    if (auto it = views_.find(key); it != views_.end()) return *it;
    return *views_.insert(texts_.emplace_back(key)).first;
  }
  void Clear() {
    views_.clear();
    texts_.clear();
  }

 private:
  std::deque<std::string> texts_;  // a deque: the texts never move
  std::unordered_set<std::string_view> views_;
};

// One counted key of a page's list.
struct TCustomHRef {
  std::string_view value;  // the key, held by the model's TKeyPool
  int32_t count = 0;
};

// The (key, count) records of one list, in insertion order until sorted.
// Short lists are searched directly; longer ones through a table of
// positions by hash, so counting costs the same however long a list gets.
class THRefList {
 public:
  void Count(std::string_view key, TKeyPool& pool) { Add(key, KeyHash(key), 1, pool); }
  // Adds `count` to the key's record, or appends one; `hash` is
  // KeyHash(key), worked out once by callers that count a key many times.
  void Add(std::string_view key, uint64_t hash, int32_t count, TKeyPool& pool);
  static uint64_t KeyHash(std::string_view key) { return std::hash<std::string_view>{}(key); }
  // Add for a key the pool gave out: such keys are equal exactly when their
  // texts are the same object, so no text is compared.
  void AddInterned(std::string_view pooled, uint64_t hash, int32_t count);
  // Stable, by count descending.
  void SortByCount();
  // Keeps the first `keep` records.
  void Truncate(size_t keep);
  void Clear();

  size_t Size() const { return items_.size(); }
  const TCustomHRef& operator[](size_t i) const { return items_[i]; }
  const TCustomHRef* Find(std::string_view key) const;

 private:
  static constexpr size_t kScanned = 8;  // lists up to this long have no table
  // Size() when missing; `pooled`: compare the texts' addresses only.
  size_t Position(std::string_view key, uint64_t hash, bool pooled = false) const;
  void Append(std::string_view pooled, uint64_t hash, int32_t count);
  void Reindex();
  void Place(uint32_t position, uint64_t hash);

  std::vector<TCustomHRef> items_;
  std::vector<uint32_t> slots_;  // position + 1; 0 is a free slot
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
};

class TWebModel : public TCustomWReport {
 public:
  explicit TWebModel(TReportContext& ctx);
  ~TWebModel() override;
  static std::string StaticTypeCaption();

  std::unique_ptr<TCustomWReport> Clone() const override;
  void ProcessLine() override;
  void Display() override;
  void Clear() override;
  std::string TypeCaption() const override { return StaticTypeCaption(); }
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
  // The page of exactly this key (or of the URL's key), or null.
  const TWebPage* FindPage(std::string_view key) const { return index_.Find(key); }

 private:
  void AddPage(const std::string& key, const std::string& input, double time,
               const std::string& output);
  TWebPage& PageOf(const std::string& key);
  // A unique file name for a new page's key.
  std::string AssignPageFile(const std::string& key);
  // Where a list entry links to: its page's file, or the exit page.
  std::string LinkFile(const std::string& key, bool exit_allowed) const;
  void WritePageFile(TWebPage& page);

  bool has_data_ = false;
  TKeyPool keys_;  // the texts of the list records
  std::vector<std::unique_ptr<TWebPage>> pages_;
  TRowIndex<TWebPage> index_;
  std::unordered_map<std::string, std::string> taken_files_;  // file name -> key
};

}  // namespace trelvar
