#include "scale/TrvBALUrano.h"

#include "platform/ControlBytes.h"
#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

using namespace ascii;

// 1-based position of the start mark: the first ":", else the first "N0"; 0 when neither.
size_t StartMark(const Bytes& answer) {
  size_t index = answer.find(':');
  if (index == Bytes::npos) index = answer.find("N0");
  return index == Bytes::npos ? 0 : index + 1;
}

// The stability mark is two characters before the first "PESO", or the first character when
// there is no room for it (or no "PESO"). A space there means the weight is still moving.
bool IsUnstable(const Bytes& answer) {
  const size_t peso = answer.find("PESO");
  const size_t mark = peso != Bytes::npos && peso >= 2 ? peso - 2 : 0;
  return mark < answer.size() && answer[mark] == ' ';
}

// The sign stands right after the start mark (the first character when there is none).
bool IsNegative(const Bytes& answer, size_t start) {
  return start < answer.size() && answer[start] == '-';
}

// From the second character after the start mark up to two characters before the first "g";
// empty when there is no "g" after the start of the field.
std::string WeightField(const Bytes& answer, size_t start) {
  const size_t g = answer.find('g');
  if (g == Bytes::npos || g < start + 3) return std::string();
  return answer.substr(start + 1, g - start - 2);
}

// Urano scales have no overload letter: a field that begins with S is merely no number.
bool StartsWithS(const std::string& field) {
  const std::string trimmed = ScaleNumbers::Trim(field);
  return !trimmed.empty() && trimmed.front() == 'S';
}

}  // namespace

TTrvBALUrano::TTrvBALUrano(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALUrano::Request() {
  return Bytes(1, kEnq);
}

double TTrvBALUrano::LePeso(int MillisecTimeOut) {
  return RequestOnce(Request(), MillisecTimeOut);
}

void TTrvBALUrano::LeSerial(int MillisecTimeOut) {
  ReadAnswer([&] { return Serial().RecvPacket(MillisecTimeOut); }, &ParseAnswer);
}

double TTrvBALUrano::ParseAnswer(const Bytes& answer) {
  if (IsUnstable(answer)) return weight_code::kUnstable;
  const size_t start = StartMark(answer);
  if (IsNegative(answer, start)) return weight_code::kNegative;
  const std::string field = WeightField(answer, start);
  if (StartsWithS(field)) return weight_code::kNoWeight;
  return ConvertSignedField(field, 1000);
}

}  // namespace trv
