#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HttpMessage.h"
#include "LocalRequest.h"
#include "ScaleStation.h"
#include "ScriptedScale.h"
#include "StationEvents.h"
#include "WeightService.h"
#include "serial/SerialPortList.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"
#ifndef _WIN32
#include <poll.h>
#include <unistd.h>

#include "testing/Pseudoterminal.h"
#endif

namespace trv::service {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr seconds kPatience(10);

// Waits for the condition, up to the patience given; whether it came true.
template <typename Condition>
bool Eventually(const Condition& condition, milliseconds patience = seconds(5)) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return condition();
}

FormSettings Filizola() {
  FormSettings settings;
  settings.porta = 3;
  settings.modelo = 1;
  return settings;
}

// What the station's thread did, in order.
class Trace {
 public:
  void Add(const std::string& step) {
    const std::lock_guard<std::mutex> lock(mutex_);
    steps_.push_back(step);
  }
  std::vector<std::string> Steps() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return steps_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> steps_;
};

TEST(ScaleStationThreads, ReadingsAreServedInTheirOrderEachOneWhole) {
  ScriptedScale scale;
  ScaleStation station(scale.Factory());
  Reading first;
  ASSERT_EQ(station.Read(Filizola(), nullptr, first), ScaleStation::ReadOutcome::kRead);
  const int requestsPerReading = scale.Requests();
  ASSERT_GT(requestsPerReading, 0);

  // Each reading's turn is traced as it starts (the station asks whether its client is still
  // there), each request to the scale as it goes out.
  Trace trace;
  scale.SetOnRequest([&] { trace.Add("pedido"); });
  auto turnOf = [&trace](int reading) -> ClientGone {
    return [&trace, reading] {
      trace.Add("leitura " + std::to_string(reading));
      return false;
    };
  };
  constexpr int kReadings = 5;
  std::vector<ClientGone> turns;
  for (int i = 0; i <= kReadings; ++i) turns.push_back(turnOf(i));
  std::vector<Reading> readings(kReadings + 1);
  std::vector<std::thread> readers;
  scale.Hold();
  readers.emplace_back([&] { station.Read(Filizola(), turns[0], readings[0]); });
  ASSERT_TRUE(scale.RequestsReach(requestsPerReading + 1));
  // The others queue up one by one behind the held one.
  for (int i = 1; i <= kReadings; ++i) {
    readers.emplace_back([&, i] { station.Read(Filizola(), turns[i], readings[i]); });
    ASSERT_TRUE(Eventually([&] { return station.WaitingReadings() == i; }));
  }
  scale.Release();
  for (std::thread& reader : readers) reader.join();

  std::vector<std::string> expected;
  for (int i = 0; i <= kReadings; ++i) {
    expected.push_back("leitura " + std::to_string(i));
    expected.insert(expected.end(), requestsPerReading, "pedido");
  }
  EXPECT_EQ(trace.Steps(), expected);
  for (const Reading& reading : readings) EXPECT_EQ(reading.pesoLido, 1234);
}

TEST(ScaleStationThreads, TheFirstListenerEnablesTheScaleAndTheLastDisablesIt) {
  ScriptedScale scale;
  ScaleStation station(scale.Factory());
  EXPECT_FALSE(scale.Open());
  StationEvents first;
  const int firstId = station.Listen(Filizola(), first.Listener());
  EXPECT_TRUE(scale.Open());
  StatusEvent event;
  ASSERT_TRUE(first.Next("Balança Pronta", event, kPatience));
  const int opens = scale.Opens();

  // A later one gets the status of the moment, on a port that stays as it is.
  StationEvents second;
  const int secondId = station.Listen(Filizola(), second.Listener());
  ASSERT_TRUE(second.Next("", event, kPatience));
  EXPECT_EQ(event.status, "Balança Pronta");
  EXPECT_EQ(scale.Opens(), opens);

  station.Leave(firstId);
  EXPECT_TRUE(scale.Open());
  EXPECT_FALSE(station.Idle());
  const size_t heard = second.States().size();
  station.Leave(secondId);
  EXPECT_FALSE(scale.Open());
  EXPECT_TRUE(station.Idle());
  // The statuses of closing went to nobody.
  EXPECT_EQ(second.States().size(), heard);
}

