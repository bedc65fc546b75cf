#include "ConfigureOptions.h"

#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "ConfigurationPlaces.h"
#include "ListenAddress.h"
#include "PortList.h"
#include "ScaleName.h"
#include "SiteList.h"
#include "control/FormProperties.h"
#include "platform/Text.h"
#include "serial/SerialPortList.h"

namespace trv::config {
namespace {

// The options as given, before they are checked together.
struct GivenOptions {
  std::optional<std::string> sites;
  std::optional<std::string> ports;
  std::optional<std::string> listen;
  std::optional<std::string> root;
  std::optional<std::string> scale;
  std::optional<std::string> removeScale;
  // The scale's settings as given: the option's name and its value, in order.
  std::vector<std::pair<std::string, std::string>> scaleSettings;
  bool remove = false;
  bool withoutPolicies = false;
  bool help = false;
};

// The form's property an option names, as `travinel ler` names them (--porta, --modelo, ...)
// or by the control's field (--Por_Bal, any letter case); null for other options.
const FormProperty* ScaleOption(const std::string& name) {
  if (name.rfind("--", 0) != 0) return nullptr;
  const std::string bare = platform::AsciiLower(name.substr(2));
  for (const FormProperty& property : FormProperties::All()) {
    if (bare == property.option || bare == platform::AsciiLower(property.field)) return &property;
  }
  return nullptr;
}

bool TakesValue(const std::string& name) {
  return name == "--sites" || name == "--portas" || name == "--escuta" || name == "--raiz" ||
         name == "--balanca" || name == "--remover-balanca" || ScaleOption(name) != nullptr;
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
  if (ScaleOption(name) != nullptr) {
    given.scaleSettings.emplace_back(name, value);
    return;
  }
  const std::map<std::string, std::optional<std::string>*> targets{
      {"--sites", &given.sites},   {"--portas", &given.ports},
      {"--escuta", &given.listen}, {"--raiz", &given.root},
      {"--balanca", &given.scale}, {"--remover-balanca", &given.removeScale}};
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

// One of the scale's options; a port may also be a USB adapter's identity (usb:VID:PID:SERIAL).
bool ReadScaleOption(const std::string& name, const std::string& value, FormSettings& settings,
                     std::string& error) {
  const FormProperty& property = *ScaleOption(name);
  if (property.value == &FormSettings::porta && IsPortIdentity(value)) {
    settings.portPath = value;
    settings.porta = -1;
    return true;
  }
  // A reading needs a scale: model 0 (none), which the control takes, would be refused by the
  // service.
  const bool read = property.parse(property, value, settings) && settings.modelo != 0;
  if (!read) {
    error = name + ": '" + value + "' não é um valor aceito de " + property.name +
            " (veja travinel --help)";
  }
  return read;
}

bool ReadScale(const GivenOptions& given, ConfigureRequest& request, std::string& error) {
  if (!ScaleName::IsValid(*given.scale)) {
    error = "--balanca: " + ScaleName::Refusal(*given.scale);
    return false;
  }
  request.action = ConfigureRequest::Action::SetScale;
  request.scaleName = *given.scale;
  for (const auto& [name, value] : given.scaleSettings) {
    if (!ReadScaleOption(name, value, request.scale, error)) return false;
  }
  if ((request.scale.porta < 0 && request.scale.portPath.empty()) || request.scale.modelo < 0) {
    error = "--balanca precisa de --porta e --modelo";
    return false;
  }
  return true;
}

// --balanca and --remover-balanca change one scale and nothing else.
bool CombineScale(const GivenOptions& given, ConfigureRequest& request, std::string& error) {
  if (given.sites || given.ports || given.listen || given.remove ||
      (given.scale && given.removeScale)) {
    error =
        "--balanca e --remover-balanca vão sozinhas, sem --sites, --portas, --escuta ou "
        "--remover";
    return false;
  }
  if (given.scale) return ReadScale(given, request, error);
  if (!given.scaleSettings.empty()) {
    error = given.scaleSettings.front().first + " só vale com --balanca";
    return false;
  }
  if (!ScaleName::IsValid(*given.removeScale)) {
    error = "--remover-balanca: " + ScaleName::Refusal(*given.removeScale);
    return false;
  }
  request.action = ConfigureRequest::Action::RemoveScale;
  request.scaleName = *given.removeScale;
  return true;
}

bool Combine(const GivenOptions& given, ConfigureRequest& request, std::string& error) {
  request.browsers = !given.withoutPolicies;
  if (!CheckRoot(given, request, error)) return false;
  if (given.scale || given.removeScale) return CombineScale(given, request, error);
  if (!given.scaleSettings.empty()) {
    error = given.scaleSettings.front().first + " só vale com --balanca";
    return false;
  }
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
