#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "ScaleStation.h"

namespace trv::service {

// The events a listener got, taken from the station's thread.
class StationEvents {
 public:
  ScaleStation::Listener Listener() {
    return [this](const StatusEvent& event) { Add(event); };
  }
  void Add(const StatusEvent& event) {
    const std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
    arrived_.notify_all();
  }
  // The first event after those already seen whose status begins with `text`.
  bool Next(const std::string& text, StatusEvent& found, std::chrono::seconds patience) {
    return NextWhere([&](const StatusEvent& event) { return event.status.rfind(text, 0) == 0; },
                     found, patience);
  }
  // The first event after those already seen with this estado.
  bool NextState(const std::string& estado, StatusEvent& found, std::chrono::seconds patience) {
    return NextWhere([&](const StatusEvent& event) { return event.estado == estado; }, found,
                     patience);
  }
  // The estados of every event so far, in order.
  std::vector<std::string> States() {
    const std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> states;
    for (const StatusEvent& event : events_) states.push_back(event.estado);
    return states;
  }

 private:
  template <typename Wanted>
  bool NextWhere(const Wanted& wanted, StatusEvent& found, std::chrono::seconds patience) {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, patience, [&] {
      for (; seen_ < events_.size(); ++seen_) {
        if (!wanted(events_[seen_])) continue;
        found = events_[seen_++];
        return true;
      }
      return false;
    });
  }

  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<StatusEvent> events_;
  size_t seen_ = 0;
};

}  // namespace trv::service
