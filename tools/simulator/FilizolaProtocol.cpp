#include "FilizolaProtocol.h"

namespace trv::tools {

Bytes FilizolaProtocol::WeightField(int64_t grams) const {
  return SixDigitGrams(grams);
}

}  // namespace trv::tools
