// Feeds arbitrary bytes, in arbitrary deliveries, to one scale driver's reception and parsing
// (the model comes from TRAVINEL_FUZZ_MODEL): a reading on demand and a monitoring reception.
// Nothing may crash, overflow or hang, whatever the scale sends. The manual clock makes every
// time-out pass instantly.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "FuzzInput.h"
#include "platform/Locale.h"
#include "platform/TimerQueue.h"
#include "scale/TrvBAL.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trv::testing::FuzzInput input(data, size);
  trv::platform::ManualClock clock(1000);
  trv::platform::ScopedClock scopedClock(clock);
  trv::platform::TimerQueue timers;
  trv::platform::ScopedTimerService scopedTimers(timers);
  trv::platform::ScopedDecimalSeparator separator(input.Flag() ? ',' : '.');

  auto port = std::make_unique<trv::CommPortFake>(clock);
  trv::CommPortFake& fake = *port;
  trv::TTrvBAL scale(nullptr, std::move(port));
  scale.SetModelo(TRAVINEL_FUZZ_MODEL);
  scale.Ativar();

  // The answer to the first request comes in the deliveries the input chooses; whatever is
  // left over is what the scale sends by itself afterwards.
  const auto deliveries = input.Deliveries();
  fake.SetResponder([&](const trv::Bytes&) {
    uint64_t at = 0;
    for (const auto& [delay, bytes] : deliveries) fake.ArriveAfter(at += delay, bytes);
    fake.SetResponder(nullptr);
  });
  try {
    scale.LePeso(input.Flag() ? 300 : 1500);
  } catch (const trv::Exception&) {
    // A failing purge or send is raised by design; the fake port never fails here.
  }
  fake.ArriveAfter(0, input.Rest());
  scale.BAL().LeSerial(500);
  return 0;
}
