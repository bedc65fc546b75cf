#include "ControlChannel.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace trv::tools {
namespace {

// A line longer than this is nobody's command: it is dropped unread.
constexpr size_t kMaxLine = 4096;

}  // namespace

bool ControlChannel::Receive(std::vector<std::string>& lines) {
  char buffer[1024];
  const ssize_t n = read(readFd_, buffer, sizeof buffer);
  if (n == 0) return false;
  if (n < 0) return errno == EAGAIN || errno == EINTR;
  pending_.append(buffer, static_cast<size_t>(n));
  TakeLines(lines);
  if (pending_.size() > kMaxLine) pending_.clear();
  return true;
}

void ControlChannel::TakeLines(std::vector<std::string>& lines) {
  for (size_t end = pending_.find('\n'); end != std::string::npos; end = pending_.find('\n')) {
    std::string line = pending_.substr(0, end);
    pending_.erase(0, end + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
}

void ControlChannel::Reply(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(writeFd_, text.data() + done, text.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return;
  }
}

}  // namespace trv::tools
