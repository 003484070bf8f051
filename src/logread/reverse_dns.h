// TReverseDns: the two line queues of a line parser, the host-name cache
// and the pool of reverse-DNS workers (TDnsThread).
//
// Parsed lines enter either straight into ReadyLines (no resolution) or,
// with resolution on, into WaitingLines (Admit): a line whose address is
// cached gets its user field (code 17) from the cache at once, a line whose
// address is already being resolved waits for that worker, any other line
// starts a worker in the first free slot. A worker does one blocking lookup
// at lowest priority, stores the name in the cache (AddToLibrary), which
// resolves every waiting line of that address, frees its slot and moves the
// resolved lines on (CleanCache). So a line of a cached address can pass an
// older line whose address is still being resolved; lines that move on
// together keep their file order.
//
// A lookup that takes longer than the timeout counts as failed: its address
// gets an empty name, its slot is freed and the late result is dropped.
// Texts that are no dotted IPv4 address get an empty name without a lookup.
//
// Threads and locking: one mutex, a member of the state that the parser
// and its workers share through a std::shared_ptr, guards the queues, the
// cache and the slots. The main thread takes it for each operation here and
// never holds it while it waits; a worker holds it only while it stores its
// result and moves lines on. When this object goes, running workers are
// detached: they keep the shared state (and the lookup) alive until they
// end and drop their results. Every member function is for the parser's
// thread; none throws except for lack of memory. Until the first worker is
// started nothing is locked, as only the parser's thread can be there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/datetime.h"
#include "logread/log_line.h"
#include "platform/reverse_lookup.h"

namespace trelvar {

// At most this many parsed lines are held ahead of delivery.
inline constexpr size_t kDnsLookAhead = 1000;
// A lookup slower than this counts as failed.
inline constexpr int kDnsLookupTimeoutMs = 5000;
// More workers than lines held ahead could never be busy.
inline constexpr int kDnsMaxThreads = static_cast<int>(kDnsLookAhead);

// One resolved address; the name is empty when the lookup failed.
struct TIpToDns {
  std::string address;
  std::string host_name;
  TDateTime last_use = 0;
};

// The resolved addresses of one analysis in insertion order, found through a
// hash index (the first entry of an address wins). Never pruned. Not
// thread-safe.
class TDnsCache {
 public:
  TIpToDns* Find(const std::string& address);
  void Add(const std::string& address, const std::string& name, TDateTime now);
  size_t Count() const { return entries_.size(); }
  const TIpToDns& Entry(size_t i) const { return entries_[i]; }

 private:
  std::vector<TIpToDns> entries_;
  std::unordered_map<std::string, size_t> index_;
};

class TReverseDns {
 public:
  using TParsed = std::unique_ptr<TLineParserLogLine>;

  // `threads` worker slots (clamped to 1 .. kDnsMaxThreads; 0 or less
  // prepares none, for a parser without reverse DNS). `lookup` must not be
  // null when resolution is switched on.
  TReverseDns(int threads, std::shared_ptr<platform::TReverseLookup> lookup,
              int timeout_ms = kDnsLookupTimeoutMs);
  ~TReverseDns();
  TReverseDns(const TReverseDns&) = delete;
  TReverseDns& operator=(const TReverseDns&) = delete;

  // Starts the lookup service and switches resolution on for the scan;
  // false (resolution stays off) without slots or when the service cannot
  // be started. Stop switches it off.
  bool Start();
  void Stop() { active_ = false; }
  bool Active() const { return active_; }

  // A line that needs no resolution, for delivery in file order.
  void AppendReady(TParsed line);
  // Whether FillCache may parse another line: fewer than kDnsLookAhead lines
  // held and a free worker slot.
  bool HasRoom() const;
  // Appends `line` to WaitingLines and resolves it from the cache, lets it
  // wait for the worker of its address or starts a worker for it.
  void Admit(TParsed line);
  // Moves the resolved lines from WaitingLines to ReadyLines in their
  // order; true when any moved.
  bool CleanCache();
  // Waits until the oldest waiting line is resolved (or its lookup timed
  // out); `cancelled` (may be empty) is asked every 20 ms at the most, may
  // let user-interface events run, and ends the wait with false when it
  // says so. Then CleanCache.
  bool WaitForOldest(const std::function<bool()>& cancelled);
  // The first ready line, or null.
  TParsed TakeReady();

  bool ReadyEmpty() const;
  bool WaitingEmpty() const;
  bool Empty() const;  // both queues

  // The lowest free slot, or -1. IpInWork: a running worker resolves
  // `address`.
  int GetFreeDnsThread() const;
  bool IpInWork(const std::string& address) const;
  int SlotCount() const;
  // The cached name of `address` (empty when the lookup failed), or nothing
  // when it is not cached.
  std::optional<std::string> CachedName(const std::string& address) const;
  size_t CacheCount() const;

  struct TState;  // shared with the workers; defined in the source

 private:
  // The state's lock once workers may run, else none.
  std::unique_lock<std::mutex> Hold() const;

  std::shared_ptr<TState> state_;
  bool active_ = false;
  bool threaded_ = false;  // a worker may have been started
};

}  // namespace trelvar
