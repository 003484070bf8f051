// TRobotMemo: the robot catalogue of a run with the answers it gave.
//
// Agents repeat on every line of a visit, so each distinct agent is matched
// against the catalogue once and its robot's name remembered; the memo is
// emptied when it reaches the parser's memo limit, so memory stays bounded
// on logs with endless agent variants. It does not own the catalogue. Safe
// for concurrent callers (the visit reports may count on a thread of their
// own): one lock guards the remembered answers. Answers are references
// into the catalogue, valid until `Use` is called again, which also moves
// `Generation` on so that callers can tell their own copies are stale.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace trelvar {

class TRobots;

class TRobotMemo {
 public:
  static constexpr size_t kLimit = 200000;

  // Forgets every answer and asks `catalogue` from now on (null: no agent
  // is a robot). Not while a pass runs.
  void Use(const TRobots* catalogue);
  const TRobots* Catalogue() const { return catalogue_; }
  uint64_t Generation() const { return generation_.load(std::memory_order_acquire); }

  // The name of the agent's robot; an empty text for a person.
  const std::string& RobotOf(const std::string& agent);
  size_t Size() const;

 private:
  const TRobots* catalogue_ = nullptr;
  std::atomic<uint64_t> generation_{0};
  mutable std::mutex mutex_;
  std::unordered_map<std::string, const std::string*> names_;  // guarded by mutex_
};

}  // namespace trelvar
