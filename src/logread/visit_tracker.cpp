#include "logread/visit_tracker.h"

#include <algorithm>
#include <cmath>

namespace trelvar {

namespace {
constexpr int64_t kTimeoutMs = 30 * 60 * 1000;
int64_t ToMs(TDateTime t) { return std::llround(t * 86400000.0); }
}  // namespace

void TVisLine::Update() {
  finished_.clear();
  const TLogLine& line = current_.line;
  if (line.is_hit) {
    const TDateTime t = line.timestamp;
    const int64_t t_ms = ToMs(t);
    const std::string& address = current_.fields[kFieldIp];
    auto& of_address = by_address_[address];
    TOpen* open = nullptr;
    uint64_t serial = 0;
    for (const auto& [s, o] : of_address)
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
      auto v = std::make_shared<TVisPathTable>();
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
      open = &open_.emplace(serial, TOpen{std::move(v), t_ms}).first->second;
      of_address.emplace_back(serial, open);
      by_last_.push({t_ms, serial});
    }
    open->visit->last_request = t;
    open->visit->hits.push_back({DecodedHref(), line.request, 0, 0});

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
      if (list->second.empty()) by_address_.erase(list);
      finished_.push_back(std::move(it->second.visit));
      open_.erase(it);
    }
  }
  done_ = true;
}

const std::string& TVisLine::DecodedHref() {
  const std::string& raw = current_.fields[kFieldHref];
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

void TVisLine::Clear() {
  open_.clear();
  by_last_ = {};
  by_address_.clear();
  finished_.clear();
}

}  // namespace trelvar
