#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "platform/Bytes.h"
#include "serial/ByteStream.h"

namespace trv {

// A stream kept in memory.
class MemoryByteStream final : public ByteStream {
 public:
  MemoryByteStream() = default;
  // A stream holding bytes, positioned at its start.
  explicit MemoryByteStream(Bytes bytes) : data_(std::move(bytes)) {}

  int64_t Size() const override { return static_cast<int64_t>(data_.size()); }
  int64_t Position() const override { return position_; }
  // A position below 0 becomes 0; one past the end is allowed, and a write there fills the gap
  // with zero bytes.
  void SetPosition(int64_t position) override;
  int Read(char* buffer, int count) override;
  void Write(const char* data, size_t count) override;

  const Bytes& Data() const { return data_; }

 private:
  Bytes data_;
  int64_t position_ = 0;
};

}  // namespace trv
