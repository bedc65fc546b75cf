#include "ScaleDetector.h"

#include <algorithm>
#include <mutex>
#include <thread>

#include "control/FormProperties.h"
#include "platform/Clock.h"

namespace trv::detection {
namespace {

using Kind = PortOutcome::Kind;

// The port a name stands for: a USB identity becomes the port that adapter is on today.
std::string PortOfName(const std::vector<SerialPortEntry>& listed, const std::string& name) {
  SerialPortEntry entry;
  if (IsPortIdentity(name) && FindPortByIdentity(listed, name, entry)) return entry.name;
  return name;
}

std::string IdentityOfDevice(const std::vector<SerialPortEntry>& listed,
                             const std::string& device) {
  for (const SerialPortEntry& entry : listed) {
    std::string resolved;
    if (!entry.Identity().empty() && ResolveSerialDevice(entry.name, resolved) &&
        resolved == device) {
      return entry.Identity();
    }
  }
  return "";
}

bool Contains(const std::vector<std::string>& list, const std::string& item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

PortOutcome CandidateOf(const std::vector<SerialPortEntry>& listed, const std::string& name,
                        const std::vector<std::string>& devicesInUse) {
  PortOutcome outcome;
  outcome.port = name;
  if (!ResolveSerialDevice(PortOfName(listed, name), outcome.device)) {
    outcome.kind = Kind::kNotSerial;
    return outcome;
  }
  outcome.identity = IdentityOfDevice(listed, outcome.device);
  if (Contains(devicesInUse, outcome.device)) outcome.kind = Kind::kBusy;
  return outcome;
}

}  // namespace

ScaleDetector::ScaleDetector(PortFactory makePort, PortProber::Timing timing)
    : makePort_(std::move(makePort)), timing_(timing) {}

std::string ScaleDetector::PortNamed(const std::string& text) {
  if (IsPortIdentity(text)) return text;
  const FormProperty& porta = FormProperties::Of(&FormSettings::porta);
  FormSettings settings;
  if (!porta.parse(porta, text, settings) || !settings.portPath.empty() || settings.porta < 1) {
    return text;
  }
  return NumberedPortPath(settings.porta - 1);
}

std::vector<PortOutcome> ScaleDetector::Candidates(const std::vector<SerialPortEntry>& listed,
                                                   const Request& request) {
  std::vector<std::string> names = request.ports;
  if (names.empty()) {
    for (const SerialPortEntry& entry : listed) names.push_back(entry.name);
  }
  std::vector<PortOutcome> candidates;
  std::vector<std::string> devices;
  for (const std::string& name : names) {
    PortOutcome candidate = CandidateOf(listed, name, request.devicesInUse);
    if (candidate.kind != Kind::kNotSerial) {
      // Two names of one device would find it busy with ourselves.
      if (Contains(devices, candidate.device)) continue;
      devices.push_back(candidate.device);
    }
    candidates.push_back(std::move(candidate));
  }
  return candidates;
}

std::vector<PortOutcome> ScaleDetector::Run(const Request& request, const Progress& progress,
                                            const PortDone& done) const {
  std::vector<PortOutcome> outcomes = Candidates(ListSerialPorts(), request);
  const uint64_t deadline =
      platform::CurrentClock().Milliseconds() + static_cast<uint64_t>(request.budgetMs);
  std::mutex reporting;
  const auto report = [&](const PortOutcome& outcome) {
    const std::lock_guard<std::mutex> lock(reporting);
    if (done) done(outcome);
  };
  std::vector<std::thread> searches;
  for (PortOutcome& outcome : outcomes) {
    // Candidates come back kSilent until searched; the others are settled already.
    if (outcome.kind != Kind::kSilent) {
      report(outcome);
      continue;
    }
    searches.emplace_back([&, port = makePort_ ? makePort_() : nullptr]() mutable {
      try {
        PortProber prober(std::move(port), timing_);
        prober.Probe(outcome, deadline, [&](const LineSetting& line, size_t index, size_t count) {
          const std::lock_guard<std::mutex> lock(reporting);
          if (progress) progress(outcome.port, line, index, count);
        });
        report(outcome);
      } catch (...) {
        // A caller's report that failed: the outcome is still answered below.
      }
    });
  }
  for (std::thread& search : searches) search.join();
  return outcomes;
}

}  // namespace trv::detection
