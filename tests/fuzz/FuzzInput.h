#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "platform/Bytes.h"

namespace trv::testing {

// Reads a fuzzer's input as choices (flags, counts) followed by bytes to deliver, so one input
// decides both what arrives and how it is cut into deliveries.
class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Flag() { return (Byte() & 1) != 0; }

  uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }

  // Up to four deliveries of the following bytes, each with a delay of 0 to 255 ms before it.
  std::vector<std::pair<uint64_t, Bytes>> Deliveries() {
    const int count = 1 + Byte() % 4;
    std::vector<std::pair<uint64_t, Bytes>> deliveries;
    for (int i = 0; i < count; ++i) {
      const uint64_t delay = Byte();
      const size_t wanted = Byte();
      const size_t length = std::min(wanted, size_ - position_);
      deliveries.emplace_back(delay, Take(length));
    }
    return deliveries;
  }

  Bytes Rest() { return Take(size_ - position_); }

 private:
  Bytes Take(size_t length) {
    Bytes bytes(reinterpret_cast<const char*>(data_ + position_), length);
    position_ += length;
    return bytes;
  }

  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
};

}  // namespace trv::testing
