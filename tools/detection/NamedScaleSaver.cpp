#include "NamedScaleSaver.h"

#include <optional>

#include "AtomicFile.h"
#include "ServiceConfigurationFile.h"
#include "platform/Exception.h"

namespace trv::detection {

FormSettings NamedScaleSaver::SettingsOf(const PortOutcome& found) {
  FormSettings settings;
  settings.porta = -1;
  settings.portPath = found.identity.empty() ? found.port : found.identity;
  settings.modelo = found.reading.model;
  found.line.ApplyTo(settings);
  return settings;
}

config::SiteConfiguration NamedScaleSaver::WithScale(config::SiteConfiguration configuration,
                                                     const std::string& name,
                                                     const PortOutcome& found) {
  configuration.scales[name] = SettingsOf(found);
  return configuration;
}

void NamedScaleSaver::Save(const std::string& path, const std::string& name,
                           const PortOutcome& found) {
  const std::optional<std::string> text = config::AtomicFile::Read(path);
  config::SiteConfiguration configuration;
  std::string error;
  if (text && !config::ServiceConfigurationFile::Parse(*text, configuration, error)) {
    throw Exception(path + ": " + error + " (nada foi gravado)");
  }
  config::AtomicFile::Replace(path, config::ServiceConfigurationFile::Compose(
                                        WithScale(configuration, name, found), text.value_or("")));
}

}  // namespace trv::detection
