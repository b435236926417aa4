// The simulated computer's virtual clock: Sleep advances it, so waits cost no real time.
// Parts of the simulation that change state over time register an observer.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

namespace sim {

class Clock {
 public:
  uint64_t Now() const { return now_; }
  void Advance(uint64_t ms) {
    now_ += ms;
    for (auto& observer : observers_) observer(now_);
  }
  void OnAdvance(std::function<void(uint64_t)> observer) {
    observers_.push_back(std::move(observer));
  }

 private:
  uint64_t now_ = 1000;
  std::vector<std::function<void(uint64_t)>> observers_;
};

}  // namespace sim
