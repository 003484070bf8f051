#include "logread/visit_tracker.h"

#include <algorithm>
#include <cmath>
#include <mutex>

namespace trelvar {

namespace {
constexpr int64_t kTimeoutMs = 30 * 60 * 1000;
int64_t ToMs(TDateTime t) { return std::llround(t * 86400000.0); }
// Storage kept for later visits: at most this many spare visits and index
// entries, with the storage of this many hits each (a robot's long visit
// must not hold its hits' storage for good).
constexpr size_t kSpareVisits = 256;
constexpr size_t kSpareEntries = 1024;
constexpr size_t kKeptHits = 8;
}  // namespace

class TVisLine::TVisitStore {
 public:
  ~TVisitStore() {
    for (TVisPathTable* v : spare_) delete v;
  }
  TVisPathTable* Take() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_.empty()) {
        TVisPathTable* v = spare_.back();
        spare_.pop_back();
        return v;
      }
    }
    return new TVisPathTable;
  }
  // Empties `v` for its next visit, keeping the storage of its texts.
  void Give(TVisPathTable* v) {
    for (std::string* text : {&v->address, &v->referrer, &v->agent, &v->user_name, &v->browser,
                              &v->browser_version, &v->platform, &v->platform_version,
                              &v->day_of_week})
      text->clear();
    v->referrer_split.reset();
    v->first_request = v->last_request = 0;
    v->hits.ClearKeeping(kKeptHits);
    v->robot = nullptr;
    v->robot_generation = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (spare_.size() < kSpareVisits) {
        spare_.push_back(v);
        return;
      }
    }
    delete v;
  }
  void Drop() {
    std::vector<TVisPathTable*> spare;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      spare.swap(spare_);
    }
    for (TVisPathTable* v : spare) delete v;
  }

 private:
  std::mutex mutex_;
  std::vector<TVisPathTable*> spare_;
};

TVisLine::TVisLine(const TCurrentLine& current)
    : store_(std::make_shared<TVisitStore>()), current_(current) {}

TVisLine::~TVisLine() = default;

std::shared_ptr<TVisPathTable> TVisLine::NewVisit() {
  // The store lives as long as a visit that may come back to it.
  return std::shared_ptr<TVisPathTable>(
      store_->Take(), [store = store_](TVisPathTable* v) { store->Give(v); });
}

void TVisLine::Update() {
  finished_.clear();
  const TLogLine& line = current_.line;
  if (line.is_hit) {
    const TDateTime t = line.timestamp;
    const int64_t t_ms = ToMs(t);
    const std::string& address = current_.fields[kFieldIp];
    auto of_address = by_address_.find(address);
    TOpen* open = nullptr;
    uint64_t serial = 0;
    if (of_address != by_address_.end())
      for (const auto& [s, o] : of_address->second)
        if (t_ms - o->last_ms < kTimeoutMs) {
          serial = s;
          open = o;
          break;
        }
    if (open != nullptr) {
      TVisPathTable& visit = *open->visit;
      TVisPageTable& last = visit.hits.back();
      last.time_spent = t - visit.last_request;
      if (last.time_spent > 0) last.timed_count = 1;
      if (open->last_ms != t_ms) {
        open->last_ms = t_ms;
        by_last_.push({t_ms, serial});
      }
    } else {
      std::shared_ptr<TVisPathTable> v = NewVisit();
      v->address = address;
      v->referrer = current_.fields[kFieldReferrer];
      v->referrer_split = line.referrer;
      v->first_request = t;
      v->agent = current_.fields[kFieldAgent];
      v->user_name = current_.fields[kFieldUserName];
      v->browser = line.browser;
      v->browser_version = line.browser_version;
      v->platform = line.platform;
      v->platform_version = line.platform_version;
      v->day_of_week = line.day_of_week;
      if (robot_finder_.name) {
        v->robot_generation = robot_finder_.generation();
        v->robot = &robot_finder_.name(v->agent);
      }
      v->hits.reserve(8);  // most visits are short; growing copies every hit
      serial = next_serial_++;
      open = &AddOpen(serial, TOpen{std::move(v), t_ms});
      if (of_address == by_address_.end()) of_address = AddAddress(address);
      of_address->second.emplace_back(serial, open);
      by_last_.push({t_ms, serial});
    }
    open->visit->last_request = t;
    open->visit->hits.Add(DecodedHref(), line.request);

    // Visits whose last hit lies more than the timeout back are finished,
    // in list order.
    std::vector<uint64_t>& expired = expired_;
    expired.clear();
    while (!by_last_.empty() && t_ms - by_last_.top().first > kTimeoutMs) {
      const auto [stamp, serial] = by_last_.top();
      by_last_.pop();
      auto it = open_.find(serial);
      if (it != open_.end() && it->second.last_ms == stamp) expired.push_back(serial);
    }
    // A visit whose last time came back (t0, t1 < t0, t0) has that time in
    // the heap twice, and both entries are current: it is finished once.
    std::sort(expired.begin(), expired.end());
    expired.erase(std::unique(expired.begin(), expired.end()), expired.end());
    for (uint64_t s : expired) {
      auto it = open_.find(s);
      const std::string& visit_address = it->second.visit->address;
      auto list = by_address_.find(visit_address);
      std::erase_if(list->second, [&](const auto& entry) { return entry.first == s; });
      if (list->second.empty()) Spare(spare_addresses_, by_address_.extract(list));
      finished_.push_back(std::move(it->second.visit));
      Spare(spare_open_, open_.extract(it));
    }
  }
  done_ = true;
}

