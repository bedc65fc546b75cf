#include "NamedScaleLookup.h"

#include "ExitCodes.h"
#include "ScaleName.h"
#include "ServiceConfigurationSource.h"

namespace trv::config {

int NamedScaleLookup::Find(const std::string& path, const std::string& name,
                           const PortLister& listPorts, FormSettings& settings,
                           std::string& error) {
  if (!ScaleName::IsValid(name)) {
    error = "--balanca: " + ScaleName::Refusal(name);
    return cli::kExitUsage;
  }
  SiteConfiguration configuration;
  if (!ServiceConfigurationSource::Load(path, configuration, error)) return cli::kExitUsage;
  const auto found = configuration.scales.find(name);
  if (found == configuration.scales.end()) {
    error = "não há balança " + name + " em " + path + " (travinel configurar as mostra)";
    return cli::kExitUsage;
  }
  settings = found->second;
  if (!IsPortIdentity(settings.portPath)) return cli::kExitOk;
  SerialPortEntry port;
  if (!FindPortByIdentity(listPorts(), settings.portPath, port)) {
    error = "o adaptador da balança " + name + " (" + settings.portPath + ") não está conectado";
    return cli::kExitPortFailure;
  }
  settings.portPath = port.name;
  return cli::kExitOk;
}

}  // namespace trv::config
