#include "scale/TrvBALFilizola.h"

#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

constexpr char kEnq = 0x05;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;

}  // namespace

TTrvBALFilizola::TTrvBALFilizola(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr("Filizola");
}

double TTrvBALFilizola::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestUntilWeight(Bytes(1, kEnq), MillisecTimeOut);
}

void TTrvBALFilizola::LeSerial(int MillisecTimeOut) {
  ClearReading();
  try {
    fpUltimaResposta = Serial().RecvPacket(MillisecTimeOut);
    fpUltimoPesoLido = ParseAnswer(fpUltimaResposta);
  } catch (...) {
    fpUltimoPesoLido = weight_code::kReadFailure;
  }
}

double TTrvBALFilizola::ParseAnswer(const Bytes& answer) {
  std::string field = answer;
  if (!field.empty() && field.front() == kStx) field.erase(0, 1);
  if (!field.empty() && field.back() == kEtx) field.pop_back();
  field = ScaleNumbers::WithDecimalSeparator(field);

  double weight = 0;
  int32_t thousandths = 0;
  if (field.size() > 10) {
    if (ScaleNumbers::TryToDecimal(field.substr(0, 6), weight)) return weight / 1000;
  } else if (ScaleNumbers::ContainsDecimalSeparator(field)) {
    if (ScaleNumbers::TryToDecimal(field, weight)) return weight;
  } else if (ScaleNumbers::TryToInteger(field, thousandths)) {
    return thousandths / 1000.0;
  }
  return StatusCode(ScaleNumbers::Trim(field));
}

}  // namespace trv
