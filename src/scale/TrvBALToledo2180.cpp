#include "scale/TrvBALToledo2180.h"

#include <algorithm>

#include "platform/ControlBytes.h"
#include "scale/ScaleNumbers.h"
#include "scale/ToledoStandardFrame.h"

namespace trv {
namespace {

using namespace ascii;
constexpr char kAccent = 0x60;  // the grave accent before the weight
constexpr size_t kFieldWidth = 6;

}  // namespace

TTrvBALToledo2180::TTrvBALToledo2180(TComponent* AOwner) : TTrvBALClass(AOwner) {
  SetModeloStr(kModelName);
}

Bytes TTrvBALToledo2180::Request() {
  return Bytes(1, kEnq);
}

double TTrvBALToledo2180::LePeso(int MillisecTimeOut) {
  ClearReading();
  return RequestOnce(Request(), MillisecTimeOut);
}

void TTrvBALToledo2180::LeSerial(int MillisecTimeOut) {
  Readings readings{};
  Bytes received;  // the five lines with their CRs, as they came
  // Each line received is kept as the answer, so after a failure the last good line stays.
  ReadAnswer(
      [&] {
        for (double& reading : readings) {
          fpUltimaResposta = Serial().RecvTerminated(MillisecTimeOut, Bytes(1, kCr));
          reading = ReadingOf(fpUltimaResposta);
          received += fpUltimaResposta + kCr;
        }
        return fpUltimaResposta;
      },
      [&](const Bytes&) { return WeightOf(readings, received); });
}

double TTrvBALToledo2180::ReadingOf(const Bytes& line) {
  const size_t accent = line.find(kAccent);
  if (accent == Bytes::npos) return 0;
  // The implied decimal goes before the sixth character, or after a shorter field.
  std::string field = line.substr(accent + 1, kFieldWidth);
  field.insert(std::min(field.size(), kFieldWidth - 1), 1, '.');
  double reading = 0;
  return ScaleNumbers::TryToDecimal(ScaleNumbers::WithDecimalSeparator(field), reading) ? reading
                                                                                        : 0;
}

double TTrvBALToledo2180::WeightOf(const Readings& readings, const Bytes& received) {
  // An indicator in the standard continuous output sends frames, not accent lines.
  double weight = 0;
  if (ToledoStandardFrame::ReadLast(received, weight)) return weight;
  return WeightOf(readings);
}

double TTrvBALToledo2180::WeightOf(const Readings& readings) {
  const double last = readings[kLines - 1];
  const bool settled = readings[kLines - 3] == readings[kLines - 2] && readings[kLines - 2] == last;
  return settled ? NegativeAsCode(last) : weight_code::kUnstable;
}

double TTrvBALToledo2180::ParseAnswer(const Bytes& lines) {
  Readings readings{};
  size_t from = 0;
  for (double& reading : readings) {
    const size_t cr = lines.find(kCr, from);
    if (cr == Bytes::npos) return weight_code::kReadFailure;
    reading = ReadingOf(lines.substr(from, cr - from));
    from = cr + 1;
  }
  return WeightOf(readings, lines.substr(0, from));
}

}  // namespace trv
