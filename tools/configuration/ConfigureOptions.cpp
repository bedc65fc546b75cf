#include "ConfigureOptions.h"

#include <map>
#include <optional>

#include "ConfigurationPlaces.h"
#include "ListenAddress.h"
#include "PortList.h"
#include "SiteList.h"

namespace trv::config {
namespace {

// The options as given, before they are checked together.
struct GivenOptions {
  std::optional<std::string> sites;
  std::optional<std::string> ports;
  std::optional<std::string> listen;
  std::optional<std::string> root;
  bool remove = false;
  bool withoutPolicies = false;
  bool help = false;
};

bool TakesValue(const std::string& name) {
  return name == "--sites" || name == "--portas" || name == "--escuta" || name == "--raiz";
}

bool SetFlag(const std::string& name, GivenOptions& given) {
  if (name == "--remover") {
    given.remove = true;
  } else if (name == "--sem-politicas") {
    given.withoutPolicies = true;
  } else if (name == "--help" || name == "-h") {
    given.help = true;
  } else {
    return false;
  }
  return true;
}

void SetValue(const std::string& name, const std::string& value, GivenOptions& given) {
  const std::map<std::string, std::optional<std::string>*> targets{{"--sites", &given.sites},
                                                                   {"--portas", &given.ports},
                                                                   {"--escuta", &given.listen},
                                                                   {"--raiz", &given.root}};
  *targets.at(name) = value;
}

bool ReadArguments(const std::vector<std::string>& args, GivenOptions& given, std::string& error) {
  for (size_t index = 0; index < args.size(); ++index) {
    std::string name = args[index];
    std::optional<std::string> value;
    const size_t equals = name.find('=');
    if (name.rfind("--", 0) == 0 && equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.erase(equals);
    }
    if (!TakesValue(name)) {
      if (!value && SetFlag(name, given)) continue;
      error = value ? name + " não leva valor"
                    : (name.rfind("-", 0) == 0 ? "opção desconhecida: " + name
                                               : "argumento inesperado: " + name);
      return false;
    }
    if (!value) {
      if (index + 1 >= args.size()) {
        error = name + " precisa de um valor";
        return false;
      }
      value = args[++index];
    }
    SetValue(name, *value, given);
  }
  return true;
}

bool CheckRoot(const GivenOptions& given, ConfigureRequest& request, std::string& error) {
  if (!given.root) return true;
  if (!ConfigurationPlaces::TakesRoot()) {
    error = "--raiz só existe no Linux (para testes)";
    return false;
  }
  std::string root = *given.root;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root.empty() || root == "/") {
    error = "--raiz: dê uma pasta de testes, não a raiz do sistema";
    return false;
  }
  request.root = root;
  return true;
}

bool ReadConfiguration(const GivenOptions& given, ConfigureRequest& request, std::string& error) {
  SiteConfiguration& configuration = request.configuration;
  if (!SiteList::Parse(*given.sites, request.browsers, configuration.sites, error)) return false;
  if (given.ports && !PortList::Parse(*given.ports, configuration.allowedPorts, error)) {
    return false;
  }
  if (given.listen && !ListenAddress::Parse(*given.listen, configuration.listen)) {
    error = "--escuta: '" + *given.listen +
            "' não é ENDEREÇO:PORTA deste computador (como 127.0.0.1:8470)";
    return false;
  }
  return true;
}

bool Combine(const GivenOptions& given, ConfigureRequest& request, std::string& error) {
  request.browsers = !given.withoutPolicies;
  if (!CheckRoot(given, request, error)) return false;
  const bool settings = given.sites || given.ports || given.listen;
  if (given.remove) {
    if (settings) {
      error = "--remover não vai junto com --sites, --portas ou --escuta";
      return false;
    }
    request.action = ConfigureRequest::Action::Remove;
    return true;
  }
  if (!settings) {
    request.action = ConfigureRequest::Action::List;
    return true;
  }
  if (!given.sites) {
    error = "--portas e --escuta precisam de --sites (a configuração é gravada inteira)";
    return false;
  }
  request.action = ConfigureRequest::Action::Write;
  return ReadConfiguration(given, request, error);
}

}  // namespace

bool ConfigureOptions::Parse(const std::vector<std::string>& args, ConfigureRequest& request,
                             std::string& error) {
  request = ConfigureRequest();
  GivenOptions given;
  if (!ReadArguments(args, given, error)) return false;
  if (given.help) {
    request.action = ConfigureRequest::Action::Help;
    return true;
  }
  return Combine(given, request, error);
}

}  // namespace trv::config
