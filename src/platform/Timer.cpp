#include "platform/Timer.h"

#include <cstdio>
#include <exception>
#include <string>

namespace trv {
namespace platform {
namespace {

// Per thread: a thread that runs its own timer queue (a service's worker) installs it for itself.
thread_local TimerService* current = nullptr;

std::function<void(const std::string&)>& ExceptionHandler() {
  static std::function<void(const std::string&)> handler = [](const std::string& message) {
    std::fprintf(stderr, "travinel: exception in a timer tick: %s\n", message.c_str());
  };
  return handler;
}

}  // namespace

TimerService& CurrentTimerService() {
  return current != nullptr ? *current : SystemTimerService();
}

ScopedTimerService::ScopedTimerService(TimerService& service) : previous_(current) {
  current = &service;
}

ScopedTimerService::~ScopedTimerService() {
  current = previous_;
}

void SetTimerExceptionHandler(std::function<void(const std::string&)> handler) {
  ExceptionHandler() = std::move(handler);
}

}  // namespace platform

TTimer::TTimer(TComponent* owner) : TComponent(owner), service_(platform::CurrentTimerService()) {}

TTimer::~TTimer() {
  if (running_) service_.Stop(*this);
}

void TTimer::SetEnabled(bool value) {
  if (value == enabled_) return;
  enabled_ = value;
  Update();
}

void TTimer::SetInterval(uint32_t value) {
  if (value == interval_) return;
  interval_ = value;
  Update();
}

void TTimer::SetOnTimer(std::function<void(TTimer&)> handler) {
  onTimer_ = std::move(handler);
  Update();
}

void TTimer::Update() {
  if (running_) service_.Stop(*this);
  running_ = enabled_ && interval_ > 0 && onTimer_;
  if (running_) service_.Start(*this);
}

void TTimer::Tick() {
  if (!running_) return;
  try {
    onTimer_(*this);
  } catch (const std::exception& e) {
    platform::ExceptionHandler()(e.what());
  } catch (...) {
    platform::ExceptionHandler()("unknown exception");
  }
}

}  // namespace trv
