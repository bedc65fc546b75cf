#include "scale/TrvBALFilizola.h"

#include "platform/ControlBytes.h"
#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

using namespace ascii;

}  // namespace

TTrvBALFilizola::TTrvBALFilizola(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALFilizola::Request() {
  return Bytes(1, kEnq);
}

double TTrvBALFilizola::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestUntilWeight(Request(), MillisecTimeOut);
}

void TTrvBALFilizola::LeSerial(int MillisecTimeOut) {
  ReadAnswer([&] { return Serial().RecvPacket(MillisecTimeOut); }, &ParseAnswer);
}

double TTrvBALFilizola::ParseAnswer(const Bytes& answer) {
  std::string field = answer;
  if (!field.empty() && field.front() == kStx) field.erase(0, 1);
  if (!field.empty() && field.back() == kEtx) field.pop_back();
  // A net weight below zero comes with "-" first; as a number it could pass for another code in
  // the form (-1.2 kg for unstable), so every weight below zero is the negative code.
  if (field.size() <= 10) return ConvertSignedField(field, 1000);
  // A long field: its first six characters, always divided by 1000.
  double weight = 0;
  if (TryConvertLongField(field, weight)) return NegativeAsCode(weight);
  return StatusCode(ScaleNumbers::Trim(ScaleNumbers::WithDecimalSeparator(field)));
}

}  // namespace trv
