#include "ScaleStation.h"

#include <chrono>
#include <future>

#include "WeighingSession.h"
#include "control/FrmActivexForm.h"
#include "control/HeadlessControls.h"
#include "platform/Clock.h"
#include "platform/TimerQueue.h"

namespace trv::service {

// The form and its timers, living on the station's thread only.
class ScaleStation::Worker {
 public:
  explicit Worker(ScalePort port) : form_(nullptr, ui_.Controls(), std::move(port)) {
    ui_.SetOnStatus([this](const std::string& text) { Broadcast(text); });
    ui_.SetOnBox([this](const HeadlessControls::Box& box) { lastBox_ = box.text; });
  }
  ~Worker() {
    ui_.SetOnStatus(nullptr);
    ui_.SetOnBox(nullptr);
  }

  platform::TimerQueue& Timers() { return timers_; }

  Reading Read(const cli::FormSettings& settings) {
    const bool kept = !listeners_.empty() && form_.balanca().Ativo();
    lastBox_.reset();
    Reading reading;
    if (!kept) {
      cli::WeighingSession::Configure(form_, settings);
      form_.SetUsrBal(1);
    }
    // The form's own words for why the port could not be used.
    if (!form_.balanca().Ativo()) reading.mensagem = LastStatus();
    // On a scale that could not be enabled, LerPeso reads 0, as the control's does.
    form_.LerPeso();
    reading.pesoLido = form_.PesoLido();
    reading.status = LastStatus();
    if (lastBox_) reading.mensagem = lastBox_;
    if (!kept && listeners_.empty()) Disable();
    return reading;
  }

  void Listen(int id, const cli::FormSettings& settings, Listener listener) {
    listeners_.emplace(id, std::move(listener));
    if (listeners_.size() == 1 && !form_.balanca().Ativo()) {
      cli::WeighingSession::Configure(form_, settings);
      form_.SetUsrBal(1);
    } else {
      listeners_[id](StatusEvent{LastStatus(), form_.PesoLido()});
    }
  }

  void Leave(int id) {
    listeners_.erase(id);
    if (listeners_.empty()) Disable();
  }

 private:
  std::string LastStatus() const { return form_.Controls().lmm.Caption(); }

  void Broadcast(const std::string& text) {
    const StatusEvent event{text, form_.PesoLido()};
    for (auto& [id, listener] : listeners_) listener(event);
  }

  // Closes the port; the statuses of closing reach no one.
  void Disable() {
    if (form_.UsrBal() != 0 || form_.balanca().Ativo()) form_.SetUsrBal(0);
  }

  platform::TimerQueue timers_;
  platform::ScopedTimerService timerService_{timers_};
  HeadlessControls ui_;
  TFfrmActivexForm form_;
  std::map<int, Listener> listeners_;
  std::optional<std::string> lastBox_;  // the text of the last box shown during a reading
};

ScaleStation::ScaleStation(PortFactory makePort) : makePort_(std::move(makePort)) {
  thread_ = std::thread([this] { Loop(); });
}

ScaleStation::~ScaleStation() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void ScaleStation::Loop() {
  Worker worker(makePort_ ? makePort_() : nullptr);
  platform::Clock& clock = platform::SystemClock();
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    uint64_t due = 0;
    if (worker.Timers().NextDue(due)) {
      const uint64_t now = clock.Milliseconds();
      wake_.wait_for(lock, std::chrono::milliseconds(due > now ? due - now : 0),
                     [this] { return stopping_ || !tasks_.empty(); });
    } else {
      wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    }
    if (stopping_) return;
    while (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task(worker);
      lock.lock();
    }
    lock.unlock();
    worker.Timers().RunDue();
    lock.lock();
  }
}

void ScaleStation::RunOnStation(std::function<void(Worker&)> task) {
  std::promise<void> done;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    tasks_.push_back([&](Worker& worker) {
      try {
        task(worker);
        done.set_value();
      } catch (...) {
        done.set_exception(std::current_exception());
      }
    });
  }
  wake_.notify_all();
  done.get_future().get();
}

Reading ScaleStation::Read(const cli::FormSettings& settings) {
  Reading reading;
  RunOnStation([&](Worker& worker) { reading = worker.Read(settings); });
  return reading;
}

int ScaleStation::Listen(const cli::FormSettings& settings, Listener listener) {
  int id = 0;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    id = ++nextId_;
    ++listening_;
  }
  RunOnStation([&](Worker& worker) { worker.Listen(id, settings, std::move(listener)); });
  return id;
}

void ScaleStation::Leave(int id) {
  RunOnStation([id](Worker& worker) { worker.Leave(id); });
  const std::lock_guard<std::mutex> lock(mutex_);
  --listening_;
}

bool ScaleStation::Idle() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.empty() && listening_ == 0;
}

}  // namespace trv::service