// Listeners come and go on several threads while readings make the form show a status after
// another: none gets an event once its Leave has returned.
TEST(ScaleStationThreads, NoEventReachesAListenerAfterItsLeaveReturns) {
  ScriptedScale scale;
  ScaleStation station(scale.Factory());
  const int keeper = station.Listen(Filizola(), [](const StatusEvent&) {});
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    while (!stop) {
      Reading reading;
      station.Read(Filizola(), nullptr, reading);
    }
  });
  struct Registration {
    std::atomic<bool> left{false};
    std::atomic<int> events{0};
    std::atomic<int> late{0};
  };
  std::atomic<int> events{0};
  std::atomic<int> late{0};
  std::vector<std::thread> churners;
  for (int t = 0; t < 3; ++t) {
    churners.emplace_back([&] {
      for (int round = 0; round < 10; ++round) {
        auto registration = std::make_shared<Registration>();
        const int id = station.Listen(Filizola(), [registration](const StatusEvent&) {
          ++registration->events;
          if (registration->left) ++registration->late;
        });
        std::this_thread::sleep_for(milliseconds(2));
        station.Leave(id);
        registration->left = true;
        std::this_thread::sleep_for(milliseconds(2));
        events += registration->events;
        late += registration->late;
      }
    });
  }
  for (std::thread& churner : churners) churner.join();
  stop = true;
  reader.join();
  station.Leave(keeper);
  EXPECT_GE(events, 30);  // at least the status each one got as it came
  EXPECT_EQ(late, 0);
  EXPECT_TRUE(station.Idle());
}

// A listener held in the middle of a broadcast: a Leave from another thread waits for it and
// then returns; a listener that leaves from within its own call does not wait for itself; and
// the last one gone, the port is closed.
TEST(ScaleStationThreads, LeaveDuringABroadcastWaitsForItAndNeverDeadlocks) {
  ScriptedScale scale;
  ScaleStation station(scale.Factory());
  std::mutex mutex;
  std::condition_variable changed;
  bool inside = false;
  bool released = false;
  std::atomic<int> heldEvents{0};
  const int held = station.Listen(Filizola(), [&](const StatusEvent& event) {
    ++heldEvents;
    if (event.estado != "peso") return;
    std::unique_lock<std::mutex> lock(mutex);
    inside = true;
    changed.notify_all();
    changed.wait_for(lock, seconds(5), [&] { return released; });
  });
  std::atomic<int> selfId{-1};
  std::atomic<int> selfEvents{0};
  // Its id is known once Listen returned: the status it got on coming does not make it leave.
  selfId = station.Listen(Filizola(), [&](const StatusEvent& event) {
    ++selfEvents;
    if (event.estado == "peso" && selfId >= 0) station.Leave(selfId.exchange(-2));
  });

  std::thread reading([&] {
    Reading answer;
    station.Read(Filizola(), nullptr, answer);
    EXPECT_EQ(answer.pesoLido, 1234);
  });
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, seconds(5), [&] { return inside; }));
  }
  std::atomic<bool> leaveReturned{false};
  std::thread leaving([&] {
    station.Leave(held);
    leaveReturned = true;
  });
  std::this_thread::sleep_for(milliseconds(100));
  EXPECT_FALSE(leaveReturned);  // the broadcast is still under way
  {
    const std::lock_guard<std::mutex> lock(mutex);
    released = true;
  }
  changed.notify_all();
  leaving.join();
  reading.join();
  const int heldSoFar = heldEvents;
  EXPECT_EQ(selfId, -2);  // it left from within its call
  EXPECT_TRUE(Eventually([&] { return !scale.Open(); }));
  const int selfSoFar = selfEvents;

  Reading later;
  ASSERT_EQ(station.Read(Filizola(), nullptr, later), ScaleStation::ReadOutcome::kRead);
  EXPECT_EQ(later.pesoLido, 1234);
  EXPECT_EQ(heldEvents, heldSoFar);
  EXPECT_EQ(selfEvents, selfSoFar);
  EXPECT_TRUE(station.Idle());
}

