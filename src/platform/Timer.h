#pragma once

#include <cstdint>
#include <functional>

#include "platform/TComponent.h"

namespace trv {

class TTimer;

namespace platform {

// Delivers timer ticks on the thread that owns the timers: window timers on Windows, a timer
// queue that a loop (or a test) runs elsewhere.
class TimerService {
 public:
  virtual ~TimerService() = default;
  // Starts, or restarts, the timer with its current interval.
  virtual void Start(TTimer& timer) = 0;
  virtual void Stop(TTimer& timer) = 0;
  // Delivers what is pending now (window messages, due ticks) and returns.
  virtual void ProcessPending() = 0;
};

// The service of this platform, used unless a test installed another one.
TimerService& SystemTimerService();
TimerService& CurrentTimerService();

// Installs a timer service on the calling thread for the lifetime of this object (tests, and
// threads that run their own timer queue). Timers created while it is installed keep using it.
class ScopedTimerService {
 public:
  explicit ScopedTimerService(TimerService& service);
  ~ScopedTimerService();
  ScopedTimerService(const ScopedTimerService&) = delete;
  ScopedTimerService& operator=(const ScopedTimerService&) = delete;

 private:
  TimerService* previous_;
};

// Processes the pending window messages (or due ticks) of the calling thread.
inline void ProcessMessages() {
  CurrentTimerService().ProcessPending();
}

// Receives the message of an exception that left a timer's tick. The default writes it to the
// standard error stream; a host can take it over.
void SetTimerExceptionHandler(std::function<void(const std::string&)> handler);

}  // namespace platform

// A timer that calls OnTimer every Interval ms while Enabled, on its owner's thread. Like the
// form toolkit's timer it starts enabled with 1000 ms; it runs only with a positive interval
// and a handler. An exception that leaves the handler ends that tick and is reported to the
// timer exception handler; it never reaches the service.
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* owner);
  ~TTimer() override;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  uint32_t Interval() const { return interval_; }
  void SetInterval(uint32_t value);
  void SetOnTimer(std::function<void(TTimer&)> handler);
  bool Running() const { return running_; }

  // Names the one thing a tick waits for: input on a descriptor. While the source answers a
  // descriptor (not -1), a service that can wait on descriptors may leave out the ticks until
  // input arrives there, then ticks at the next moment of the timer's period, as it would have.
  // A tick that would have found nothing to do thus costs nothing. -1 asks for every tick.
  void SetIdleSource(std::function<intptr_t()> source) { idleSource_ = std::move(source); }
  intptr_t IdleDescriptor() const { return idleSource_ ? idleSource_() : -1; }

  // Called by the service at each period.
  void Tick();

 private:
  void Update();

  platform::TimerService& service_;
  std::function<void(TTimer&)> onTimer_;
  std::function<intptr_t()> idleSource_;
  uint32_t interval_ = 1000;
  bool enabled_ = true;
  bool running_ = false;
};

}  // namespace trv
