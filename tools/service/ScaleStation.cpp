#include "ScaleStation.h"

#include <algorithm>
#include <chrono>
#include <future>

#include "ReadingState.h"
#include "control/FormProperties.h"
#include "control/FrmActivexForm.h"
#include "control/HeadlessControls.h"
#include "control/WeightText.h"
#include "platform/Clock.h"
#include "platform/TimerQueue.h"

namespace trv::service {

namespace {

// Milliseconds before the first try to enable again a scale that listeners lost, and the most
// between two tries.
constexpr uint32_t kFirstRetryMs = 1000;
constexpr uint32_t kLongestRetryMs = 30000;

}  // namespace

// The form and its timers, living on the station's thread only.
class ScaleStation::Worker {
 public:
  explicit Worker(ScalePort port) : form_(nullptr, ui_.Controls(), std::move(port)) {
    ui_.SetOnStatus([this](const std::string& text) { OnStatus(text); });
    ui_.SetOnBox([this](const HeadlessControls::Box& box) { lastBox_ = box.text; });
    retry_.SetEnabled(false);
    retry_.SetOnTimer([this](TTimer&) { Retry(); });
  }
  ~Worker() {
    ui_.SetOnStatus(nullptr);
    ui_.SetOnBox(nullptr);
  }

  platform::TimerQueue& Timers() { return timers_; }

  Reading Read(const FormSettings& settings) {
    const bool kept = !listeners_.empty() && form_.balanca().Ativo();
    lastBox_.reset();
    Reading reading;
    if (!kept) Enable(settings);
    const bool enabled = form_.balanca().Ativo();
    // The form's own words for why the port could not be used.
    if (!enabled) reading.mensagem = LastStatus();
    // On a scale that could not be enabled, LerPeso reads 0, as the control's does.
    readFailed_ = false;
    form_.LerPeso();
    reading.pesoLido = form_.PesoLido();
    reading.status = LastStatus();
    reading.estado =
        ReadingState::OfReading(enabled, readFailed_, form_.balanca().UltimoPesoLido());
    if (lastBox_) reading.mensagem = lastBox_;
    if (!kept && listeners_.empty()) Disable();
    return reading;
  }

  void Listen(int id, const FormSettings& settings, Listener listener) {
    listeners_.emplace(id, std::move(listener));
    if (!form_.balanca().Ativo()) {
      // The first listener, or one that finds the scale lost: enable it now.
      retryMs_ = kFirstRetryMs;
      retry_.SetEnabled(false);
      Enable(settings);
    } else {
      const std::string status = LastStatus();
      listeners_[id](StatusEvent{status, form_.PesoLido(), ReadingState::OfStatus(status)});
    }
  }

  void Leave(int id) {
    listeners_.erase(id);
    if (listeners_.empty()) Disable();
  }

 private:
  std::string LastStatus() const { return form_.Controls().lmm.Caption(); }

  void Enable(const FormSettings& settings) {
    settings_ = settings;
    FormProperties::Configure(form_, settings);
    form_.SetUsrBal(1);
  }

  void OnStatus(const std::string& text) {
    const std::string estado = ReadingState::OfStatus(text);
    if (estado == ReadingState::kReadError) readFailed_ = true;
    Broadcast(StatusEvent{text, WeightOfStatus(estado), estado});
    // The scale answered: a later loss starts the back-off again from the shortest wait. (An
    // enabling that succeeds is not enough: a port may open where no scale answers.)
    if (IsReading(estado)) retryMs_ = kFirstRetryMs;
    const bool lost = estado == ReadingState::kDisabled || estado == ReadingState::kPortUnavailable;
    if (lost && !listeners_.empty() && !disabling_) ScheduleRetry();
  }

  // A status about the scale's reading describes the weight (or code) the form shows beside it;
  // the form stores a weight only after showing its status.
  double WeightOfStatus(const std::string& estado) const {
    return IsReading(estado) ? WeightText::Parse(form_.Controls().txtPeso.Text())
                             : form_.PesoLido();
  }

  // A status of what the scale answered: a weight, or a code the form names.
  static bool IsReading(const std::string& estado) {
    for (const char* reading :
         {ReadingState::kWeight, ReadingState::kEmpty, ReadingState::kUnstable,
          ReadingState::kNegative, ReadingState::kOverload}) {
      if (estado == reading) return true;
    }
    return false;
  }

  void Broadcast(const StatusEvent& event) {
    for (auto& [id, listener] : listeners_) listener(event);
  }

  void ScheduleRetry() {
    if (retry_.Enabled()) return;
    Broadcast(StatusEvent{
        "Balança Desativada; nova tentativa em " + std::to_string(retryMs_ / 1000) + " s",
        form_.PesoLido(), ReadingState::kRetrying});
    retry_.SetInterval(retryMs_);
    retry_.SetEnabled(true);
    retryMs_ = std::min(retryMs_ * 2, kLongestRetryMs);
  }

  void Retry() {
    retry_.SetEnabled(false);
    if (listeners_.empty() || form_.balanca().Ativo()) return;
    Enable(settings_);
  }

  // Closes the port; the statuses of closing reach no one and bring no retry.
  void Disable() {
    retry_.SetEnabled(false);
    disabling_ = true;
    if (form_.UsrBal() != 0 || form_.balanca().Ativo()) form_.SetUsrBal(0);
    disabling_ = false;
  }

  platform::TimerQueue timers_;
  platform::ScopedTimerService timerService_{timers_};
  HeadlessControls ui_;
  TFfrmActivexForm form_;
  TTimer retry_{nullptr};
  std::map<int, Listener> listeners_;
  FormSettings settings_;               // those the scale was last enabled with
  std::optional<std::string> lastBox_;  // the text of the last box shown during a reading
  bool readFailed_ = false;             // a reading error was shown since the reading began
  bool disabling_ = false;
  uint32_t retryMs_ = kFirstRetryMs;
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

ScaleStation::ReadOutcome ScaleStation::Read(const FormSettings& settings, const ClientGone& gone,
                                             Reading& reading) {
  std::list<WaitingReading>::iterator entry;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (waitingReadings_ >= kMaxWaitingReadings) DropAbandonedReadings();
    if (waitingReadings_ >= kMaxWaitingReadings) return ReadOutcome::kQueueFull;
    entry = waiting_.insert(waiting_.end(), WaitingReading{&gone});
    ++waitingReadings_;
  }
  ReadOutcome outcome = ReadOutcome::kRead;
  RunOnStation([&](Worker& worker) {
    bool dropped = false;
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      dropped = entry->dropped;
      if (!dropped) --waitingReadings_;
      waiting_.erase(entry);
    }
    if (dropped || (gone && gone())) {
      outcome = ReadOutcome::kClientGone;
      return;
    }
    reading = worker.Read(settings);
  });
  return outcome;
}

void ScaleStation::DropAbandonedReadings() {
  for (WaitingReading& waiting : waiting_) {
    if (waiting.dropped || !*waiting.gone || !(*waiting.gone)()) continue;
    waiting.dropped = true;
    --waitingReadings_;
  }
}

int ScaleStation::WaitingReadings() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return waitingReadings_;
}

int ScaleStation::Listen(const FormSettings& settings, Listener listener) {
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
