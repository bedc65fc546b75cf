// Drives the serial port's reception family (packets, fixed amounts, terminated lines, single
// bytes) with arbitrary bytes in arbitrary deliveries and settings. Besides crashes, overflows
// and hangs it checks that no received byte is lost or invented: every byte that arrived is
// handed out, swallowed as a terminator, or still held (line buffer, driver queue).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "FuzzInput.h"
#include "serial/TrvSerial.h"
#include "testing/CommPortFake.h"
#include "testing/ManualClock.h"

namespace {

using trv::Bytes;

struct Ledger {
  size_t arrived = 0;
  size_t accounted = 0;
  bool exact = true;  // false once a reception drops bytes by design (line-end mode)
};

void Receive(trv::TTrvSerial& serial, trv::testing::FuzzInput& input, Ledger& ledger) {
  const int timeout = input.Byte() * 4;
  const uint8_t operation = input.Byte() % 6;
  switch (operation) {
    case 0:
      ledger.accounted += serial.RecvPacket(timeout).size();
      break;
    case 1: {
      const Bytes terminator = input.Flag() ? Bytes("\r") : Bytes("\r\n");
      const Bytes line = serial.RecvTerminated(timeout, terminator);
      ledger.accounted += line.size();
      if (serial.ConvertLineEnd()) {
        ledger.exact = false;
      } else if (serial.LastError() == 0) {
        ledger.accounted += terminator.size();
      } else if (serial.LastError() == trv::serial_error::kMaxBuffer) {
        ledger.exact = false;  // the line may or may not have been cut out
      }
      break;
    }
    case 2: {
      char buffer[64];
      ledger.accounted +=
          static_cast<size_t>(serial.RecvBufferEx(buffer, input.Byte() % 64, timeout));
      break;
    }
    case 3:
      ledger.accounted += serial.RecvBufferStr(input.Byte(), timeout).size();
      break;
    case 4: {
      serial.RecvByte(timeout);
      if (serial.LastError() == 0) ++ledger.accounted;
      break;
    }
    default:
      serial.Purge();
      ledger.exact = false;  // a purge discards by design
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  trv::testing::FuzzInput input(data, size);
  trv::platform::ManualClock clock(1000);
  trv::platform::ScopedClock scopedClock(clock);
  auto port = std::make_unique<trv::CommPortFake>(clock);
  trv::CommPortFake& fake = *port;
  trv::TTrvSerial serial(std::move(port));
  serial.SetInterPacketTimeout(input.Flag());
  serial.SetConvertLineEnd(input.Flag());
  serial.SetMaxLineLength(input.Byte() % 32);
  serial.Connect("COM1");

  Ledger ledger;
  uint64_t at = clock.Milliseconds();
  for (const auto& [delay, bytes] : input.Deliveries()) {
    fake.ArriveAt(at += delay, bytes);
    ledger.arrived += bytes.size();
  }
  for (int round = 0; round < 8; ++round) Receive(serial, input, ledger);

  // Conservation: what was handed out plus what is still held is what arrived. Deliveries
  // due later than the rounds reached are neither.
  clock.Advance(4 * 255 + 1);
  const size_t held = serial.LineBuffer().size() + fake.InputQueued();
  if (ledger.exact && ledger.accounted + held != ledger.arrived) std::abort();
  return 0;
}
