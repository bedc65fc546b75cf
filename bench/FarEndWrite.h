#pragma once

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>

namespace trv::bench {

// Writes all of data to a non-blocking descriptor (a pseudo-terminal's master, the far end of
// the line under test), waiting for room at most until deadline.
inline bool WriteAll(int fd, const char* data, size_t length,
                     std::chrono::steady_clock::time_point deadline) {
  while (length > 0) {
    const ssize_t n = write(fd, data, length);
    if (n > 0) {
      data += n;
      length -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLOUT, 0};
    poll(&entry, 1, static_cast<int>(left.count()));
  }
  return true;
}

}  // namespace trv::bench
