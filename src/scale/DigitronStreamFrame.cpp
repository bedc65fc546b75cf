#include "scale/DigitronStreamFrame.h"
#include "platform/ControlBytes.h"

namespace trv {
namespace {

using namespace ascii;
constexpr size_t kWeightLength = DigitronStreamFrame::kLength - 2;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
  return c >= 'A' && c <= 'Z';
}

}  // namespace

bool DigitronStreamFrame::FindLast(const Bytes& received, size_t& start) {
  for (size_t cr = received.rfind(kCr); cr != Bytes::npos;
       cr = cr == 0 ? Bytes::npos : received.rfind(kCr, cr - 1)) {
    if (cr + 1 >= kLength && IsFrameAt(received, cr + 1 - kLength)) {
      start = cr + 1 - kLength;
      return true;
    }
  }
  return false;
}

bool DigitronStreamFrame::IsFrameAt(const Bytes& received, size_t start) {
  const bool beginsAFrame = start == 0 || received[start - 1] == kCr;
  return beginsAFrame && IsLetter(received[start]) &&
         IsWeight(received.substr(start + 1, kWeightLength));
}

bool DigitronStreamFrame::IsWeight(const Bytes& weight) {
  size_t i = weight.find_first_not_of(' ');
  if (i == Bytes::npos) return false;
  if (weight[i] == '-') ++i;
  size_t digits = 0;
  size_t marks = 0;
  for (; i < weight.size(); ++i) {
    if (IsDigit(weight[i])) {
      ++digits;
    } else if (weight[i] == '.' || weight[i] == ',') {
      ++marks;
    } else {
      return false;
    }
  }
  return digits > 0 && marks <= 1;
}

}  // namespace trv
