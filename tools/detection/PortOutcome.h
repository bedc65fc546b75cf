#pragma once

#include <string>
#include <vector>

#include "LineSetting.h"
#include "ScaleAnswerMatcher.h"

namespace trv::detection {

// What the search found on one port.
struct PortOutcome {
  enum class Kind {
    kFound,       // a scale answered with a weight
    kNoWeight,    // something answered like a scale, but no driver read a weight from it
    kSilent,      // nothing a scale would say, at any line setting
    kBusy,        // another program holds the port: left alone
    kNotSerial,   // the name leads to no serial device: nothing was opened
    kOpenFailed,  // the port would not open or take the line settings
    kOutOfTime,   // the search's time ran out before every setting was tried
  };

  // The port as it was named (a listed port or one of --portas) and the device it leads to.
  std::string port;
  std::string device;
  // A USB adapter's identity ("usb:VID:PID:SERIAL"); empty for other ports.
  std::string identity;
  Kind kind = Kind::kSilent;
  // kFound: the model read, the others that read the same answer as a weight, the setting.
  ModelReading reading;
  std::vector<ModelReading> alsoRead;
  LineSetting line;
  // kOpenFailed: the system's reason.
  std::string reason;

  bool Found() const { return kind == Kind::kFound; }
  // What happened, in words for the shop ("em uso", "não é uma porta serial"); empty for kFound.
  std::string Description() const;
};

}  // namespace trv::detection
