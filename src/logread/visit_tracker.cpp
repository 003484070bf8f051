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
    std::vector<uint64_t>& serials = by_address_[address];
    TVisPathTable* visit = nullptr;
    uint64_t serial = 0;
    for (uint64_t s : serials) {
      if (t_ms - last_ms_[s] < kTimeoutMs) {
        serial = s;
        visit = open_[s].get();
        break;
      }
    }
    if (visit != nullptr) {
      TVisPageTable& last = visit->hits.back();
      last.time_spent = t - visit->last_request;
      if (last.time_spent > 0) last.timed_count = 1;
      by_last_.erase({last_ms_[serial], serial});
    } else {
      auto v = std::make_unique<TVisPathTable>();
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
      serial = next_serial_++;
      visit = v.get();
      open_.emplace(serial, std::move(v));
      serials.push_back(serial);
    }
    visit->last_request = t;
    last_ms_[serial] = t_ms;
    by_last_.insert({t_ms, serial});
    visit->hits.push_back({DecodeUrlText(current_.fields[kFieldHref]), line.request, 0, 0});

    // Visits whose last hit lies more than the timeout back are finished,
    // in list order.
    std::vector<uint64_t> expired;
    while (!by_last_.empty() && t_ms - by_last_.begin()->first > kTimeoutMs) {
      expired.push_back(by_last_.begin()->second);
      by_last_.erase(by_last_.begin());
    }
    std::sort(expired.begin(), expired.end());
    for (uint64_t s : expired) {
      auto it = open_.find(s);
      auto& list = by_address_[it->second->address];
      list.erase(std::find(list.begin(), list.end(), s));
      if (list.empty()) by_address_.erase(it->second->address);
      last_ms_.erase(s);
      finished_.push_back(std::move(it->second));
      open_.erase(it);
    }
  }
  done_ = true;
}

std::vector<const TVisPathTable*> TVisLine::OpenVisits() const {
  std::vector<const TVisPathTable*> r;
  for (const auto& [serial, v] : open_) r.push_back(v.get());
  return r;
}

TDateTime TVisLine::VisitDuration(const TVisPathTable& visit) {
  TDateTime d = 0;
  for (const TVisPageTable& h : visit.hits) d += h.time_spent;
  return d;
}

void TVisLine::Clear() {
  open_.clear();
  by_last_.clear();
  by_address_.clear();
  last_ms_.clear();
  finished_.clear();
}

}  // namespace trelvar
