#include "NamedScaleSaver.h"

#include "NamedScaleFile.h"

namespace trv::detection {

FormSettings NamedScaleSaver::SettingsOf(const PortOutcome& found) {
  FormSettings settings;
  settings.porta = -1;
  settings.portPath = found.identity.empty() ? found.port : found.identity;
  settings.modelo = found.reading.model;
  found.line.ApplyTo(settings);
  return settings;
}

void NamedScaleSaver::Save(const std::string& path, const std::string& name,
                           const PortOutcome& found) {
  config::NamedScaleFile::Set(path, name, SettingsOf(found));
}

}  // namespace trv::detection
