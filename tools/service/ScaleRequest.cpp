#include "ScaleRequest.h"

#include <functional>
#include <nlohmann/json.hpp>

#include "OptionValues.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"

namespace trv::service {
namespace {

using cli::FormSettings;
using cli::OptionValues;

// One of the control's properties: its range, and where the form keeps it.
struct Field {
  const char* name;
  int low;
  int high;
  int FormSettings::*value;
};

const Field kFields[] = {
    {"Mod_Bal", 1, 7, &FormSettings::modelo},  {"Vel_Bal", 50, 4000000, &FormSettings::vel},
    {"Bit_Bal", 5, 8, &FormSettings::bits},    {"Par_Bal", 0, 4, &FormSettings::paridade},
    {"Stp_Bal", 0, 2, &FormSettings::parada},  {"Hnd_Bal", 0, 3, &FormSettings::handshake},
    {"Uni_Bal", 0, 1, &FormSettings::unidade}, {"Dec_Bal", 0, 1, &FormSettings::decimais},
};

const Field* FindField(const std::string& name) {
  for (const Field& field : kFields) {
    if (name == field.name) return &field;
  }
  return nullptr;
}

std::string RangeError(const Field& field) {
  return std::string(field.name) + " deve ser um número inteiro de " + std::to_string(field.low) +
         " a " + std::to_string(field.high);
}

const char kPortaError[] =
    "Porta deve ser o número da porta (1 é com1) ou o caminho do dispositivo, como /dev/ttyUSB0";

// Reads one field given as text (a query value, or Porta as a JSON string).
bool ApplyText(const std::string& name, const std::string& text, FormSettings& settings,
               std::string& error) {
  if (name == "Porta") {
    if (OptionValues::Port(text, settings.porta, settings.portPath)) return true;
    error = kPortaError;
    return false;
  }
  const Field* field = FindField(name);
  if (field == nullptr) {
    error = "campo desconhecido: " + name;
    return false;
  }
  if (OptionValues::Integer(text, field->low, field->high, settings.*(field->value))) return true;
  error = RangeError(*field);
  return false;
}

bool ApplyJson(const std::string& name, const nlohmann::json& value, FormSettings& settings,
               std::string& error) {
  if (name == "Porta" && value.is_string()) {
    return ApplyText(name, value.get<std::string>(), settings, error);
  }
  const Field* field = FindField(name);
  if (field == nullptr && name != "Porta") {
    error = "campo desconhecido: " + name;
    return false;
  }
  const int low = field != nullptr ? field->low : 0;
  const int high = field != nullptr ? field->high : 255;
  if (!value.is_number_integer() || value.get<int64_t>() < low || value.get<int64_t>() > high) {
    error = field != nullptr ? RangeError(*field) : kPortaError;
    return false;
  }
  const int number = static_cast<int>(value.get<int64_t>());
  if (field != nullptr) {
    settings.*(field->value) = number;
  } else {
    settings.porta = number;
    settings.portPath.clear();
  }
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
