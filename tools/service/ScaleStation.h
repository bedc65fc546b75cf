#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "HttpMessage.h"
#include "control/FormSettings.h"
#include "scale/TrvBAL.h"
#include "serial/SerialPortList.h"

namespace trv::service {

// What one reading gave: the form's PesoLido and status line, and the text of the message box
// it showed (or of the failure that kept the scale from being enabled), if any.
// `estado` names the outcome (see ReadingState).
struct Reading {
  double pesoLido = 0;
  std::string status;
  std::optional<std::string> mensagem;
  std::string estado;
};

// One status the form showed while pages listen (or the station's own word that it will enable
// the scale again), with the weight the status describes: the one the form shows beside a
// weight or a code, the form's PesoLido beside any other status.
struct StatusEvent {
  std::string status;
  double pesoLido = 0;
  std::string estado;
};

// One serial port's weighing form, on a thread of its own that runs the form's timers. Every
// request for the port is a task on that thread, so two pages never interleave on the line:
// they are served one after the other. While at least one listener is registered the scale
// stays enabled with the form's monitoring, and each status the form shows reaches every
// listener; when the last one leaves, the scale is disabled and the port closed. A scale that
// ends up disabled while listeners remain (a reading error, a line that went away) is enabled
// again after 1 s, then 2, 4, ... up to 30 s between tries, each announced to the listeners.
//
// The port is looked up before each enabling: a USB adapter's identity ("usb:VID:PID:SERIAL")
// among the ports the lister finds, any other name as the serial device it leads to. When the
// device the scale was on has vanished (an adapter unplugged), listeners are told once that the
// scale is disconnected; the tries then go on quietly, with the same waits, until the device is
// back, and the listeners are told it is reconnected before its readings.
class ScaleStation {
 public:
  using Listener = std::function<void(const StatusEvent&)>;
  // Makes the port the form opens; null: the operating system's (tests pass a fake).
  using PortFactory = std::function<ScalePort()>;
  // The machine's serial ports, where identities are looked up; null: ListSerialPorts.
  using PortLister = std::function<std::vector<SerialPortEntry>()>;

  explicit ScaleStation(PortFactory makePort = nullptr, PortLister listPorts = nullptr);
  // Answers the requests already queued, then ends the station's thread.
  ~ScaleStation();
  ScaleStation(const ScaleStation&) = delete;
  ScaleStation& operator=(const ScaleStation&) = delete;

  enum class ReadOutcome {
    kRead,        // the reading ran
    kClientGone,  // its client had gone when its turn came: it did not run
    kQueueFull,   // kMaxWaitingReadings were already waiting: it was not queued
  };
  // Readings that may wait for their turn on one port.
  static constexpr int kMaxWaitingReadings = 8;

  // Enables the scale (unless listeners keep it enabled), reads once as the control's LerPeso
  // does, and disables it again. Waits for the tasks queued before it; when its turn comes, a
  // reading whose client has gone (`gone`, which may be empty) is dropped unread.
  ReadOutcome Read(const FormSettings& settings, const ClientGone& gone, Reading& reading);
  // Readings queued that have not started.
  int WaitingReadings() const;
  // Registers a listener (called on the station's thread; it must not block). The first one
  // enables the scale with these settings; a later one gets the current status at once.
  int Listen(const FormSettings& settings, Listener listener);
  // Unregisters the listener: once this returns it is called no more. It may be called from
  // any thread, the listener itself included.
  void Leave(int id);
  // No listener, no reading queued or under way: the station may be let go.
  bool Idle() const;

 private:
  class Worker;
  // A reading queued that has not started; dropped when its client was found gone meanwhile.
  struct WaitingReading {
    const ClientGone* gone;
    bool dropped = false;
  };
  // Makes room in a full queue by dropping the readings whose clients have gone.
  void DropAbandonedReadings();
  // Queues the task for the station's thread.
  void Post(std::function<void(Worker&)> task);
  // Runs the task on the station's thread and waits for it.
  void RunOnStation(std::function<void(Worker&)> task);
  void Loop();
  static void RunTimers(Worker& worker);

  PortFactory makePort_;
  PortLister listPorts_;
  Worker* worker_ = nullptr;  // on the station's thread only, while it runs
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void(Worker&)>> tasks_;
  bool stopping_ = false;
  int nextId_ = 0;
  int listening_ = 0;
  int reading_ = 0;  // readings queued or under way
  std::list<WaitingReading> waiting_;
  int waitingReadings_ = 0;  // those in waiting_ not dropped
  std::thread thread_;
};

}  // namespace trv::service
