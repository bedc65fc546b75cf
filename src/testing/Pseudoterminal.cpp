#include "testing/Pseudoterminal.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace trv::tools {
namespace {

// Raw 8-bit line settings: what a serial port to a device looks like.
void SetRaw(termios& tio) {
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
}

bool MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  SetRaw(tio);
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

bool KeepFromChildren(int fd) {
  return fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

bool MakeNonBlocking(int fd) {
  const int flags = fcntl(fd, F_GETFL);
  return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

}  // namespace

Pseudoterminal::Pseudoterminal(std::string linkPath) : linkPath_(std::move(linkPath)) {}

Pseudoterminal::~Pseudoterminal() {
  Close();
}

bool Pseudoterminal::Fail(const std::string& what) {
  error_ = what + ": " + std::strerror(errno);
  return false;
}

bool Pseudoterminal::Open() {
  Close();
  Ends ends;
  if (!Create(ends)) return false;
  if (!PointLink(ends.slavePath)) {
    CloseEnds(ends);
    return false;
  }
  Adopt(ends);
  return true;
}

bool Pseudoterminal::Renew() {
  Ends fresh;
  if (!Create(fresh)) return false;
  if (!PointLink(fresh.slavePath)) {
    CloseEnds(fresh);
    return false;
  }
  // The link already names the new slave, so RemoveLink leaves it alone from here on.
  Ends old{master_, slave_, slavePath_};
  Adopt(fresh);
  // Closing both sides of the old line hangs up every client descriptor of it.
  CloseEnds(old);
  return true;
}

void Pseudoterminal::Close() {
  RemoveLink();
  Ends ends{master_, slave_, slavePath_};
  CloseEnds(ends);
  master_ = slave_ = -1;
  slavePath_.clear();
}

bool Pseudoterminal::Create(Ends& ends) {
  termios raw{};
  SetRaw(raw);
  char name[PATH_MAX] = {};
  // The slave gets its raw settings at creation, before any client can open it.
  if (openpty(&ends.master, &ends.slave, nullptr, &raw, nullptr) != 0) return Fail("openpty");
  const bool ready = MakeRaw(ends.master) && MakeRaw(ends.slave) &&
                     ttyname_r(ends.slave, name, sizeof name) == 0 &&
                     KeepFromChildren(ends.master) && KeepFromChildren(ends.slave) &&
                     MakeNonBlocking(ends.master);
  if (!ready) {
    Fail("pseudo-terminal setup");
    CloseEnds(ends);
    return false;
  }
  ends.slavePath = name;
  return true;
}

bool Pseudoterminal::PointLink(const std::string& target) {
  if (linkPath_.empty()) return true;
  // A new link under a side name, renamed over the old one: clients never see the path missing.
  const std::string fresh = linkPath_ + ".new";
  unlink(fresh.c_str());
  if (symlink(target.c_str(), fresh.c_str()) != 0) return Fail("symlink " + fresh);
  if (rename(fresh.c_str(), linkPath_.c_str()) != 0) {
    Fail("rename to " + linkPath_);
    unlink(fresh.c_str());
    return false;
  }
  return true;
}

void Pseudoterminal::RemoveLink() {
  if (linkPath_.empty() || slavePath_.empty()) return;
  char target[PATH_MAX] = {};
  const ssize_t length = readlink(linkPath_.c_str(), target, sizeof target - 1);
  // Only our own link goes; a link that meanwhile points elsewhere belongs to someone else.
  if (length > 0 && slavePath_ == std::string(target, static_cast<size_t>(length))) {
    unlink(linkPath_.c_str());
  }
}

void Pseudoterminal::Adopt(Ends& ends) {
  master_ = std::exchange(ends.master, -1);
  slave_ = std::exchange(ends.slave, -1);
  slavePath_ = std::move(ends.slavePath);
}

void Pseudoterminal::CloseEnds(Ends& ends) {
  if (ends.master >= 0) close(ends.master);
  if (ends.slave >= 0) close(ends.slave);
  ends.master = ends.slave = -1;
}

}  // namespace trv::tools