// The only listener leaves from within its own call: the port is closed once that call is over.
TEST(ScaleStationThreads, TheLastListenerLeavingFromItsOwnCallClosesThePort) {
  ScriptedScale scale;
  ScaleStation station(scale.Factory());
  std::atomic<int> id{-1};
  std::atomic<int> events{0};
  id = station.Listen(Filizola(), [&](const StatusEvent& event) {
    ++events;
    if (event.estado == "peso" && id >= 0) station.Leave(id.exchange(-2));
  });
  ASSERT_TRUE(scale.Open());
  Reading reading;
  ASSERT_EQ(station.Read(Filizola(), nullptr, reading), ScaleStation::ReadOutcome::kRead);
  EXPECT_EQ(reading.pesoLido, 1234);
  EXPECT_EQ(id, -2);
  EXPECT_TRUE(Eventually([&] { return !scale.Open() && station.Idle(); }));
  const int heard = events;
  ASSERT_EQ(station.Read(Filizola(), nullptr, reading), ScaleStation::ReadOutcome::kRead);
  EXPECT_EQ(events, heard);
}

// The station ends while readings wait for their turn: each is still answered, and the end
// comes after them.
TEST(ScaleStationThreads, DestroyingTheStationAnswersTheReadingsThatWait) {
  ScriptedScale scale;
  auto station = std::make_unique<ScaleStation>(scale.Factory());
  ScaleStation& serving = *station;
  Reading first;
  ASSERT_EQ(serving.Read(Filizola(), nullptr, first), ScaleStation::ReadOutcome::kRead);
  const int requestsPerReading = scale.Requests();
  scale.Hold();
  constexpr int kWaiting = 3;
  std::vector<ScaleStation::ReadOutcome> outcomes(kWaiting + 1,
                                                  ScaleStation::ReadOutcome::kQueueFull);
  std::vector<Reading> readings(kWaiting + 1);
  std::vector<std::thread> readers;
  readers.emplace_back([&] { outcomes[0] = serving.Read(Filizola(), nullptr, readings[0]); });
  ASSERT_TRUE(scale.RequestsReach(requestsPerReading + 1));
  for (int i = 1; i <= kWaiting; ++i) {
    readers.emplace_back([&, i] { outcomes[i] = serving.Read(Filizola(), nullptr, readings[i]); });
  }
  ASSERT_TRUE(Eventually([&] { return serving.WaitingReadings() == kWaiting; }));
  std::atomic<bool> destroyed{false};
  std::thread destroying([&] {
    station.reset();
    destroyed = true;
  });
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_FALSE(destroyed);
  scale.Release();
  destroying.join();
  for (std::thread& reader : readers) reader.join();
  for (int i = 0; i <= kWaiting; ++i) {
    EXPECT_EQ(outcomes[i], ScaleStation::ReadOutcome::kRead) << i;
    EXPECT_EQ(readings[i].pesoLido, 1234) << i;
  }
}

#ifndef _WIN32
// A page listening on a port through the service, on a thread of its own, until it leaves.
class ListeningPage {
 public:
  ListeningPage(WeightService& service, const std::string& port) {
    HttpResponse response =
        service.Handle(LocalRequest("GET", "/v1/eventos?Mod_Bal=1&Porta=" + port));
    status_ = response.status;
    if (!response.stream) return;
    thread_ = std::thread([this, stream = std::move(response.stream)] {
      stream([](const std::string&) { return true; }, [this] { return gone_.load(); });
    });
  }
  ~ListeningPage() { Leave(); }
  // Closes the page; the service notices within a second.
  void Close() { gone_ = true; }
  // Closes the page and waits until the service let it go.
  void Leave() {
    Close();
    if (thread_.joinable()) thread_.join();
  }
  int Status() const { return status_; }

 private:
  int status_ = 0;
  std::atomic<bool> gone_{false};
  std::thread thread_;
};

std::vector<std::string> PortsInUse(WeightService& service) {
  const auto health = nlohmann::json::parse(service.Handle(LocalRequest("GET", "/v1/saude")).body);
  return health["portasEmUso"].get<std::vector<std::string>>();
}

