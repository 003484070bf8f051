// TVisLine: groups the page hits of an analysis into visits.
//
// A visit is the run of page hits from one client address whose gaps stay
// below 30 minutes. The driver clears Done before each line; the first
// report that needs visits calls Update, the others read the result:
// OpenVisits (still running) and FinishedVisits (finished at this line:
// the first page hit of any client more than 30 minutes after the visit's
// last hit). Lines without the hit flag only empty FinishedVisits.
//
// Open visits are found through a per-address index, so a line costs the
// same however many clients are open. Owns its visits, which it shares
// with the reports; a finished visit's storage comes back to it when the
// last report lets the visit go, from any thread. Otherwise main thread
// only.
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <queue>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "logread/log_line.h"

namespace trelvar {

struct TVisPageTable {
  std::string url;  // field 3, decoded
  TSplitRef split;  // of the undecoded field 3
  TDateTime time_spent = 0;
  int timed_count = 0;
};

// The page hits of a visit, read as a vector. Clearing keeps the hits'
// storage (their URL texts above all), and Add fills the next kept hit
// before it makes a new one: a visit reused for the next one allocates
// nothing for its hits once it has held as many.
class THitList {
 public:
  using const_iterator = std::vector<TVisPageTable>::const_iterator;
  using iterator = std::vector<TVisPageTable>::iterator;

  THitList() = default;
  THitList(std::initializer_list<TVisPageTable> hits) : items_(hits), size_(hits.size()) {}
  THitList(const THitList& other)
      : items_(other.begin(), other.end()), size_(other.size_) {}
  THitList& operator=(const THitList& other) {
    if (this != &other) {
      clear();
      for (const TVisPageTable& h : other) push_back(h);
    }
    return *this;
  }
  THitList(THitList&&) noexcept = default;
  THitList& operator=(THitList&&) noexcept = default;

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.begin() + static_cast<ptrdiff_t>(size_); }
  iterator begin() { return items_.begin(); }
  iterator end() { return items_.begin() + static_cast<ptrdiff_t>(size_); }
  const TVisPageTable& operator[](size_t i) const { return items_[i]; }
  TVisPageTable& operator[](size_t i) { return items_[i]; }
  const TVisPageTable& front() const { return items_.front(); }
  const TVisPageTable& back() const { return items_[size_ - 1]; }
  TVisPageTable& back() { return items_[size_ - 1]; }
  void reserve(size_t n) { items_.reserve(n); }

  // A hit of `url` with its split, no time spent yet.
  void Add(std::string_view url, const TSplitRef& split) {
    TVisPageTable& h = Next();
    h.url.assign(url);
    h.split = split;
    h.time_spent = 0;
    h.timed_count = 0;
  }
  void push_back(const TVisPageTable& hit) { Next() = hit; }
  void push_back(TVisPageTable&& hit) { Next() = std::move(hit); }
  // No hits; the kept ones let their splits go.
  void clear() {
    for (size_t i = 0; i < size_; ++i) items_[i].split.reset();
    size_ = 0;
  }
  // Clears, and keeps the storage of `kept` hits at most.
  void ClearKeeping(size_t kept) {
    clear();
    if (items_.size() > kept) {
      items_.resize(kept);
      items_.shrink_to_fit();
    }
  }

 private:
  TVisPageTable& Next() {
    if (size_ == items_.size()) items_.emplace_back();
    return items_[size_++];
  }
  std::vector<TVisPageTable> items_;  // the first size_ are the hits
  size_t size_ = 0;
};

struct TVisPathTable {
  std::string address;
  std::string referrer;
  TSplitRef referrer_split = EmptySplit();
  TDateTime first_request = 0;
  TDateTime last_request = 0;
  std::string agent;
  std::string user_name;
  std::string browser, browser_version, platform, platform_version;
  std::string day_of_week;
  THitList hits;
  // The agent's robot name as the tracker's robot finder gave it when the
  // visit began, with the finder's generation; null when it was not asked.
  const std::string* robot = nullptr;
  uint64_t robot_generation = 0;
};

