#include "scale/TrvBALDigitron.h"

#include "platform/ControlBytes.h"
#include "scale/DigitronStreamFrame.h"
#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

using namespace ascii;
constexpr size_t kKeptBytes = 10;
constexpr size_t kFieldStart = 1;  // the first byte is the start byte, never part of the weight
constexpr size_t kFieldWidth = 6;
constexpr double kHundredths = 100;

}  // namespace

TTrvBALDigitron::TTrvBALDigitron(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALDigitron::Request() {
  return Bytes(1, kEnq);
}

double TTrvBALDigitron::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestOnce(Request(), MillisecTimeOut);
}

void TTrvBALDigitron::LeSerial(int MillisecTimeOut) {
  // Only the start of the packet is kept, but a stream's last frame may lie beyond it: the
  // whole packet is read.
  Bytes packet;
  ReadAnswer(
      [&] {
        packet = Serial().RecvPacket(MillisecTimeOut);
        return KeptAnswer(packet);
      },
      [&](const Bytes&) { return ParseAnswer(packet); });
}

Bytes TTrvBALDigitron::KeptAnswer(const Bytes& answer) {
  return answer.substr(0, kKeptBytes);
}

double TTrvBALDigitron::ParseAnswer(const Bytes& answer) {
  // A packet of a continuous stream is read from its last complete frame, which has the shape
  // of an answer: the byte before the weight, then the weight.
  size_t frame = 0;
  if (DigitronStreamFrame::FindLast(answer, frame)) {
    return ParseFrame(answer.substr(frame, DigitronStreamFrame::kLength));
  }
  return ParseFrame(answer);
}

double TTrvBALDigitron::ParseFrame(const Bytes& answer) {
  const std::string field =
      answer.size() > kFieldStart ? answer.substr(kFieldStart, kFieldWidth) : std::string();
  // A weight below zero is the negative code, so that it cannot pass for another code.
  return ConvertSignedField(ScaleNumbers::Trim(field), kHundredths);
}

}  // namespace trv
