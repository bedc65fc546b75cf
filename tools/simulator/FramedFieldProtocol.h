#pragma once

#include <cstddef>
#include <cstdint>

#include "SingleByteRequestProtocol.h"

namespace trv::tools {

// Scales asked with ENQ that answer STX, one field and ETX. The field holds the weight or, for
// a reading without one, a row of status letters: I unstable, N negative, S overload.
class FramedFieldProtocol : public SingleByteRequestProtocol {
 public:
  Bytes Answer(const ScaleReading& reading) override;

 protected:
  explicit FramedFieldProtocol(size_t letterCount)
      : SingleByteRequestProtocol(kEnq), letterCount_(letterCount) {}

  Bytes Letters(char letter) const { return Bytes(letterCount_, letter); }
  // The field of a reading: the weight, or the letters of its state.
  Bytes Field(const ScaleReading& reading) const;
  // The field of a settled weight; letters when the field cannot hold it.
  virtual Bytes WeightField(int64_t grams) const = 0;
  // Grams in six digits; N below zero, S beyond 999999 g.
  Bytes SixDigitGrams(int64_t grams) const;

 private:
  size_t letterCount_;
};

}  // namespace trv::tools