TVisLine::TOpen& TVisLine::AddOpen(uint64_t serial, TOpen open) {
  // Serials only grow: the new visit goes last.
  if (spare_open_.empty()) return open_.emplace_hint(open_.end(), serial, std::move(open))->second;
  auto node = std::move(spare_open_.back());
  spare_open_.pop_back();
  node.key() = serial;
  node.mapped() = std::move(open);
  return open_.insert(open_.end(), std::move(node))->second;
}

TVisLine::TAddressIt TVisLine::AddAddress(const std::string& address) {
  if (spare_addresses_.empty()) return by_address_.try_emplace(address).first;
  auto node = std::move(spare_addresses_.back());
  spare_addresses_.pop_back();
  node.key().assign(address);
  node.mapped().clear();
  return by_address_.insert(std::move(node)).position;
}

template <typename Node>
void TVisLine::Spare(std::vector<Node>& spare, Node node) {
  if (spare.size() < kSpareEntries) spare.push_back(std::move(node));
}

const std::string& TVisLine::DecodedHref() {
  const std::string& raw = current_.fields[kFieldHref];
  if (decoded_.empty()) decoded_.resize(kDecodedPlaces);
  const auto split = reinterpret_cast<uintptr_t>(current_.line.request.get());
  // The raw text decides: the split only picks the place.
  TDecoded& d = decoded_[((split >> 4) ^ (split >> 12)) & (decoded_.size() - 1)];
  if (d.raw != raw) {  // an empty place holds "" decoded, rightly
    d.raw = raw;
    d.decoded = DecodeUrlText(raw);
  }
  return d.decoded;
}

std::vector<const TVisPathTable*> TVisLine::OpenVisits() const {
  std::vector<const TVisPathTable*> r;
  for (const auto& [serial, o] : open_) r.push_back(o.visit.get());
  return r;
}

TDateTime TVisLine::VisitDuration(const TVisPathTable& visit) {
  TDateTime d = 0;
  for (const TVisPageTable& h : visit.hits) d += h.time_spent;
  return d;
}

void TVisLine::ReleaseSpares() {
  store_->Drop();
  spare_open_.clear();
  spare_addresses_.clear();
}

void TVisLine::Clear() {
  open_.clear();
  by_last_ = {};
  by_address_.clear();
  finished_.clear();
}

}  // namespace trelvar
