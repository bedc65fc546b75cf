#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "control/FormSettings.h"
#include "serial/SerialPortList.h"

namespace trv::service {

// The settings a request will read with, and the named scale they come from (empty: the page
// named its own port).
struct ChosenScale {
  FormSettings settings;
  std::string name;
};

// Why a request cannot be served: the HTTP status, the text for the page, and for a scale whose
// port is missing the reading's estado (porta_indisponivel).
struct ScaleRefusal {
  int status = 400;
  std::string text;
  std::string estado;
};

// The scales IT named in the configuration file, as pages use them: {"balanca": "caixa"}.
// A scale bound to a USB adapter's identity is looked for in the port listing at each request,
// so the adapter may move from socket to socket.
class NamedScales {
 public:
  using PortLister = std::function<std::vector<SerialPortEntry>()>;

  // listPorts: the machine's serial ports (null: ListSerialPorts).
  explicit NamedScales(std::map<std::string, FormSettings> scales, PortLister listPorts = nullptr);

  // The settings a request starts from: the scale it names (and then it may not name a port),
  // the only scale configured when it names neither a scale nor a port, or else the control's
  // defaults. Unknown names are refused with 404.
  bool Choose(const std::optional<std::string>& name, bool portGiven, ChosenScale& chosen,
              ScaleRefusal& refusal) const;
  // A named scale bound to an identity gets the port its adapter is on now; 503 when the adapter
  // is not connected. Other settings stay as they are.
  bool Locate(ChosenScale& chosen, ScaleRefusal& refusal) const;

  const std::map<std::string, FormSettings>& All() const { return scales_; }

 private:
  std::map<std::string, FormSettings> scales_;
  PortLister listPorts_;
};

}  // namespace trv::service
