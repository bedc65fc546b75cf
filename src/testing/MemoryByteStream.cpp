#include "testing/MemoryByteStream.h"

#include <algorithm>

namespace trv {

void MemoryByteStream::SetPosition(int64_t position) {
  position_ = std::max<int64_t>(position, 0);
}

int MemoryByteStream::Read(char* buffer, int count) {
  const int64_t available = std::max<int64_t>(Size() - position_, 0);
  const int64_t taken = std::min<int64_t>(available, std::max(count, 0));
  std::copy_n(data_.data() + position_, taken, buffer);
  position_ += taken;
  return static_cast<int>(taken);
}

void MemoryByteStream::Write(const char* data, size_t count) {
  const auto start = static_cast<size_t>(position_);
  if (data_.size() < start + count) data_.resize(start + count, '\0');
  std::copy_n(data, count, data_.begin() + static_cast<ptrdiff_t>(start));
  position_ += static_cast<int64_t>(count);
}

}  // namespace trv
