#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "ScaleStation.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace trv::service {

// A Filizola scale of 1234 g behind fake ports: its answers can be held back (so requests queue
// up behind one that waits), each request can be watched on the station's thread, and it tells
// whether its port is open.
class ScriptedScale {
 public:
  ScaleStation::PortFactory Factory() {
    return [this] { return std::make_unique<Port>(*this); };
  }
  // Called on the station's thread with each request, before the scale answers.
  void SetOnRequest(std::function<void()> watch) { onRequest_ = std::move(watch); }
  void Hold() {
    const std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
  }
  void Release() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      held_ = false;
    }
    changed_.notify_all();
  }
  bool RequestsReach(int count) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(5), [&] { return requests_ >= count; });
  }
  int Requests() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }
  bool Open() const { return open_; }
  int Opens() const { return opens_; }

 private:
  // A fake port with a clock of its own, passed through so that its opening and closing are
  // seen.
  class Port final : public CommPort {
   public:
    explicit Port(ScriptedScale& scale) : scale_(scale) {
      fake_.SetResponder([this](const Bytes&) {
        scale_.Answer();
        fake_.ArriveAfter(0,
                          "\x02"
                          "001234"
                          "\x03");
      });
    }
    bool Open(const std::string& path) override {
      const bool opened = fake_.Open(path);
      if (opened) ++scale_.opens_;
      scale_.open_ = opened;
      return opened;
    }
    void Close() override {
      fake_.Close();
      scale_.open_ = false;
    }
    bool IsOpen() const override { return fake_.IsOpen(); }
    intptr_t NativeHandle() const override { return fake_.NativeHandle(); }
    intptr_t InputDescriptor() const override { return fake_.InputDescriptor(); }
    void Prepare(uint32_t size) override { fake_.Prepare(size); }
    void SetupQueues(uint32_t size) override { fake_.SetupQueues(size); }
    bool GetState(Dcb& dcb) override { return fake_.GetState(dcb); }
    bool SetState(const Dcb& dcb) override { return fake_.SetState(dcb); }
    bool Purge(uint32_t flags) override { return fake_.Purge(flags); }
    bool Flush() override { return fake_.Flush(); }
    TransferOutcome Write(const char* data, int length, int deadlockMs, int& transferred) override {
      return fake_.Write(data, length, deadlockMs, transferred);
    }
    TransferOutcome Read(char* data, int length, int deadlockMs, int& transferred) override {
      return fake_.Read(data, length, deadlockMs, transferred);
    }
    bool ClearError(CommStatus& status) override { return fake_.ClearError(status); }
    bool InputWaiting(uint32_t& count) override { return fake_.InputWaiting(count); }
    bool TakeLineErrors(uint32_t& errors) override { return fake_.TakeLineErrors(errors); }
    void Escape(comm::Escape function) override { fake_.Escape(function); }
    bool ModemStatus(uint32_t& word) override { return fake_.ModemStatus(word); }
    uint32_t WaitEvent(uint32_t mask, int timeoutMs) override {
      return fake_.WaitEvent(mask, timeoutMs);
    }
    bool WaitSeesWaitingInput() const override { return fake_.WaitSeesWaitingInput(); }
    bool SetBreak(bool on) override { return fake_.SetBreak(on); }
    int LastError() const override { return fake_.LastError(); }

   private:
    ScriptedScale& scale_;
    platform::ManualClock clock_{10000};
    CommPortFake fake_{clock_};
  };

  void Answer() {
    if (onRequest_) onRequest_();
    std::unique_lock<std::mutex> lock(mutex_);
    ++requests_;
    changed_.notify_all();
    changed_.wait(lock, [this] { return !held_; });
  }

  std::function<void()> onRequest_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool held_ = false;
  int requests_ = 0;
  std::atomic<bool> open_{false};
  std::atomic<int> opens_{0};
};

}  // namespace trv::service
