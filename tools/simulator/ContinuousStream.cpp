#include "ContinuousStream.h"

namespace trv::tools {

Bytes ContinuousStream::Of(const Bytes& frame, size_t frames) {
  const size_t half = frame.size() / 2;
  Bytes stream = frame.substr(half);
  for (size_t i = 0; i < frames; ++i) stream += frame;
  stream += frame.substr(0, half);
  return stream;
}

}  // namespace trv::tools
