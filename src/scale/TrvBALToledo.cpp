#include "scale/TrvBALToledo.h"

#include "platform/ControlBytes.h"
#include "scale/ScaleNumbers.h"
#include "scale/ToledoPrt2Frame.h"
#include "scale/ToledoPrt4Frame.h"
#include "scale/ToledoStandardFrame.h"

namespace trv {
namespace {

using namespace ascii;
constexpr size_t kShortAnswerMax = 20;
constexpr size_t kSignIndex = 1;       // 0-based: the second byte
constexpr size_t kLongFieldStart = 2;  // 0-based: the third byte
constexpr size_t kFieldWidth = 6;
constexpr size_t kFlagIndex = 8;  // 0-based: the ninth byte
constexpr unsigned char kTwoDecimalsFlag = 0x08;

// The field of a short answer: after the first STX (or from the start) and before the first
// ETX, else the first CR, else the end. A field that would end before it begins is empty.
std::string ShortField(const Bytes& answer) {
  const size_t stx = answer.find(kStx);
  const size_t start = stx == Bytes::npos ? 0 : stx + 1;
  size_t end = answer.find(kEtx);
  if (end == Bytes::npos) end = answer.find(kCr);
  if (end == Bytes::npos) end = answer.size();
  return end > start ? answer.substr(start, end - start) : std::string();
}

double LongDivisor(const Bytes& answer) {
  const auto flag = static_cast<unsigned char>(answer[kFlagIndex]);
  return (flag & kTwoDecimalsFlag) != 0 ? 100 : 1000;
}

}  // namespace

TTrvBALToledo::TTrvBALToledo(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALToledo::Request() {
  return Bytes(1, kEnq);
}

double TTrvBALToledo::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestOnce(Request(), MillisecTimeOut);
}

void TTrvBALToledo::LeSerial(int MillisecTimeOut) {
  ReadAnswer([&] { return Serial().RecvPacket(MillisecTimeOut); }, &ParseAnswer);
}

double TTrvBALToledo::ParseAnswer(const Bytes& answer) {
  // The frames that Toledo scales send by themselves are recognised first, and only exactly;
  // anything else is read as the short or the long answer.
  double weight = 0;
  if (ToledoStandardFrame::ReadLast(answer, weight)) return weight;
  std::string field;
  if (ToledoPrt2Frame::FindLast(answer, field)) return ConvertSignedField(field, 1000);
  if (ToledoPrt4Frame::FindWeight(answer, field)) return ConvertField(field, 1000);
  if (answer.size() > kShortAnswerMax) return ParseLongAnswer(answer);
  return ConvertSignedField(ScaleNumbers::Trim(ShortField(answer)), 1000);
}

double TTrvBALToledo::ParseLongAnswer(const Bytes& answer) {
  const std::string field = ScaleNumbers::Trim(answer.substr(kLongFieldStart, kFieldWidth));
  const double weight = ConvertSignedField(field, LongDivisor(answer));
  // The weight/price/total answer carries the sign of a negative net weight in its second byte.
  const bool signedNegative = answer[kSignIndex] == '-';
  return signedNegative && weight > 0 ? weight_code::kNegative : weight;
}

}  // namespace trv
