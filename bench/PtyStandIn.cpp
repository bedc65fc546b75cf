// The stand-in works by defining open(), __open_2() and ioctl() in this program: the dynamic
// linker binds libserialport's calls of these to the program's definitions before the C
// library's. Each one goes straight to the kernel through syscall(), as the C library's own
// wrappers do, so every other caller sees no difference besides one comparison.

#include "PtyStandIn.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <mutex>

namespace trv::bench {
namespace {

std::mutex redirectMutex;
std::string standIn;
std::string target;
bool active = false;

bool IsModemLineRequest(unsigned long request) {
  return request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
}

// The path to open for `path`: the pty for the stand-in's name while a stand-in is active.
std::string Redirected(const char* path) {
  std::lock_guard lock(redirectMutex);
  if (active && path != nullptr && standIn == path) return target;
  return path != nullptr ? path : "";
}

bool Active() {
  std::lock_guard lock(redirectMutex);
  return active;
}

}  // namespace

PtyStandIn::PtyStandIn(std::string standInName, std::string ptyPath) {
  std::lock_guard lock(redirectMutex);
  standIn = std::move(standInName);
  target = std::move(ptyPath);
  active = true;
}

PtyStandIn::~PtyStandIn() {
  std::lock_guard lock(redirectMutex);
  active = false;
}

}  // namespace trv::bench

extern "C" int open(const char* path, int flags, ...) {
  mode_t mode = 0;
  // The mode argument exists only for the flags that may create a file.
  if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) {
    va_list arguments;
    va_start(arguments, flags);
    mode = static_cast<mode_t>(va_arg(arguments, int));
    va_end(arguments);
  }
  const std::string opened = trv::bench::Redirected(path);
  return static_cast<int>(syscall(SYS_openat, AT_FDCWD, opened.c_str(), flags, mode));
}

// The checked form that fortified callers use for open() without a mode.
extern "C" int __open_2(const char* path, int flags) {
  return open(path, flags);
}

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  const long result = syscall(SYS_ioctl, fd, request, argument);
  if (result == -1 && errno == ENOTTY && trv::bench::IsModemLineRequest(request) &&
      trv::bench::Active()) {
    // The lines of a cable to a powered device: DSR, CTS and DCD up; setting lines is accepted.
    if (request == TIOCMGET && argument != nullptr) {
      const int lines = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;
      std::memcpy(argument, &lines, sizeof lines);
    }
    errno = 0;
    return 0;
  }
  return static_cast<int>(result);
}
