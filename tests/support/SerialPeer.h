#pragma once

#include <cstddef>
#include <string>

#include "testing/Pseudoterminal.h"

namespace trv::test {

// The far end of a serial line for tests: a pseudo-terminal whose slave side is published under
// a link path, and a small command language read from the line that scripts what the far end
// answers and when. Commands are text lines ending in LF:
//   SEND <hex>                 write the bytes at once
//   LATE <ms> <hex>            wait, then write
//   SPLIT <ms> <hex1> <hex2>   write hex1, wait, write hex2
//   TRICKLE <ms> <hex>         write the bytes one at a time, ms apart
//   SILENT                     do nothing
//   STREAM <n>                 write n bytes of the pattern i*7+3 (mod 256), as fast as read
//   SINK <n>                   read and drop the next n bytes, then write "OK\n"
//   ECHO <n>                   write back the next n bytes read, as they come
//   MODEM                      act as a modem: read commands ended by CR, echo each, answer
//                              "OK" to AT..., "BUSY" to an ATD... that names BUSY, "ERROR" to
//                              anything else, each answer framed by CR LF; an ATD... answered
//                              "CONNECT 9600" ends the modem and the command language goes on
//   HANGUP <ms>                wait, point the link path at a fresh pseudo-terminal, close the
//                              old one (the client sees a hang-up) and serve on the new one
//   UNPLUG <ms> <gone-ms>      wait, remove the link and close the pseudo-terminal (the device
//                              vanishes: the client sees a hang-up, the path is missing), stay
//                              away gone-ms, then serve on a fresh one at the same link path
//   FLOOD <ms> <hex>           write the bytes again and again, as fast as they are read, for
//                              ms; a reader that stops reading only makes the flood wait
//   REPEAT <n> <ms> <hex>      write the bytes n times, ms apart
//   QUIT                       end serving
// Unknown lines are ignored. Every wait also watches a stop descriptor (a signal's self-pipe),
// so the peer ends promptly when told to.
class SerialPeer {
 public:
  SerialPeer(std::string linkPath, int stopFd);
  ~SerialPeer();
  SerialPeer(const SerialPeer&) = delete;
  SerialPeer& operator=(const SerialPeer&) = delete;

  // Creates the pseudo-terminal and points the link at it; false with Error() set on failure.
  bool Open();
  // Serves commands until QUIT or the stop descriptor fires (true), or a failure (false).
  bool Serve();

  const std::string& SlavePath() const { return pty_.SlavePath(); }
  const std::string& Error() const { return error_; }

 private:
  enum class Wait { Ready, TimedOut, Stopped, Failed };

  bool Fail(const std::string& what);

  // Runs one command line; false ends serving.
  bool Execute(const std::string& line);
  bool HangUp(int delayMs);
  bool Unplug(int delayMs, int goneMs);
  bool Flood(int durationMs, const std::string& bytes);
  bool Repeat(size_t count, int gapMs, const std::string& bytes);
  bool Trickle(int gapMs, const std::string& bytes);
  bool Sink(size_t count);
  bool Stream(size_t count);
  bool Echo(size_t count);
  bool Modem();
  // The modem's answer to one command; connected is set when it dialled through.
  static std::string ModemAnswer(const std::string& command, bool& connected);

  // Waits for the master to be ready for events, or for the stop descriptor.
  Wait WaitFor(short events, int timeoutMs);
  // Waits ms without reading commands; false when told to stop.
  bool Pause(int ms);
  // Reads what the line sent into pending_; false when stopped or failed.
  bool Receive();
  bool WriteAll(const std::string& bytes);

  tools::Pseudoterminal pty_;
  int stopFd_;
  std::string pending_;
  std::string error_;
  bool stopped_ = false;
};

}  // namespace trv::test
