#include "logread/reverse_dns.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/system.h"

namespace trelvar {

// --- the host-name cache --------------------------------------------------------

TIpToDns* TDnsCache::Find(const std::string& address) {
  auto it = index_.find(address);
  return it == index_.end() ? nullptr : &entries_[it->second];
}

void TDnsCache::Add(const std::string& address, const std::string& name, TDateTime now) {
  entries_.push_back({address, name, now});
  index_.emplace(address, entries_.size() - 1);  // an earlier entry keeps its place
}

// --- the shared state -------------------------------------------------------------

namespace {

struct TSlot {
  bool busy = false;
  std::string address;
  int64_t started_ms = 0;
  // Counts the workers of the slot, so that a worker whose lookup timed
  // out recognises that the slot is no longer its own.
  uint64_t generation = 0;
};

}  // namespace

struct TReverseDns::TState {
  std::mutex lock;  // guards everything below
  std::condition_variable changed;
  std::deque<TParsed> waiting;
  std::deque<TParsed> ready;
  size_t resolved_waiting = 0;  // lines in `waiting` that may move on
  // The waiting lines of every address a worker is resolving.
  std::unordered_map<std::string, std::vector<TLineParserLogLine*>> in_work;
  TDnsCache cache;
  std::vector<TSlot> slots;
  std::shared_ptr<platform::TReverseLookup> lookup;
  int timeout_ms = kDnsLookupTimeoutMs;
  bool detached = false;  // the parser has gone: results are dropped
  // The time of last use of cache entries is kept to the second; the clock
  // of the day is read at most once a second.
  int64_t use_time_ms = 0;
  TDateTime use_time = 0;

  TDateTime UseTime() {
    const int64_t ms = platform::MonotonicMilliseconds();
    if (use_time == 0 || ms - use_time_ms >= 1000) {
      use_time = Now();
      use_time_ms = ms;
    }
    return use_time;
  }

  int FreeSlot() const {
    for (size_t i = 0; i < slots.size(); ++i)
      if (!slots[i].busy) return static_cast<int>(i);
    return -1;
  }

  void Release(int slot) {
    TSlot& s = slots[static_cast<size_t>(slot)];
    s.busy = false;
    s.address.clear();
    ++s.generation;
  }

  // Stores the name of `address` and resolves its waiting lines.
  void AddToLibrary(const std::string& address, const std::string& name) {
    cache.Add(address, name, UseTime());
    auto it = in_work.find(address);
    if (it == in_work.end()) return;
    for (TLineParserLogLine* line : it->second) {
      line->fields[kFieldUserName] = name;
      line->dns_done = true;
    }
    resolved_waiting += it->second.size();
    in_work.erase(it);
  }

  bool CleanCache() {
    if (resolved_waiting == 0) return false;
    // One stable pass: resolved lines move on in file order, the others
    // keep theirs.
    std::deque<TParsed> still;
    bool moved = false;
    for (TParsed& line : waiting) {
      if (line->dns_done) {
        ready.push_back(std::move(line));
        moved = true;
      } else {
        still.push_back(std::move(line));
      }
    }
    waiting.swap(still);
    resolved_waiting = 0;
    return moved;
  }

  // Lookups that ran out of time count as failed.
  void ExpireSlow() {
    const int64_t now = platform::MonotonicMilliseconds();
    for (size_t i = 0; i < slots.size(); ++i) {
      TSlot& s = slots[i];
      if (!s.busy || now - s.started_ms < timeout_ms) continue;
      const std::string address = s.address;
      Release(static_cast<int>(i));
      AddToLibrary(address, "");
    }
  }
};

// --- the worker -----------------------------------------------------------------

namespace {

// One blocking reverse lookup in a thread of its own; the thread owns the
// worker and frees it when the lookup is over.
class TDnsThread {
 public:
  TDnsThread(std::shared_ptr<TReverseDns::TState> state, std::string address, int slot,
             uint64_t generation)
      : lookup_(state->lookup),
        state_(std::move(state)),
        address_(std::move(address)),
        slot_(slot),
        generation_(generation) {}

  void Run() {
    platform::LowerCurrentThreadPriority();
    std::string name;
    try {
      if (std::optional<std::string> found = lookup_->Lookup(address_)) name = std::move(*found);
    } catch (...) {
      name.clear();  // a failing lookup is a lookup without an answer
    }
    DnsThreadIpFound(name);
  }

 private:
  void DnsThreadIpFound(const std::string& name) {
    {
      std::lock_guard<std::mutex> hold(state_->lock);
      TSlot& slot = state_->slots[static_cast<size_t>(slot_)];
      // A parser that has gone or a slot given up for slowness drops the
      // result.
      if (!state_->detached && slot.busy && slot.generation == generation_) {
        state_->Release(slot_);
        state_->AddToLibrary(address_, name);
        state_->CleanCache();
      }
    }
    state_->changed.notify_all();
  }

