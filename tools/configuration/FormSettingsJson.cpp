#include "FormSettingsJson.h"

#include "control/FormProperties.h"
#include "control/FormValueText.h"
#include "serial/SerialPortList.h"

namespace trv::config {
namespace {

using nlohmann::json;
using Source = FormSettingsJson::Source;

// The least value a page or a file may give a property: a reading needs a scale, so Mod_Bal 0
// (none), which the form takes, is refused here.
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

std::string RangeError(const FormProperty& property, Source source) {
  if (IsPorta(property)) {
    return source == Source::kConfiguration
               ? "Porta deve ser o número da porta (3 ou \"COM3\"), o caminho do dispositivo, "
                 "como /dev/ttyUSB0, ou a identidade de um adaptador USB, como "
                 "usb:0403:6001:A50285BI"
               : "Porta deve ser o número da porta (1 é com1) ou o caminho do dispositivo, como "
                 "/dev/ttyUSB0";
  }
  return std::string(property.name) + " deve ser um número inteiro de " +
         std::to_string(Lowest(property)) + " a " + std::to_string(property.high);
}

bool ReadPortText(const FormProperty& property, const std::string& text, Source source,
                  FormSettings& settings) {
  if (source == Source::kConfiguration && IsPortIdentity(text)) {
    settings.portPath = text;
    settings.porta = -1;
    return true;
  }
  return property.parse(property, text, settings);
}

bool ReadNumber(const FormProperty& property, const json& value, FormSettings& settings) {
  if (!value.is_number_integer()) return false;
  // Unsigned JSON numbers above the int64 range would wrap in get<int64_t>: refused first.
  if (value.is_number_unsigned() && value.get<uint64_t>() > static_cast<uint64_t>(property.high)) {
    return false;
  }
  const int64_t number = value.get<int64_t>();
  if (number < Lowest(property) || number > property.high) return false;
  settings.*(property.value) = static_cast<int>(number);
  if (IsPorta(property)) settings.portPath.clear();
  return true;
}

bool ReadMember(const std::string& name, const json& value, Source source, FormSettings& settings,
                std::string& error) {
  const FormProperty* property = FindField(name, error);
  if (property == nullptr) return false;
  const bool read = IsPorta(*property) && value.is_string()
                        ? ReadPortText(*property, value.get<std::string>(), source, settings)
                        : ReadNumber(*property, value, settings);
  if (!read) error = RangeError(*property, source);
  return read;
}

}  // namespace

bool FormSettingsJson::Read(const json& object, Source source, FormSettings& settings,
                            std::string& error) {
  for (const auto& [name, value] : object.items()) {
    if (!ReadMember(name, value, source, settings, error)) return false;
  }
  return true;
}

bool FormSettingsJson::ReadText(const std::string& name, const std::string& text,
                                FormSettings& settings, std::string& error) {
  const FormProperty* property = FindField(name, error);
  if (property == nullptr) return false;
  const bool read = IsPorta(*property)
                        ? property->parse(*property, text, settings)
                        : FormValueText::Integer(text, Lowest(*property), property->high,
                                                 settings.*(property->value));
  if (!read) error = RangeError(*property, Source::kPage);
  return read;
}

bool FormSettingsJson::CheckRequired(const FormSettings& settings, std::string& error) {
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

json FormSettingsJson::Write(const FormSettings& settings) {
  json object = json::object();
  for (const FormProperty& property : FormProperties::All()) {
    if (IsPorta(property) && !settings.portPath.empty()) {
      object[property.name] = settings.portPath;
    } else {
      object[property.name] = settings.*(property.value);
    }
  }
  return object;
}

}  // namespace trv::config