class TVisLine {
 public:
  static constexpr TDateTime kTimeout = 1.0 / 48;  // 30 minutes

  explicit TVisLine(const TCurrentLine& current);
  ~TVisLine();
  TVisLine(const TVisLine&) = delete;
  TVisLine& operator=(const TVisLine&) = delete;

  // Who names the robot of a new visit's agent (a name valid while the
  // generation stays), so that the visit reports need not each look it
  // up per visit.
  struct TRobotFinder {
    std::function<const std::string&(const std::string& agent)> name;
    std::function<uint64_t()> generation;
  };
  void SetRobotFinder(TRobotFinder finder) { robot_finder_ = std::move(finder); }

  // Brings the tracker up to date for the current line.
  void Update();
  bool Done() const { return done_; }
  void SetDone(bool done) { done_ = done; }
  // Update unless already done for this line.
  void EnsureUpdated() {
    if (!done_) Update();
  }

  // Shared and read-only: a report counting on another thread may hold a
  // visit after the next line.
  using TVisits = std::vector<std::shared_ptr<const TVisPathTable>>;
  const TVisits& FinishedVisits() const { return finished_; }
  // Open visits in the order they were started.
  std::vector<const TVisPathTable*> OpenVisits() const;
  size_t OpenCount() const { return open_.size(); }

  static TDateTime VisitDuration(const TVisPathTable& visit);
  void Clear();
  // Lets go of the storage kept for later visits, once a pass is over.
  void ReleaseSpares();

 private:
  // Visits come from a store that gets them back, storage and all, when
  // their last holder lets them go (on whichever thread that is).
  class TVisitStore;
  std::shared_ptr<TVisPathTable> NewVisit();
  std::shared_ptr<TVisitStore> store_;

  // Open visits by the serial of their start (list order), with indexes by
  // address and by last request (in milliseconds, so that a gap of exactly
  // 30 minutes is exactly the timeout).
  struct TOpen {
    // Shared from the start: a finished visit is handed on without a
    // second allocation for its count.
    std::shared_ptr<TVisPathTable> visit;
    int64_t last_ms = 0;
  };
  using TStamp = std::pair<int64_t, uint64_t>;  // (last request, serial)
  const TCurrentLine& current_;
  std::map<uint64_t, TOpen> open_;
  // Every last request a visit had, earliest on top; an entry is stale once
  // its visit has a later one (or is gone), and is skipped when it comes up.
  std::priority_queue<TStamp, std::vector<TStamp>, std::greater<TStamp>> by_last_;
  std::unordered_map<std::string, std::vector<std::pair<uint64_t, TOpen*>>> by_address_;
  // Entries taken out of the indexes, reused for the next ones with their
  // storage: a visit costs no allocation in them once they have enough.
  std::vector<decltype(open_)::node_type> spare_open_;
  std::vector<decltype(by_address_)::node_type> spare_addresses_;
  TVisits finished_;
  using TAddressIt = decltype(by_address_)::iterator;
  TOpen& AddOpen(uint64_t serial, TOpen open);
  TAddressIt AddAddress(const std::string& address);
  template <typename Node>
  static void Spare(std::vector<Node>& spare, Node node);
  std::vector<uint64_t> expired_;  // serials finishing at this line, kept for its storage
  TRobotFinder robot_finder_;
  uint64_t next_serial_ = 0;
  bool done_ = false;

  // The decoded text of the line's URL. URLs repeat, and decoding is dear:
  // recent ones are remembered with their raw text, in a place picked by
  // the split the parser shares among the lines of a URL. The places are
  // made at the first use: most passes never decode.
  const std::string& DecodedHref();
  struct TDecoded {
    std::string raw, decoded;
  };
  static constexpr size_t kDecodedPlaces = 4096;
  std::vector<TDecoded> decoded_;
};

}  // namespace trelvar
