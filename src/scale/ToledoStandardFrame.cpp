#include "scale/ToledoStandardFrame.h"

#include <cstdint>

#include "platform/ControlBytes.h"
#include "scale/ScaleNumbers.h"
#include "scale/TrvBALClass.h"

namespace trv {
namespace {

using namespace ascii;
constexpr size_t kStatusWords = 3;
constexpr size_t kDigits = 6;
constexpr size_t kWeightStart = 1 + kStatusWords;
constexpr size_t kShortCr = kWeightStart + kDigits;  // no tare
constexpr size_t kLongCr = kShortCr + kDigits;       // with the tare

// Status word A: bits 0-2 place the decimal point; bit 5 is always set and bit 6 always clear.
constexpr unsigned kDecimalPointBits = 0x07;
// Status word B: bit 5 is always set.
constexpr unsigned kAlwaysSet = 0x20;
constexpr unsigned kAlwaysClear = 0x40;
constexpr unsigned kNegative = 0x02;
constexpr unsigned kOutOfRange = 0x04;
constexpr unsigned kMotion = 0x08;
constexpr unsigned kKilograms = 0x10;  // else pounds
constexpr double kKilogramsPerPound = 0.45359237;
// The decimal point code 2 shows the weight as a whole number; each step moves the point.
constexpr unsigned kWholeNumber = 2;

unsigned Bits(const Bytes& received, size_t index) {
  return static_cast<unsigned char>(received[index]);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Six characters from `from`: digits, after leading blanks (at least one digit).
bool IsNumberField(const Bytes& received, size_t from) {
  size_t i = from;
  const size_t end = from + kDigits;
  while (i < end && received[i] == ' ') ++i;
  if (i == end) return false;
  for (; i < end; ++i) {
    if (!IsDigit(received[i])) return false;
  }
  return true;
}

bool HasFixedBits(const Bytes& received, size_t stx) {
  const unsigned a = Bits(received, stx + 1);
  const unsigned b = Bits(received, stx + 2);
  return (a & kAlwaysSet) != 0 && (a & kAlwaysClear) == 0 && (b & kAlwaysSet) != 0;
}

// The two's complement of the sum of the low seven bits of every byte from STX to CR.
unsigned Checksum(const Bytes& received, size_t stx, size_t cr) {
  unsigned sum = 0;
  for (size_t i = stx; i <= cr; ++i) sum += Bits(received, i) & 0x7F;
  return (0x80 - (sum & 0x7F)) & 0x7F;
}

// One multiplication or division by a power of ten, so that 001234 with three decimals is the
// same number as the other drivers' 1234 / 1000.
double Scaled(int32_t count, unsigned decimalPoint) {
  const unsigned steps =
      decimalPoint > kWholeNumber ? decimalPoint - kWholeNumber : kWholeNumber - decimalPoint;
  double power = 1;
  for (unsigned step = 0; step < steps; ++step) power *= 10;
  return decimalPoint > kWholeNumber ? count / power : count * power;
}

}  // namespace

bool ToledoStandardFrame::ReadLast(const Bytes& received, double& weight) {
  for (size_t stx = received.rfind(kStx); stx != Bytes::npos;
       stx = stx == 0 ? Bytes::npos : received.rfind(kStx, stx - 1)) {
    const size_t cr = FrameEnd(received, stx);
    if (cr != 0 && FollowedFittingly(received, stx, cr)) {
      weight = ReadingOf(received, stx);
      return true;
    }
  }
  return false;
}

size_t ToledoStandardFrame::FrameEnd(const Bytes& received, size_t stx) {
  if (received.size() <= stx + kShortCr || !HasFixedBits(received, stx)) return 0;
  if (!IsNumberField(received, stx + kWeightStart)) return 0;
  if (received[stx + kShortCr] == kCr) return stx + kShortCr;
  if (received.size() <= stx + kLongCr || !IsNumberField(received, stx + kShortCr)) return 0;
  return received[stx + kLongCr] == kCr ? stx + kLongCr : 0;
}

bool ToledoStandardFrame::FollowedFittingly(const Bytes& received, size_t stx, size_t cr) {
  if (cr + 1 == received.size()) return true;
  const unsigned next = Bits(received, cr + 1);
  return (next & 0x7F) == Checksum(received, stx, cr) || received[cr + 1] == kStx;
}

double ToledoStandardFrame::ReadingOf(const Bytes& received, size_t stx) {
  const unsigned a = Bits(received, stx + 1);
  const unsigned b = Bits(received, stx + 2);
  if ((b & kOutOfRange) != 0) return weight_code::kOverload;
  if ((b & kMotion) != 0) return weight_code::kUnstable;
  if ((b & kNegative) != 0) return weight_code::kNegative;
  int32_t count = 0;
  // Six digits always fit; the field was checked to be a number.
  if (!ScaleNumbers::TryToInteger(received.substr(stx + kWeightStart, kDigits), count)) {
    return weight_code::kReadFailure;
  }
  const double weight = Scaled(count, a & kDecimalPointBits);
  return (b & kKilograms) != 0 ? weight : weight * kKilogramsPerPound;
}

}  // namespace trv
