#include "NamedScales.h"

#include <utility>

#include "ReadingState.h"
#include "ServiceLog.h"

namespace trv::service {

NamedScales::NamedScales(std::map<std::string, FormSettings> scales, PortLister listPorts)
    : scales_(std::move(scales)),
      listPorts_(listPorts ? std::move(listPorts) : PortLister(ListSerialPorts)) {}

bool NamedScales::Choose(const std::optional<std::string>& name, bool portGiven,
                         ChosenScale& chosen, ScaleRefusal& refusal) const {
  chosen = ChosenScale();
  if (!name) {
    // One scale configured is the counter's scale: a page need not name it.
    if (!portGiven && scales_.size() == 1)
      chosen = {scales_.begin()->second, scales_.begin()->first};
    return true;
  }
  if (portGiven) {
    refusal = {400, "uma balança com nome já tem a sua porta: tire Porta do pedido", ""};
    return false;
  }
  const auto found = scales_.find(*name);
  if (found == scales_.end()) {
    // The name comes from the page: shortened and without control characters, as in the log.
    refusal = {404, "balança desconhecida: " + ServiceLog::Quoted(*name), ""};
    return false;
  }
  chosen = {found->second, found->first};
  return true;
}

bool NamedScales::Locate(ChosenScale& chosen, ScaleRefusal& refusal) const {
  if (chosen.name.empty() || !IsPortIdentity(chosen.settings.portPath)) return true;
  SerialPortEntry port;
  if (!FindPortByIdentity(listPorts_(), chosen.settings.portPath, port)) {
    refusal = {503,
               "o adaptador da balança " + chosen.name + " (" + chosen.settings.portPath +
                   ") não está conectado",
               ReadingState::kPortUnavailable};
    return false;
  }
  chosen.settings.portPath = port.name;
  chosen.settings.porta = -1;
  return true;
}

}  // namespace trv::service