// Up to 32 ports have a station: a newcomer takes the place of one nobody uses, and is turned
// away, 503, while all 32 are busy; the busy ones are never let go.
TEST(WeightServiceStations, ThirtyTwoAtMostIdleOnesGiveWayBusyOnesStay) {
  constexpr int kStations = 32;
  std::vector<std::unique_ptr<tools::Pseudoterminal>> ptys;
  for (int i = 0; i <= kStations; ++i) {
    ptys.push_back(std::make_unique<tools::Pseudoterminal>());
    ASSERT_TRUE(ptys.back()->Open()) << ptys.back()->Error();
  }
  ScriptedScale scale;
  WeightService service(ServiceSettings(), scale.Factory());
  auto read = [&](int pty) {
    return service.Handle(LocalRequest(
        "POST", "/v1/ler", R"({"Mod_Bal": 1, "Porta": ")" + ptys[pty]->SlavePath() + "\"}"));
  };
  // An idle station for the last port, then 32 pages listening on the others.
  EXPECT_EQ(read(kStations).status, 200);
  std::vector<std::unique_ptr<ListeningPage>> pages;
  for (int i = 0; i < kStations; ++i) {
    pages.push_back(std::make_unique<ListeningPage>(service, ptys[i]->SlavePath()));
    ASSERT_EQ(pages.back()->Status(), 200) << i;
  }
  // Every page is listening, each on a station of its own, enabled on the station's thread.
  ASSERT_TRUE(Eventually([&] { return PortsInUse(service).size() == kStations; }, seconds(60)));
  // All busy: the last port's idle station gave way to the 32nd page, and no other comes in.
  const HttpResponse refused = read(kStations);
  EXPECT_EQ(refused.status, 503);
  EXPECT_NE(refused.body.find("portas demais em uso"), std::string::npos) << refused.body;
  EXPECT_EQ(ListeningPage(service, ptys[kStations]->SlavePath()).Status(), 503);

  // One page leaves: its station, idle now, gives way; the 31 busy ones stay.
  pages[0]->Leave();
  const HttpResponse served = read(kStations);
  EXPECT_EQ(served.status, 200);
  EXPECT_NE(served.body.find("\"PesoLido\":1234"), std::string::npos) << served.body;
  std::vector<std::string> inUse = PortsInUse(service);
  std::sort(inUse.begin(), inUse.end());
  std::vector<std::string> busy;
  for (int i = 1; i < kStations; ++i) busy.push_back(ptys[i]->SlavePath());
  std::sort(busy.begin(), busy.end());
  EXPECT_EQ(inUse, busy);
  for (const auto& page : pages) page->Close();
  pages.clear();
}

// The machine's serial ports as a test makes them: USB adapters plugged in and pulled out.
class PortsOnTheMachine {
 public:
  ScaleStation::PortLister Lister() {
    return [this] {
      const std::lock_guard<std::mutex> lock(mutex_);
      return ports_;
    };
  }
  void Plug(const std::string& device, const std::string& serialNumber) {
    const std::lock_guard<std::mutex> lock(mutex_);
    ports_.push_back(
        SerialPortEntry{device, device, "FT232R USB UART", "0403", "6001", serialNumber});
  }
  void UnplugAll() {
    const std::lock_guard<std::mutex> lock(mutex_);
    ports_.clear();
  }

 private:
  std::mutex mutex_;
  std::vector<SerialPortEntry> ports_;
};

// A Filizola scale of 1234 g at the master side of a pseudo-terminal: it answers every request.
class PtyScale {
 public:
  explicit PtyScale(int master) : master_(master), thread_([this] { Run(); }) {}
  ~PtyScale() {
    stop_ = true;
    thread_.join();
  }
  PtyScale(const PtyScale&) = delete;
  PtyScale& operator=(const PtyScale&) = delete;

 private:
  void Run() {
    static const char kFrame[] =
        "\x02"
        "001234"
        "\x03";
    while (!stop_) {
      pollfd watch{master_, POLLIN, 0};
      char request[64];
      if (::poll(&watch, 1, 20) <= 0 || (watch.revents & POLLIN) == 0 ||
          ::read(master_, request, sizeof request) <= 0) {
        std::this_thread::sleep_for(milliseconds(5));
        continue;
      }
      const ssize_t written = ::write(master_, kFrame, sizeof kFrame - 1);
      (void)written;  // a lost answer is a reading without answer, which the test would show
    }
  }

