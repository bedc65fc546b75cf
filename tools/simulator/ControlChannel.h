#pragma once

#include <string>
#include <vector>

namespace trv::tools {

// One source of control commands: a descriptor that lines come from and one that the replies
// go to (the same one for a pseudo-terminal; standard input and output for a terminal or a
// pipe). The descriptors stay the caller's.
class ControlChannel {
 public:
  ControlChannel(int readFd, int writeFd) : readFd_(readFd), writeFd_(writeFd) {}

  int ReadFd() const { return readFd_; }

  // Reads what waits on the descriptor (call it when poll reports it readable) and appends the
  // complete lines, without their CR/LF, to `lines`. False at the end of the input or on a
  // failure: the channel is then done.
  bool Receive(std::vector<std::string>& lines);

  // Writes a reply. A reply that the other side does not take at once is dropped: the
  // simulator never waits for a control client.
  void Reply(const std::string& text);

 private:
  void TakeLines(std::vector<std::string>& lines);

  int readFd_;
  int writeFd_;
  std::string pending_;
};

}  // namespace trv::tools
