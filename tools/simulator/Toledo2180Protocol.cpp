#include "Toledo2180Protocol.h"

#include "ContinuousStream.h"
#include "SimulatorText.h"
#include "ToledoStandardOutput.h"
#include "platform/ControlBytes.h"

#include <algorithm>

namespace trv::tools {
namespace {

constexpr char kAccent = 0x60;
using namespace ascii;
constexpr int64_t kGramsPerUnit = 100;  // the field counts tenths of a kilogram
constexpr int64_t kMaxUnits = 999999;
constexpr int64_t kMaxNegativeUnits = 99999;
constexpr size_t kLines = 5;

// Far beyond every field, and small enough that rounding and negation cannot overflow.
constexpr int64_t kGramsLimit = 1000000000000;

// The weight in tenths of a kilogram, rounded half away from zero.
int64_t Units(int64_t grams) {
  const int64_t bounded = std::clamp(grams, -kGramsLimit, kGramsLimit);
  const int64_t half = bounded < 0 ? -kGramsPerUnit / 2 : kGramsPerUnit / 2;
  return (bounded + half) / kGramsPerUnit;
}

Bytes Line(const Bytes& field) {
  return kAccent + field + kCr;
}

Bytes NegativeField(int64_t grams) {
  const int64_t units = Units(grams);
  const int64_t size = std::clamp<int64_t>(units < 0 ? -units : units, 1, kMaxNegativeUnits);
  Bytes field(1, '-');  // built up, not "-" + ...: GCC 12 -O3 warns falsely (-Wrestrict) there
  field += text::ZeroPadded(size, 5);
  return field;
}

Bytes Repeated(const Bytes& line, size_t times = kLines) {
  Bytes lines;
  for (size_t i = 0; i < times; ++i) lines += line;
  return lines;
}

Bytes Unstable(int64_t units) {
  const int64_t last = units < kMaxUnits ? units + 1 : units - 1;
  return Repeated(Line(text::ZeroPadded(units, 6)), kLines - 1) + Line(text::ZeroPadded(last, 6));
}

Bytes StableOrRange(int64_t grams) {
  const int64_t units = Units(grams);
  if (grams < 0) return Repeated(Line(NegativeField(grams)));
  if (units > kMaxUnits) return Repeated(Line("------"));
  return Repeated(Line(text::ZeroPadded(units, 6)));
}

}  // namespace

Bytes Toledo2180Protocol::Answer(const ScaleReading& reading) {
  switch (reading.state) {
    case ScaleState::Unstable:
      return Unstable(std::clamp<int64_t>(Units(reading.grams), 0, kMaxUnits));
    case ScaleState::Negative:
      return Repeated(Line(NegativeField(reading.grams)));
    case ScaleState::Overload:
      return Repeated(Line("------"));
    case ScaleState::Stable:
      break;
  }
  return StableOrRange(reading.grams);
}

Bytes Toledo2180Protocol::FrameAnswer(const ScaleReading& reading, const std::string& frame) {
  if (frame != "standard") return Answer(reading);
  return ContinuousStream::Of(ToledoStandardOutput::Frame(reading, true, true), kLines);
}

}  // namespace trv::tools
