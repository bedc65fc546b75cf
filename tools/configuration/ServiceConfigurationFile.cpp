#include "ServiceConfigurationFile.h"

#include <nlohmann/json.hpp>

#include "FormSettingsJson.h"
#include "ListenAddress.h"
#include "ScaleName.h"
#include "control/SitePolicy.h"

namespace trv::config {
namespace {

using nlohmann::json;

constexpr char kOrigins[] = "origens";
constexpr char kPorts[] = "portasPermitidas";
constexpr char kListen[] = "escuta";
constexpr char kScales[] = "balancas";

bool ReadTexts(const json& object, const char* key, std::vector<std::string>& texts,
               std::string& error) {
  texts.clear();
  const auto found = object.find(key);
  if (found == object.end()) return true;
  if (!found->is_array()) {
    error = std::string(key) + " deve ser uma lista de textos";
    return false;
  }
  for (const json& item : *found) {
    if (!item.is_string()) {
      error = std::string(key) + " deve ser uma lista de textos";
      return false;
    }
    texts.push_back(item.get<std::string>());
  }
  return true;
}

bool CheckOrigins(const std::vector<std::string>& origins, std::string& error) {
  for (const std::string& origin : origins) {
    if (SitePolicy::IsPattern(origin)) continue;
    error = std::string(kOrigins) + ": '" + origin + "' não é um site como https://*.loja.example";
    return false;
  }
  return true;
}

bool ReadListen(const json& object, std::string& listen, std::string& error) {
  listen.clear();
  const auto found = object.find(kListen);
  if (found == object.end()) return true;
  if (!found->is_string() || !ListenAddress::Parse(found->get<std::string>(), listen)) {
    error = std::string(kListen) + " deve ser um texto ENDEREÇO:PORTA local, como 127.0.0.1:8470";
    return false;
  }
  return true;
}

// One named scale: the control's properties under the same rules as a page's request, and Porta
// and Mod_Bal required, as a reading needs them.
bool ReadScale(const std::string& name, const json& value, FormSettings& settings,
               std::string& error) {
  if (!ScaleName::IsValid(name)) {
    error = std::string(kScales) + ": " + ScaleName::Refusal(name);
    return false;
  }
  const std::string where = std::string(kScales) + "." + name + ": ";
  if (!value.is_object()) {
    error = where + "deve ser um objeto, como {\"Porta\": 3, \"Mod_Bal\": 2}";
    return false;
  }
  if (!FormSettingsJson::Read(value, FormSettingsJson::Source::kConfiguration, settings, error) ||
      !FormSettingsJson::CheckRequired(settings, error)) {
    error = where + error;
    return false;
  }
  return true;
}

bool ReadScales(const json& object, std::map<std::string, FormSettings>& scales,
                std::string& error) {
  scales.clear();
  const auto found = object.find(kScales);
  if (found == object.end()) return true;
  if (!found->is_object()) {
    error = std::string(kScales) + " deve ser um objeto de nomes e balanças";
    return false;
  }
  for (const auto& [name, value] : found->items()) {
    FormSettings settings;
    if (!ReadScale(name, value, settings, error)) return false;
    scales.emplace(name, settings);
  }
  return true;
}

void WriteScales(const std::map<std::string, FormSettings>& scales, json& object) {
  if (scales.empty()) {
    object.erase(kScales);
    return;
  }
  json written = json::object();
  for (const auto& [name, settings] : scales) written[name] = FormSettingsJson::Write(settings);
  object[kScales] = written;
}

}  // namespace

bool ServiceConfigurationFile::Parse(const std::string& text, SiteConfiguration& configuration,
                                     std::string& error) {
  const json object = json::parse(text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    error = "não é um objeto JSON";
    return false;
  }
  return ReadTexts(object, kOrigins, configuration.sites, error) &&
         CheckOrigins(configuration.sites, error) &&
         ReadTexts(object, kPorts, configuration.allowedPorts, error) &&
         ReadListen(object, configuration.listen, error) &&
         ReadScales(object, configuration.scales, error);
}

std::string ServiceConfigurationFile::Compose(const SiteConfiguration& configuration,
                                              const std::string& previous, Scales scales) {
  json object = json::parse(previous, nullptr, false);
  if (object.is_discarded() || !object.is_object()) object = json::object();
  object[kOrigins] = configuration.sites;
  object[kPorts] = configuration.allowedPorts;
  if (configuration.listen.empty()) {
    object.erase(kListen);
  } else {
    object[kListen] = configuration.listen;
  }
  if (scales == Scales::kWrite) WriteScales(configuration.scales, object);
  // Invalid UTF-8 is replaced rather than raised: the file is always valid JSON.
  return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace trv::config
