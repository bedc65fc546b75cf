#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>

#include "RotatingLogFile.h"

namespace trv::service {

// What the service records: its start and stop, every refused request and every reading that
// failed, one line each, safe to call from every connection's thread. Under systemd (and by
// hand) the lines go to standard error, where the journal takes them; as a Windows service,
// to a rotating file of at most 1 MiB (three older ones kept) under %ProgramData%\Travinel\logs.
//
// What a page sent (an origin, a host, a port name) cannot forge lines: every control character
// of a line becomes a blank, and a line is cut at 2000 bytes.
class ServiceLog {
 public:
  // Lines to standard error.
  ServiceLog() = default;
  // Lines to the rotating file servir.log in this folder, each with its UTC time.
  explicit ServiceLog(const std::filesystem::path& folder);

  void Write(const std::string& line);

  // The page's value made safe for one line of the log: at most 200 bytes, no control
  // characters.
  static std::string Quoted(const std::string& value);

 private:
  std::mutex mutex_;
  std::unique_ptr<RotatingLogFile> file_;
};

}  // namespace trv::service