  int master_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// A USB adapter pulled out while a page listens (its device vanishes and the line hangs up),
// then plugged back, where the system gives it a new device: the page is told once that the
// scale is disconnected, then that it is back, and gets its weights again, without doing a
// thing.
TEST(ScaleStationReconnection, FollowsAnAdapterUnpluggedAndPluggedBackByItsIdentity) {
  PortsOnTheMachine machine;
  auto before = std::make_unique<tools::Pseudoterminal>();
  ASSERT_TRUE(before->Open()) << before->Error();
  machine.Plug(before->SlavePath(), "A1B2C3");
  auto scaleBefore = std::make_unique<PtyScale>(before->MasterFd());
  ScaleStation station(nullptr, machine.Lister());
  FormSettings settings;
  settings.portPath = "usb:0403:6001:A1B2C3";
  settings.modelo = 1;
  StationEvents events;
  const int id = station.Listen(settings, events.Listener());
  StatusEvent event;
  ASSERT_TRUE(events.Next("Peso Aferido: 1234 gramas", event, kPatience));

  machine.UnplugAll();
  scaleBefore.reset();
  before->Close();
  ASSERT_TRUE(events.NextState("desconectada", event, kPatience));
  EXPECT_EQ(event.status, "Balança desconectada");

  tools::Pseudoterminal after;
  ASSERT_TRUE(after.Open()) << after.Error();
  const PtyScale scaleAfter(after.MasterFd());
  machine.Plug(after.SlavePath(), "A1B2C3");
  ASSERT_TRUE(events.NextState("reconectada", event, kPatience));
  EXPECT_EQ(event.status, "Balança reconectada");
  ASSERT_TRUE(events.Next("Peso Aferido: 1234 gramas", event, kPatience));
  EXPECT_EQ(event.pesoLido, 1234);
  station.Leave(id);

  // Told once; while the device was missing, no try was announced or failed aloud.
  const std::vector<std::string> states = events.States();
  const auto lost = std::find(states.begin(), states.end(), "desconectada");
  const auto back = std::find(states.begin(), states.end(), "reconectada");
  ASSERT_LT(lost, back);
  EXPECT_EQ(std::count(states.begin(), states.end(), "desconectada"), 1);
  for (auto state = lost + 1; state != back; ++state) {
    EXPECT_TRUE(*state == "pronta") << *state;  // the enabling on the new device
  }
}

// The device a port's name leads to vanishes (the name is a link, as the system's stable names
// of adapters are, taken away with the device): a disconnection, not a reading error; and a
// reading on an identity no port has finds the scale disconnected, with nothing opened.
TEST(ScaleStationReconnection, TellsAVanishedDeviceFromAFailedReading) {
  const std::string link =
      (std::filesystem::temp_directory_path() / "travinel-balanca-que-some").string();
  auto pty = std::make_unique<tools::Pseudoterminal>(link);
  ASSERT_TRUE(pty->Open()) << pty->Error();
  auto scale = std::make_unique<PtyScale>(pty->MasterFd());
  PortsOnTheMachine machine;
  ScaleStation station(nullptr, machine.Lister());
  FormSettings settings;
  settings.portPath = link;
  settings.modelo = 1;
  StationEvents events;
  const int id = station.Listen(settings, events.Listener());
  StatusEvent event;
  ASSERT_TRUE(events.Next("Peso Aferido: 1234 gramas", event, kPatience));
  scale.reset();
  pty->Close();
  ASSERT_TRUE(events.NextState("desconectada", event, kPatience));
  station.Leave(id);
  const std::vector<std::string> states = events.States();
  EXPECT_EQ(std::count(states.begin(), states.end(), "reativando"), 0);

  ScaleStation elsewhere(nullptr, machine.Lister());
  settings.portPath = "usb:0403:6001:NENHUMA";
  Reading reading;
  ASSERT_EQ(elsewhere.Read(settings, nullptr, reading), ScaleStation::ReadOutcome::kRead);
  EXPECT_EQ(reading.estado, "desconectada");
  EXPECT_EQ(reading.pesoLido, 0);
  EXPECT_EQ(reading.status, "Balança desconectada");
  EXPECT_EQ(reading.mensagem,
            "Balança desconectada: a porta usb:0403:6001:NENHUMA não foi encontrada");
}
#endif

}  // namespace
}  // namespace trv::service
