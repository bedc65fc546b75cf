#include "ToledoProtocol.h"

namespace trv::tools {

Bytes ToledoProtocol::WeightField(int64_t grams) const {
  return SixDigitGrams(grams);
}

}  // namespace trv::tools
