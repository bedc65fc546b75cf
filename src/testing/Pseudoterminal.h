#pragma once

#include <string>

namespace trv::tools {

// A pseudo-terminal whose slave side stands for a serial port: both sides raw (no echo, no line
// editing, no CR/LF translation, 8 bits), the slave published under a link path for clients to
// open. We keep the slave open ourselves, so the line stays up and raw while no client has it
// open (a master whose slave is closed everywhere reports a hang-up). The master is
// non-blocking and not inherited by child processes.
class Pseudoterminal {
 public:
  // linkPath: where the slave is published; empty publishes nothing.
  explicit Pseudoterminal(std::string linkPath = {});
  ~Pseudoterminal();
  Pseudoterminal(const Pseudoterminal&) = delete;
  Pseudoterminal& operator=(const Pseudoterminal&) = delete;

  // Creates the pseudo-terminal and points the link at it; false with Error() set on failure.
  bool Open();
  // Brings up a fresh pseudo-terminal, points the link at it, then closes the old one: a client
  // of the old one sees a hang-up, and one that opens the link path again reaches the new one.
  // On failure the old one stays.
  bool Renew();
  // Removes the link (when it still points at our slave) and closes both sides.
  void Close();

  bool IsOpen() const { return master_ >= 0; }
  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }
  const std::string& LinkPath() const { return linkPath_; }
  const std::string& Error() const { return error_; }

 private:
  // The two descriptors and the slave's name of one pseudo-terminal.
  struct Ends {
    int master = -1;
    int slave = -1;
    std::string slavePath;
  };

  bool Create(Ends& ends);
  bool PointLink(const std::string& target);
  void RemoveLink();
  void Adopt(Ends& ends);
  static void CloseEnds(Ends& ends);
  bool Fail(const std::string& what);

  std::string linkPath_;
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
  std::string error_;
};

}  // namespace trv::tools
