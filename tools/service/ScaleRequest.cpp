#include "ScaleRequest.h"

#include <functional>
#include <nlohmann/json.hpp>

#include "control/FormProperties.h"
#include "control/FormValueText.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"

namespace trv::service {
namespace {

// The least value a page may give a property: a reading needs a scale, so Mod_Bal 0 (none),
// which the form takes, is refused here.
int Lowest(const FormProperty& property) {
  return property.value == &FormSettings::modelo ? 1 : property.low;
}

bool IsPorta(const FormProperty& property) {
  return property.value == &FormSettings::porta;
}

const FormProperty* FindField(const std::string& name, std::string& error) {
  const FormProperty* property = FormProperties::Named(name);
  if (property == nullptr) error = "campo desconhecido: " + name;
  return property;
}

const char kPortaError[] =
    "Porta deve ser o número da porta (1 é com1) ou o caminho do dispositivo, como /dev/ttyUSB0";

std::string RangeError(const FormProperty& property) {
  if (IsPorta(property)) return kPortaError;
  return std::string(property.name) + " deve ser um número inteiro de " +
         std::to_string(Lowest(property)) + " a " + std::to_string(property.high);
}

// Reads one field given as text (a query value, or Porta as a JSON string): numbers only, and
// Porta also as a device path.
bool ApplyText(const std::string& name, const std::string& text, FormSettings& settings,
               std::string& error) {
  const FormProperty* property = FindField(name, error);
  if (property == nullptr) return false;
  const bool read = IsPorta(*property)
                        ? property->parse(*property, text, settings)
                        : FormValueText::Integer(text, Lowest(*property), property->high,
                                                 settings.*(property->value));
  if (!read) error = RangeError(*property);
  return read;
}

bool ApplyJson(const std::string& name, const nlohmann::json& value, FormSettings& settings,
               std::string& error) {
  const FormProperty* property = FindField(name, error);
  if (property == nullptr) return false;
  if (IsPorta(*property) && value.is_string()) {
    return ApplyText(name, value.get<std::string>(), settings, error);
  }
  if (!value.is_number_integer() || value.get<int64_t>() < Lowest(*property) ||
      value.get<int64_t>() > property->high) {
    error = RangeError(*property);
    return false;
  }
  settings.*(property->value) = static_cast<int>(value.get<int64_t>());
  if (IsPorta(*property)) settings.portPath.clear();
  return true;
}

bool CheckRequired(const FormSettings& settings, std::string& error) {
  if (settings.porta < 0 && settings.portPath.empty()) {
    error = "falta Porta";
    return false;
  }
  if (settings.modelo < 0) {
    error = "falta Mod_Bal (1 a 7)";
    return false;
  }
  return true;
}

}  // namespace

bool ScaleRequest::FromJson(const std::string& body, FormSettings& settings, std::string& error) {
  const nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded()) {
    error = "o corpo não é JSON válido";
    return false;
  }
  if (!json.is_object()) {
    error = "o corpo deve ser um objeto JSON";
    return false;
  }
  for (const auto& [name, value] : json.items()) {
    if (!ApplyJson(name, value, settings, error)) return false;
  }
  return CheckRequired(settings, error);
}

bool ScaleRequest::FromQuery(const std::map<std::string, std::string>& query,
                             FormSettings& settings, std::string& error) {
  for (const auto& [name, value] : query) {
    if (!ApplyText(name, value, settings, error)) return false;
  }
  return CheckRequired(settings, error);
}

std::string ScaleRequest::PortName(const FormSettings& settings) {
  return settings.portPath.empty() ? std::to_string(settings.porta) : settings.portPath;
}

bool ScaleRequest::PinSerialDevice(FormSettings& settings) {
  if (settings.portPath.empty() && settings.porta < 1) return false;
  const std::string name =
      settings.portPath.empty() ? NumberedPortPath(settings.porta - 1) : settings.portPath;
  std::string device;
  if (!ResolveSerialDevice(name, device)) return false;
  settings.portPath = device;
  settings.porta = -1;
  return true;
}

}  // namespace trv::service
