#include "scale/TrvBALMagna.h"

#include <cstdint>

#include "platform/ControlBytes.h"
#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

constexpr char kRequest = 'P';
using namespace ascii;
constexpr char kNegativeText[] = "Peso Negativo ";
constexpr char kNotReadText[] = "Peso N\xE3o Lido ";  // 0xE3 is the Windows-1252 a-tilde
constexpr size_t kLongField = 10;  // a field longer than this holds its weight in its first six

}  // namespace

TTrvBALMagna::TTrvBALMagna(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALMagna::Request() {
  return Bytes(1, kRequest);
}

double TTrvBALMagna::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestUntilWeight(Request(), MillisecTimeOut);
}

void TTrvBALMagna::LeSerial(int MillisecTimeOut) {
  ReadAnswer([&] { return AnswerLine(Serial().RecvPacket(MillisecTimeOut)); }, &ParseLine);
  // A failed reception left the read-failure code; its text is set here like a parsed one's.
  fpUltimaResposta = StoredAnswer(fpUltimoPesoLido, fpUltimaResposta);
}

Bytes TTrvBALMagna::AnswerLine(const Bytes& answer) {
  const size_t lf = answer.find(kLf);
  return lf == Bytes::npos ? Bytes() : answer.substr(0, lf);
}

std::string TTrvBALMagna::WeightField(const Bytes& line) {
  // Positions counted from 1, 0 for "none", as the field's bounds are defined.
  const size_t space = line.find(' ');
  const size_t unit = line.find('k');
  const int64_t start = space == Bytes::npos ? 0 : static_cast<int64_t>(space) + 1;
  const int64_t end = static_cast<int64_t>(unit == Bytes::npos ? line.size() : unit + 1);
  if (end - start < 1) return std::string();
  const size_t from = start == 0 ? 0 : static_cast<size_t>(start - 1);
  return line.substr(from, static_cast<size_t>(end - start));
}

double TTrvBALMagna::ParseLine(const Bytes& line) {
  const std::string field = WeightField(line);
  const std::string marked = ScaleNumbers::WithDecimalSeparator(field);
  double weight = 0;
  // A long field's six characters are taken after its leading space, where the weight starts.
  const bool read = field.size() > kLongField
                        ? TryConvertLongField(ScaleNumbers::Trim(field), weight)
                        : TryConvertNumber(marked, 1000, weight);
  if (read) return NegativeAsCode(weight);
  // Of the status letters this scale sends only N; any other first character is no weight.
  const double code = StatusCode(ScaleNumbers::Trim(marked));
  const bool otherLetter = code == weight_code::kUnstable || code == weight_code::kOverload;
  return otherLetter ? weight_code::kNoWeight : code;
}

double TTrvBALMagna::ParseAnswer(const Bytes& answer) {
  return ParseLine(AnswerLine(answer));
}

Bytes TTrvBALMagna::StoredAnswer(double weight, const Bytes& line) {
  if (weight == weight_code::kNegative) return kNegativeText;
  if (weight == weight_code::kReadFailure) return kNotReadText;
  return line;
}

}  // namespace trv
