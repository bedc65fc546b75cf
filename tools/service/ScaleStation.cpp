#include "ScaleStation.h"

#include <algorithm>
#include <chrono>
#include <future>

#include "ReadingState.h"
#include "ScaleRequest.h"
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

// The station's own statuses about the scale's device.
constexpr char kDisconnectedStatus[] = "Balança desconectada";
constexpr char kReconnectedStatus[] = "Balança reconectada";

}  // namespace

// The form and its timers, living on the station's thread only.
class ScaleStation::Worker {
 public:
  Worker(ScalePort port, PortLister listPorts)
      : form_(nullptr, ui_.Controls(), std::move(port)), listPorts_(std::move(listPorts)) {
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
    if (!kept && !Enable(settings)) return MissingDeviceReading(settings);
    Reading reading;
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
    if (form_.balanca().Ativo()) {
      const std::string status = LastStatus();
      Tell(id, StatusEvent{status, form_.PesoLido(), ReadingState::OfStatus(status)});
      return;
    }
    // The first listener, or one that finds the scale lost: enable it now.
    retryMs_ = kFirstRetryMs;
    retry_.SetEnabled(false);
    if (Enable(settings)) return;
    // The others were told already that the device is missing.
    if (disconnected_) {
      Tell(id, DisconnectedEvent());
    } else {
      Disconnected();
    }
    ScheduleRetry(false);
  }

  void Leave(int id) {
    if (Forget(id)) DisableUnheard();
  }

  // Unregisters the listener alone; true when it was the last.
  bool Forget(int id) {
    listeners_.erase(id);
    return listeners_.empty();
  }

  // With nobody listening any more, closes the port.
  void DisableUnheard() {
    if (!listeners_.empty()) return;
    disconnected_ = false;
    Disable();
  }

 private:
  std::string LastStatus() const { return form_.Controls().lmm.Caption(); }

  // Enables the scale on the device its port leads to now; false, with nothing tried, when that
  // device is missing: an identity no port has, or a device that was found before and is gone.
  // (A port never found as a serial device is left to the form to open, as it was given.)
  bool Enable(const FormSettings& settings) {
    settings_ = settings;
    FormSettings located = settings;
    const bool found = Locate(located);
    if (!found && (IsPortIdentity(settings.portPath) || present_)) return false;
    present_ = found;
    FormProperties::Configure(form_, found ? located : settings);
    form_.SetUsrBal(1);
    if (form_.balanca().Ativo() && !listeners_.empty() && std::exchange(disconnected_, false)) {
      Broadcast(StatusEvent{kReconnectedStatus, form_.PesoLido(), ReadingState::kReconnected});
    }
    return true;
  }

  // Replaces the port by the serial device it leads to now: an identity by the port that has it
  // among those listed, then any name by its device, as a page's port is pinned. False when no
  // such device is there.
  bool Locate(FormSettings& settings) const {
    if (IsPortIdentity(settings.portPath)) {
      SerialPortEntry port;
      if (!FindPortByIdentity(listPorts_ ? listPorts_() : ListSerialPorts(), settings.portPath,
                              port)) {
        return false;
      }
      settings.portPath = port.name;
    }
    return ScaleRequest::PinSerialDevice(settings);
  }

  // The device the scale was last enabled on has vanished since (it had been found).
  bool DeviceGone() const {
    FormSettings located = settings_;
    return (IsPortIdentity(settings_.portPath) || present_) && !Locate(located);
  }

  // A reading on a device that is missing: nothing was opened, so PesoLido is 0, as the form's
  // LerPeso reads on a scale it could not enable.
  static Reading MissingDeviceReading(const FormSettings& settings) {
    Reading reading;
    reading.status = kDisconnectedStatus;
    reading.mensagem = std::string(kDisconnectedStatus) + ": a porta " +
                       ScaleRequest::PortName(settings) + " não foi encontrada";
    reading.estado = ReadingState::kDisconnected;
    return reading;
  }

  StatusEvent DisconnectedEvent() const {
    return StatusEvent{kDisconnectedStatus, form_.PesoLido(), ReadingState::kDisconnected};
  }

  // Tells the listeners once that the device is gone; they hear nothing more until it is back.
  void Disconnected() {
    if (!std::exchange(disconnected_, true)) Broadcast(DisconnectedEvent());
  }

  void OnStatus(const std::string& text) {
    const std::string estado = ReadingState::OfStatus(text);
    if (estado == ReadingState::kReadError) readFailed_ = true;
    Broadcast(StatusEvent{text, WeightOfStatus(estado), estado});
    // The scale answered: a later loss starts the back-off again from the shortest wait. (An
    // enabling that succeeds is not enough: a port may open where no scale answers.)
    if (IsReading(estado)) retryMs_ = kFirstRetryMs;
    const bool lost = estado == ReadingState::kDisabled || estado == ReadingState::kPortUnavailable;
    if (lost && !listeners_.empty() && !disabling_) Lost();
  }

