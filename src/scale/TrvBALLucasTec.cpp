#include "scale/TrvBALLucasTec.h"

#include <exception>

#include "platform/ControlBytes.h"
#include "platform/Text.h"
#include "scale/ScaleNumbers.h"

namespace trv {
namespace {

using namespace ascii;
constexpr char kGrossMark[] = "kg B ";  // the gross label and its space, in this letter case
constexpr char kGross[] = "kg B";
constexpr char kTare[] = "kg T";
constexpr char kNet[] = "kg L";

}  // namespace

TTrvBALLucasTec::TTrvBALLucasTec(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALLucasTec::Request() {
  return Bytes(1, kEnq);
}

double TTrvBALLucasTec::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestOnce(Request(), MillisecTimeOut);
}

void TTrvBALLucasTec::LeSerial(int MillisecTimeOut) {
  ClearReading();
  try {
    std::array<double, kLines> readings{};
    for (double& reading : readings) {
      // Each line waits for its CR with the whole time-out; the last line stays the answer.
      fpUltimaResposta = LineText(Serial().RecvTerminated(MillisecTimeOut, Bytes(1, kCr)));
      reading = LineReading(fpUltimaResposta);
    }
    fpUltimoPesoLido = SettledReading(readings);
  } catch (const std::exception& e) {
    // The event hands the failure's message on as the answer.
    fpUltimoPesoLido = weight_code::kReadFailure;
    fpUltimaResposta = platform::Utf8ToWindows1252(e.what());
  } catch (...) {
    fpUltimoPesoLido = weight_code::kReadFailure;
    fpUltimaResposta.clear();
  }
}

Bytes TTrvBALLucasTec::LineText(const Bytes& line) {
  const size_t stx = line.find(kStx);
  return stx == Bytes::npos ? line : line.substr(stx + 1);
}

double TTrvBALLucasTec::LineReading(const std::string& text) {
  if (text.find(kGrossMark) == std::string::npos) return weight_code::kNoWeight;
  const double net = WeightBeforeLabel(text, kNet);
  const double tare = WeightBeforeLabel(text, kTare);
  const double gross = WeightBeforeLabel(text, kGross);
  if (tare > gross) return weight_code::kNegative;
  return NegativeAsCode(net > 0 ? net : gross);
}

double TTrvBALLucasTec::SettledReading(const std::array<double, kLines>& readings) {
  const bool settled = readings[1] == readings[2] && readings[2] == readings[3];
  return settled ? readings[3] : weight_code::kUnstable;
}

double TTrvBALLucasTec::ParseAnswer(const Bytes& answer) {
  std::array<double, kLines> readings{};
  size_t start = 0;
  for (double& reading : readings) {
    const size_t end = answer.find(kCr, start);
    if (end == Bytes::npos) return weight_code::kReadFailure;
    reading = LineReading(LineText(answer.substr(start, end - start)));
    start = end + 1;
  }
  return SettledReading(readings);
}

double TTrvBALLucasTec::WeightBeforeLabel(const std::string& text, const std::string& label) {
  const size_t position = platform::AsciiUpper(text).find(platform::AsciiUpper(label));
  if (position == std::string::npos) return 0;
  const std::string before = ScaleNumbers::Trim(text.substr(0, position));
  const size_t space = before.rfind(' ');
  if (space == std::string::npos) return 0;
  // The last word with its space; a number that does not convert counts as 0.
  double weight = 0;
  const std::string word = ScaleNumbers::WithDecimalSeparator(before.substr(space));
  return TryConvertNumber(word, 1000, weight) ? weight : 0;
}

}  // namespace trv
