#include "ServiceConfigurationFile.h"

#include <nlohmann/json.hpp>

#include "ListenAddress.h"
#include "control/SitePolicy.h"

namespace trv::config {
namespace {

using nlohmann::json;

constexpr char kOrigins[] = "origens";
constexpr char kPorts[] = "portasPermitidas";
constexpr char kListen[] = "escuta";

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
         ReadListen(object, configuration.listen, error);
}

std::string ServiceConfigurationFile::Compose(const SiteConfiguration& configuration,
                                              const std::string& previous) {
  json object = json::parse(previous, nullptr, false);
  if (object.is_discarded() || !object.is_object()) object = json::object();
  object[kOrigins] = configuration.sites;
  object[kPorts] = configuration.allowedPorts;
  if (configuration.listen.empty()) {
    object.erase(kListen);
  } else {
    object[kListen] = configuration.listen;
  }
  // Invalid UTF-8 is replaced rather than raised: the file is always valid JSON.
  return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace trv::config
