#include "ToledoStandardOutput.h"

#include "SimulatorText.h"
#include "platform/ControlBytes.h"

namespace trv::tools {
namespace {

using namespace ascii;
constexpr unsigned kAlwaysSet = 0x20;
constexpr unsigned kThreeDecimals = 0x05;
constexpr unsigned kNegative = 0x02;
constexpr unsigned kOutOfRange = 0x04;
constexpr unsigned kMotion = 0x08;
constexpr unsigned kKilograms = 0x10;
constexpr int64_t kMaxGrams = 999999;

unsigned StatusB(const ScaleReading& reading) {
  unsigned b = kAlwaysSet | kKilograms;
  if (reading.state == ScaleState::Unstable) b |= kMotion;
  if (reading.state == ScaleState::Negative || reading.grams < 0) b |= kNegative;
  if (reading.state == ScaleState::Overload || reading.grams > kMaxGrams) b |= kOutOfRange;
  return b;
}

// The weight's size in six digits; beyond them the frame says out of range.
Bytes WeightDigits(int64_t grams) {
  const int64_t size = grams < 0 ? (grams < -kMaxGrams ? kMaxGrams : -grams) : grams;
  return text::ZeroPadded(size > kMaxGrams ? kMaxGrams : size, 6);
}

char Checksum(const Bytes& frame) {
  unsigned sum = 0;
  for (char c : frame) sum += static_cast<unsigned char>(c) & 0x7Fu;
  return static_cast<char>((0x80u - (sum & 0x7Fu)) & 0x7Fu);
}

}  // namespace

Bytes ToledoStandardOutput::Frame(const ScaleReading& reading, bool withTare, bool withChecksum) {
  Bytes frame(1, kStx);
  frame += static_cast<char>(kAlwaysSet | kThreeDecimals);
  frame += static_cast<char>(StatusB(reading));
  frame += static_cast<char>(kAlwaysSet);
  frame += WeightDigits(reading.grams);
  if (withTare) frame += "000000";
  frame += kCr;
  if (withChecksum) frame += Checksum(frame);
  return frame;
}

}  // namespace trv::tools
