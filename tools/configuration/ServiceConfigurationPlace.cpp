#include "ServiceConfigurationPlace.h"

#include <utility>

#include "AtomicFile.h"
#include "ListText.h"
#include "ServiceConfigurationFile.h"

namespace trv::config {

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
  return {title, "  origens: " + ListText::Join(configuration.sites, "nenhuma"),
          "  portasPermitidas: " + ListText::Join(configuration.allowedPorts, "todas"),
          "  escuta: " + (configuration.listen.empty() ? std::string("padrão (127.0.0.1:8470)")
                                                       : configuration.listen)};
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
  AtomicFile::Replace(path_, ServiceConfigurationFile::Compose(configuration, saved_.value_or("")));
}

void ServiceConfigurationPlace::Remove(const std::vector<std::string>&) {
  if (!saved_) return;
  AtomicFile::Replace(path_, ServiceConfigurationFile::Compose({}, *saved_));
}

}  // namespace trv::config