  // The form gave up the scale while pages listen: a device that vanished is reported as such
  // and waited for quietly; any other loss is announced with each try.
  void Lost() {
    if (retry_.Enabled()) return;
    const bool gone = DeviceGone();
    if (gone) Disconnected();
    ScheduleRetry(!gone);
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

  // A listener may leave while it is called (Leave from within it): each one is called through
  // a copy, and one that left meanwhile is skipped.
  void Broadcast(const StatusEvent& event) {
    std::vector<int> ids;
    ids.reserve(listeners_.size());
    for (const auto& [id, listener] : listeners_) ids.push_back(id);
    for (const int id : ids) Tell(id, event);
  }

  void Tell(int id, const StatusEvent& event) {
    const auto found = listeners_.find(id);
    if (found == listeners_.end()) return;
    const Listener listener = found->second;
    listener(event);
  }

  void ScheduleRetry(bool announce) {
    if (retry_.Enabled()) return;
    if (announce) {
      Broadcast(StatusEvent{
          "Balança Desativada; nova tentativa em " + std::to_string(retryMs_ / 1000) + " s",
          form_.PesoLido(), ReadingState::kRetrying});
    }
    retry_.SetInterval(retryMs_);
    retry_.SetEnabled(true);
    retryMs_ = std::min(retryMs_ * 2, kLongestRetryMs);
  }

  void Retry() {
    retry_.SetEnabled(false);
    if (listeners_.empty() || form_.balanca().Ativo()) return;
    if (Enable(settings_)) return;
    Disconnected();
    ScheduleRetry(false);
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
  PortLister listPorts_;
  std::map<int, Listener> listeners_;
  FormSettings settings_;               // those the scale was last enabled with
  std::optional<std::string> lastBox_;  // the text of the last box shown during a reading
  bool readFailed_ = false;             // a reading error was shown since the reading began
  bool disabling_ = false;
  bool present_ = false;       // the port led to a serial device when the scale was last enabled
  bool disconnected_ = false;  // the listeners were told that the device is gone
  uint32_t retryMs_ = kFirstRetryMs;
};

ScaleStation::ScaleStation(PortFactory makePort, PortLister listPorts)
    : makePort_(std::move(makePort)), listPorts_(std::move(listPorts)) {
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
  Worker worker(makePort_ ? makePort_() : nullptr, listPorts_);
  worker_ = &worker;
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
    // Whatever was asked before the end is still served: no caller is left waiting for it.
    while (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task(worker);
      lock.lock();
    }
    if (stopping_) break;
    lock.unlock();
    RunTimers(worker);
    lock.lock();
  }
  worker_ = nullptr;
}

void ScaleStation::RunTimers(Worker& worker) {
  try {
    worker.Timers().RunDue();
  } catch (...) {
    // A tick that failed (a listener out of memory) is lost; the thread goes on serving the
    // port, since every page waiting on it would wait forever otherwise.
  }
}

void ScaleStation::Post(std::function<void(Worker&)> task) {
  // Woken under the lock: the task cannot run, nor the station end and its condition go with
  // it, before the notification is over.
  const std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(task));
  wake_.notify_all();
}

void ScaleStation::RunOnStation(std::function<void(Worker&)> task) {
  std::promise<void> done;
  Post([&](Worker& worker) {
    try {
      task(worker);
      done.set_value();
    } catch (...) {
      done.set_exception(std::current_exception());
    }
  });
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
    ++reading_;
  }
  ReadOutcome outcome = ReadOutcome::kRead;
  RunOnStation([&](Worker& worker) {
    // The station is busy until the reading is over, also when it raised. Counted off here, on
    // the station's thread: once the answer is handed over, the caller touches the station no
    // more (it may be destroyed then).
    struct Served {
      ScaleStation& station;
      ~Served() {
        const std::lock_guard<std::mutex> lock(station.mutex_);
        --station.reading_;
      }
    } served{*this};
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
  if (std::this_thread::get_id() == thread_.get_id()) {
    // From a listener, on the station's thread: waiting for a task would wait for itself. The
    // listener goes at once; the port is closed after the current work, if nobody else listens.
    if (worker_->Forget(id)) Post([](Worker& worker) { worker.DisableUnheard(); });
    const std::lock_guard<std::mutex> lock(mutex_);
    --listening_;
    return;
  }
  RunOnStation([this, id](Worker& worker) {
    worker.Leave(id);
    const std::lock_guard<std::mutex> lock(mutex_);
    --listening_;
  });
}

bool ScaleStation::Idle() const {
  const std::lock_guard<std::mutex> lock(mutex_);
  return tasks_.empty() && listening_ == 0 && reading_ == 0;
}

}  // namespace trv::service
