#include "scale/ToledoPrt4Frame.h"
#include "platform/ControlBytes.h"

#include <algorithm>

namespace trv {
namespace {

using namespace ascii;
constexpr size_t kCodeDigits = 6;
constexpr size_t kWeightDigits = 5;
constexpr size_t kFrameLength = 25;

}  // namespace

bool ToledoPrt4Frame::FindWeight(const Bytes& answer, std::string& weightDigits) {
  if (answer.size() != kFrameLength || answer.front() != kStx || answer.back() != kEtx) {
    return false;
  }
  const bool allDigits = std::all_of(answer.begin() + 1, answer.end() - 1,
                                     [](char c) { return c >= '0' && c <= '9'; });
  if (!allDigits) return false;
  weightDigits = answer.substr(1 + kCodeDigits, kWeightDigits);
  return true;
}

}  // namespace trv
