#include "ScaleRequest.h"

#include <nlohmann/json.hpp>
#include <optional>

#include "FormSettingsJson.h"
#include "serial/CommPort.h"
#include "serial/SerialPortList.h"

namespace trv::service {
namespace {

using config::FormSettingsJson;

// The field that names a scale instead of giving its port and settings.
constexpr char kScaleField[] = "balanca";
constexpr char kPortField[] = "Porta";

bool Refuse(ScaleRefusal& refusal, const std::string& text) {
  refusal = {400, text, ""};
  return false;
}

// A request without a name gives the scale's port and model itself; where IT named scales, the
// page may have meant one of them.
bool CheckComplete(const ChosenScale& chosen, const NamedScales& scales, ScaleRefusal& refusal) {
  std::string error;
  if (!chosen.name.empty() || FormSettingsJson::CheckRequired(chosen.settings, error)) return true;
  if (chosen.settings.porta < 0 && chosen.settings.portPath.empty() && !scales.All().empty()) {
    error =
        "falta Porta, ou balanca com o nome de uma das balanças configuradas (GET /v1/balancas)";
  }
  return Refuse(refusal, error);
}

}  // namespace

bool ScaleRequest::FromJson(const std::string& body, const NamedScales& scales, ChosenScale& chosen,
                            ScaleRefusal& refusal) {
  nlohmann::json json = nlohmann::json::parse(body, nullptr, false);
  if (json.is_discarded()) return Refuse(refusal, "o corpo não é JSON válido");
  if (!json.is_object()) return Refuse(refusal, "o corpo deve ser um objeto JSON");
  std::optional<std::string> name;
  if (const auto found = json.find(kScaleField); found != json.end()) {
    if (!found->is_string())
      return Refuse(refusal, "balanca deve ser o nome de uma balança, um texto");
    name = found->get<std::string>();
    json.erase(found);
  }
  if (!scales.Choose(name, json.contains(kPortField), chosen, refusal)) return false;
  std::string error;
  if (!FormSettingsJson::Read(json, FormSettingsJson::Source::kPage, chosen.settings, error)) {
    return Refuse(refusal, error);
  }
  return CheckComplete(chosen, scales, refusal);
}

bool ScaleRequest::FromQuery(const std::map<std::string, std::string>& query,
                             const NamedScales& scales, ChosenScale& chosen,
                             ScaleRefusal& refusal) {
  std::optional<std::string> name;
  if (const auto found = query.find(kScaleField); found != query.end()) name = found->second;
  if (!scales.Choose(name, query.count(kPortField) != 0, chosen, refusal)) return false;
  std::string error;
  for (const auto& [field, value] : query) {
    if (field == kScaleField) continue;
    if (!FormSettingsJson::ReadText(field, value, chosen.settings, error)) {
      return Refuse(refusal, error);
    }
  }
  return CheckComplete(chosen, scales, refusal);
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