  // Declared first, freed last: the state goes before the lookup it uses.
  std::shared_ptr<platform::TReverseLookup> lookup_;
  std::shared_ptr<TReverseDns::TState> state_;
  std::string address_;
  int slot_;
  uint64_t generation_;
};

}  // namespace

// --- the pool ---------------------------------------------------------------------

TReverseDns::TReverseDns(int threads, std::shared_ptr<platform::TReverseLookup> lookup,
                         int timeout_ms)
    : state_(std::make_shared<TState>()) {
  if (threads > 0) state_->slots.resize(static_cast<size_t>(std::min(threads, kDnsMaxThreads)));
  state_->lookup = std::move(lookup);
  state_->timeout_ms = timeout_ms;
}

TReverseDns::~TReverseDns() {
  std::deque<TParsed> waiting, ready;
  {
    std::lock_guard<std::mutex> hold(state_->lock);
    state_->detached = true;
    state_->in_work.clear();
    waiting.swap(state_->waiting);
    ready.swap(state_->ready);
  }
  // The lines are freed here, outside the lock; running workers only find
  // the detached flag.
}

std::unique_lock<std::mutex> TReverseDns::Hold() const {
  // Before the first worker starts only this thread touches the state, so
  // a pass without reverse DNS never locks.
  if (!threaded_) return std::unique_lock<std::mutex>();
  return std::unique_lock<std::mutex>(state_->lock);
}

bool TReverseDns::Start() {
  active_ = !state_->slots.empty() && state_->lookup != nullptr && state_->lookup->Start();
  return active_;
}

void TReverseDns::AppendReady(TParsed line) {
  line->dns_done = true;
  line->dns_worker = -1;
  const auto hold = Hold();
  state_->ready.push_back(std::move(line));
}

bool TReverseDns::HasRoom() const {
  const auto hold = Hold();
  const TState& s = *state_;
  return s.waiting.size() + s.ready.size() < kDnsLookAhead && (!active_ || s.FreeSlot() >= 0);
}

void TReverseDns::Admit(TParsed line) {
  TLineParserLogLine* raw = line.get();
  raw->dns_worker = -1;
  raw->dns_done = false;
  auto resolved = [&](const std::string& name) {
    raw->fields[kFieldUserName] = name;
    raw->dns_done = true;
    ++state_->resolved_waiting;
  };

  if (active_) threaded_ = true;  // from here on workers may share the state
  const auto hold = Hold();
  TState& s = *state_;
  s.waiting.push_back(std::move(line));
  if (!active_) {  // nothing to resolve: the user field stays
    raw->dns_done = true;
    ++s.resolved_waiting;
    return;
  }
  const std::string& address = raw->fields[kFieldIp];
  // FillUserNameByDns: the cache first.
  if (TIpToDns* known = s.cache.Find(address)) {
    known->last_use = s.UseTime();
    resolved(known->host_name);
    return;
  }
  // A worker on this address resolves this line too.
  if (auto work = s.in_work.find(address); work != s.in_work.end()) {
    work->second.push_back(raw);
    return;
  }
  // Host names and other texts have no reverse name to look up.
  if (!platform::ParseDottedIPv4(address)) {
    s.cache.Add(address, "", s.UseTime());
    resolved("");
    return;
  }
  const int slot = s.FreeSlot();
  if (slot < 0) {
    // Callers ask HasRoom first; should they not, the line goes on
    // unresolved rather than waiting for a worker that never comes.
    resolved("");
    return;
  }
  TSlot& free_slot = s.slots[static_cast<size_t>(slot)];
  free_slot.busy = true;
  free_slot.address = address;
  free_slot.started_ms = platform::MonotonicMilliseconds();
  s.in_work[address].push_back(raw);
  raw->dns_worker = slot;
  try {
    auto worker = std::make_unique<TDnsThread>(state_, address, slot, free_slot.generation);
    std::thread([w = std::move(worker)]() mutable {
      w->Run();
      w.reset();
    }).detach();
  } catch (...) {
    // No thread: the address gets no name.
    s.Release(slot);
    s.AddToLibrary(address, "");
  }
}

bool TReverseDns::CleanCache() {
  const auto hold = Hold();
  return state_->CleanCache();
}

bool TReverseDns::WaitForOldest(const std::function<bool()>& cancelled) {
  TState& s = *state_;
  std::unique_lock<std::mutex> hold(s.lock);
  // A worker moves the lines it resolves on itself: a ready line also ends
  // the wait.
  auto over = [&] { return !s.ready.empty() || s.waiting.empty() || s.waiting.front()->dns_done; };
  while (!over()) {
    s.ExpireSlow();
    if (over()) break;
    // The wait releases the lock; a worker's result wakes it early.
    s.changed.wait_for(hold, std::chrono::milliseconds(20));
    hold.unlock();
    const bool stop = cancelled && cancelled();
    hold.lock();
    if (stop) return false;
  }
  s.CleanCache();
  return true;
}

TReverseDns::TParsed TReverseDns::TakeReady() {
  const auto hold = Hold();
  if (state_->ready.empty()) return nullptr;
  TParsed line = std::move(state_->ready.front());
  state_->ready.pop_front();
  return line;
}

bool TReverseDns::ReadyEmpty() const {
  const auto hold = Hold();
  return state_->ready.empty();
}

bool TReverseDns::WaitingEmpty() const {
  const auto hold = Hold();
  return state_->waiting.empty();
}

bool TReverseDns::Empty() const {
  const auto hold = Hold();
  return state_->waiting.empty() && state_->ready.empty();
}

int TReverseDns::GetFreeDnsThread() const {
  const auto hold = Hold();
  return state_->FreeSlot();
}

bool TReverseDns::IpInWork(const std::string& address) const {
  const auto hold = Hold();
  return state_->in_work.count(address) != 0;
}

int TReverseDns::SlotCount() const {
  return static_cast<int>(state_->slots.size());  // fixed after construction
}

std::optional<std::string> TReverseDns::CachedName(const std::string& address) const {
  const auto hold = Hold();
  if (TIpToDns* e = state_->cache.Find(address)) return e->host_name;
  return std::nullopt;
}

size_t TReverseDns::CacheCount() const {
  const auto hold = Hold();
  return state_->cache.Count();
}

}  // namespace trelvar
