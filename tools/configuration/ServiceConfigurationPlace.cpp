#include "ServiceConfigurationPlace.h"

#include <utility>

#include "AtomicFile.h"
#include "FormSettingsJson.h"
#include "ListText.h"
#include "ServiceConfigurationFile.h"

namespace trv::config {
namespace {

// One line per named scale: its name and its settings as the file holds them.
void DescribeScales(const SiteConfiguration& configuration, std::vector<std::string>& lines) {
  if (configuration.scales.empty()) {
    lines.push_back("  balanças: nenhuma");
    return;
  }
  lines.push_back("  balanças:");
  for (const auto& [name, settings] : configuration.scales) {
    lines.push_back("    " + name + ": " + FormSettingsJson::Write(settings).dump());
  }
}

}  // namespace

ServiceConfigurationPlace::ServiceConfigurationPlace(std::string path) : path_(std::move(path)) {}

std::vector<std::string> ServiceConfigurationPlace::Describe() const {
  const std::string title = "Serviço (" + path_ + "):";
  const std::optional<std::string> text = AtomicFile::Read(path_);
  if (!text) return {title + " não configurado"};
  SiteConfiguration configuration;
  std::string error;
  if (!ServiceConfigurationFile::Parse(*text, configuration, error)) {
    return {title + " arquivo inválido: " + error};
  }
  std::vector<std::string> lines = {
      title, "  origens: " + ListText::Join(configuration.sites, "nenhuma"),
      "  portasPermitidas: " + ListText::Join(configuration.allowedPorts, "todas"),
      "  escuta: " + (configuration.listen.empty() ? std::string("padrão (127.0.0.1:8470)")
                                                   : configuration.listen)};
  DescribeScales(configuration, lines);
  return lines;
}

std::vector<std::string> ServiceConfigurationPlace::RecordedSites() const {
  const std::optional<std::string> text = AtomicFile::Read(path_);
  SiteConfiguration configuration;
  std::string error;
  if (!text || !ServiceConfigurationFile::Parse(*text, configuration, error)) return {};
  return configuration.sites;
}

void ServiceConfigurationPlace::Save() {
  saved_ = AtomicFile::Read(path_);
}

void ServiceConfigurationPlace::Restore() {
  AtomicFile::Restore(path_, saved_);
}

void ServiceConfigurationPlace::Apply(const SiteConfiguration& configuration,
                                      const std::vector<std::string>&) {
  // The named scales are set one by one (NamedScaleFile); a new list of sites keeps them.
  AtomicFile::Replace(path_,
                      ServiceConfigurationFile::Compose(configuration, saved_.value_or(""),
                                                        ServiceConfigurationFile::Scales::kKeep));
}

void ServiceConfigurationPlace::Remove(const std::vector<std::string>&) {
  if (!saved_) return;
  AtomicFile::Replace(path_, ServiceConfigurationFile::Compose(
                                 {}, *saved_, ServiceConfigurationFile::Scales::kKeep));
}

}  // namespace trv::config
