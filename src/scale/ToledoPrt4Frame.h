#pragma once

#include <string>

#include "platform/Bytes.h"

namespace trv {

// The weight/price/total answer with a product code that prt4-type Toledo scales send without
// being asked (25 bytes): STX, six code digits, five weight digits (three implied decimals), six
// price digits, six total digits, ETX. Recognised by its length and its all-digit fields.
class ToledoPrt4Frame {
 public:
  // The five weight digits of `answer` when it is such a frame; false otherwise.
  static bool FindWeight(const Bytes& answer, std::string& weightDigits);
};

}  // namespace trv
