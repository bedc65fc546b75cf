#include "scale/ToledoPrt2Frame.h"
#include "platform/ControlBytes.h"

namespace trv {
namespace {

using namespace ascii;
constexpr size_t kDecimals = 3;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsSign(char c) {
  return c == '+' || c == '-' || c == ' ';
}

// `count` digits from `from`, all within `text`.
bool AreDigits(const Bytes& text, size_t from, size_t count) {
  if (from + count > text.size()) return false;
  for (size_t i = from; i < from + count; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  return true;
}

}  // namespace

bool ToledoPrt2Frame::FindLast(const Bytes& received, std::string& signedWeight) {
  for (size_t stx = received.rfind(kStx); stx != Bytes::npos;
       stx = stx == 0 ? Bytes::npos : received.rfind(kStx, stx - 1)) {
    const size_t length = FrameLength(received, stx);
    if (length != 0) {
      signedWeight = received.substr(stx + 1, length - 2);
      return true;
    }
  }
  return false;
}

size_t ToledoPrt2Frame::FrameLength(const Bytes& received, size_t stx) {
  const size_t sign = stx + 1;
  if (sign >= received.size() || !IsSign(received[sign])) return 0;
  // One integer digit, or two (the first may be a blank).
  for (size_t integerDigits : {size_t{1}, size_t{2}}) {
    const size_t point = sign + 1 + integerDigits;
    const size_t cr = point + 1 + kDecimals;
    if (cr >= received.size() || received[point] != '.' || received[cr] != kCr) continue;
    const bool blankFirst = integerDigits == 2 && received[sign + 1] == ' ';
    const size_t firstDigit = blankFirst ? sign + 2 : sign + 1;
    if (AreDigits(received, firstDigit, point - firstDigit) &&
        AreDigits(received, point + 1, kDecimals)) {
      return cr - stx + 1;
    }
  }
  return 0;
}

}  // namespace trv
