#include "reports/robot_memo.h"

#include "sites/robots.h"

namespace trelvar {

namespace {
const std::string kPerson;
}

void TRobotMemo::Use(const TRobots* catalogue) {
  std::lock_guard<std::mutex> lock(mutex_);
  catalogue_ = catalogue;
  names_.clear();
  generation_.fetch_add(1, std::memory_order_acq_rel);
}

const std::string& TRobotMemo::RobotOf(const std::string& agent) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (catalogue_ == nullptr) return kPerson;
  auto it = names_.find(agent);
  if (it == names_.end()) {
    if (names_.size() >= kLimit) names_.clear();
    it = names_.emplace(agent, &catalogue_->RobotOf(agent)).first;
  }
  return *it->second;
}

size_t TRobotMemo::Size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return names_.size();
}

}  // namespace trelvar
