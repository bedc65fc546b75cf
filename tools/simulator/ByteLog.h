#pragma once

#include <ostream>
#include <string>

#include "platform/Bytes.h"

namespace trv::tools {

// The simulator's traffic log: one line per event, stamped with the local time to the
// millisecond. Bytes are written in hex, "<" for what the scale received, ">" for what it sent;
// "#" lines are notes (control commands, dropped bytes). Every line is flushed at once, so the
// log can be followed while the simulator runs. Without an output stream nothing is written.
class ByteLog {
 public:
  explicit ByteLog(std::ostream* out = nullptr) : out_(out) {}

  void SetOutput(std::ostream* out) { out_ = out; }
  void Received(const Bytes& bytes) { Write('<', Hex(bytes)); }
  void Sent(const Bytes& bytes) { Write('>', Hex(bytes)); }
  void Note(const std::string& text) { Write('#', text); }

  // "05 02 30" for the bytes 0x05 0x02 0x30.
  static std::string Hex(const Bytes& bytes);

 private:
  void Write(char marker, const std::string& body);
  static std::string Timestamp();

  std::ostream* out_;
};

}  // namespace trv::tools
