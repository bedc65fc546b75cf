#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#endif

#include <cstdint>

namespace trv::bench {

// User and system CPU time of the whole process, in milliseconds.
inline double ProcessCpuMilliseconds() {
#ifdef _WIN32
  FILETIME creation{};
  FILETIME exit{};
  FILETIME kernel{};
  FILETIME user{};
  GetProcessTimes(GetCurrentProcess(), &creation, &exit, &kernel, &user);
  auto hundredNs = [](const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  };
  return static_cast<double>(hundredNs(kernel) + hundredNs(user)) / 1e4;
#else
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  auto ms = [](const timeval& time) {
    return static_cast<double>(time.tv_sec) * 1e3 + static_cast<double>(time.tv_usec) / 1e3;
  };
  return ms(usage.ru_utime) + ms(usage.ru_stime);
#endif
}

}  // namespace trv::bench
