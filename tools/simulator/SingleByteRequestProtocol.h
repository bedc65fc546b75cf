#pragma once

#include "ScaleProtocol.h"

namespace trv::tools {

// A protocol whose request is one byte (ENQ for most scales, "P" for Magna): a received byte
// that is not the request is line noise.
class SingleByteRequestProtocol : public ScaleProtocol {
 public:
  size_t RequestLength(const Bytes& received) const override {
    return BeginsRequest(received) ? 1 : 0;
  }
  bool BeginsRequest(const Bytes& received) const override {
    return !received.empty() && received.front() == request_;
  }

 protected:
  static constexpr char kEnq = 0x05;
  explicit SingleByteRequestProtocol(char request) : request_(request) {}

 private:
  char request_;
};

}  // namespace trv::tools
