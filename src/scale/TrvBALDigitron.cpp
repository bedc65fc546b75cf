#include "scale/TrvBALDigitron.h"

#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

constexpr char kEnq = 0x05;
constexpr size_t kKeptBytes = 10;
constexpr size_t kFieldStart = 1;  // the first byte is the start byte, never part of the weight
constexpr size_t kFieldWidth = 6;
constexpr double kHundredths = 100;

}  // namespace

TTrvBALDigitron::TTrvBALDigitron(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr("Digitron");
}

double TTrvBALDigitron::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestOnce(Bytes(1, kEnq), MillisecTimeOut);
}

void TTrvBALDigitron::LeSerial(int MillisecTimeOut) {
  ReadAnswer([&] { return KeptAnswer(Serial().RecvPacket(MillisecTimeOut)); }, &ParseAnswer);
}

Bytes TTrvBALDigitron::KeptAnswer(const Bytes& answer) {
  return answer.substr(0, kKeptBytes);
}

double TTrvBALDigitron::ParseAnswer(const Bytes& answer) {
  const std::string field =
      answer.size() > kFieldStart ? answer.substr(kFieldStart, kFieldWidth) : std::string();
  // A weight below zero is the negative code, so that it cannot pass for another code.
  return ConvertSignedField(ScaleNumbers::Trim(field), kHundredths);
}

}  // namespace trv
