#include "NamedScaleFile.h"

#include <optional>

#include "AtomicFile.h"
#include "ServiceConfigurationFile.h"
#include "platform/Exception.h"

namespace trv::config {
namespace {

// The file's configuration (none yet: an empty one), and its text for the keys to keep.
SiteConfiguration ReadFile(const std::string& path, std::string& text) {
  const std::optional<std::string> found = AtomicFile::Read(path);
  SiteConfiguration configuration;
  if (!found) return configuration;
  text = *found;
  std::string error;
  if (!ServiceConfigurationFile::Parse(text, configuration, error)) {
    throw Exception(path + ": arquivo inválido (" + error + "); corrija-o antes, nada foi gravado");
  }
  return configuration;
}

}  // namespace

void NamedScaleFile::Set(const std::string& path, const std::string& name,
                         const FormSettings& settings) {
  std::string text;
  SiteConfiguration configuration = ReadFile(path, text);
  configuration.scales.insert_or_assign(name, settings);
  AtomicFile::Replace(path, ServiceConfigurationFile::Compose(configuration, text));
}

bool NamedScaleFile::Remove(const std::string& path, const std::string& name) {
  std::string text;
  SiteConfiguration configuration = ReadFile(path, text);
  if (configuration.scales.erase(name) == 0) return false;
  AtomicFile::Replace(path, ServiceConfigurationFile::Compose(configuration, text));
  return true;
}

}  // namespace trv::config
