#include "BrowserPolicyFiles.h"

#include <nlohmann/json.hpp>
#include <utility>

#include "AtomicFile.h"
#include "BrowserPolicyPattern.h"
#include "ListText.h"

namespace trv::config {
namespace {

using nlohmann::json;

std::vector<std::string> DescribeFile(const std::string& path) {
  const std::string title = "Navegador (" + path + "):";
  const std::optional<std::string> text = AtomicFile::Read(path);
  if (!text) return {title + " não configurado"};
  const json object = json::parse(*text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return {title + " arquivo inválido"};
  std::vector<std::string> lines{title};
  for (const std::string& policy : BrowserPolicyPattern::PolicyNames()) {
    std::vector<std::string> patterns;
    const auto found = object.find(policy);
    if (found != object.end() && found->is_array()) {
      for (const json& item : *found) {
        if (item.is_string()) patterns.push_back(item.get<std::string>());
      }
    }
    lines.push_back("  " + policy + ": " + ListText::Join(patterns, "nenhum"));
  }
  return lines;
}

}  // namespace

BrowserPolicyFiles::BrowserPolicyFiles(std::vector<std::string> paths) : paths_(std::move(paths)) {}

std::string BrowserPolicyFiles::Compose(const std::vector<std::string>& sites) {
  json object = json::object();
  const std::vector<std::string> patterns = BrowserPolicyPattern::FromSites(sites);
  for (const std::string& policy : BrowserPolicyPattern::PolicyNames()) object[policy] = patterns;
  return object.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

std::vector<std::string> BrowserPolicyFiles::Describe() const {
  std::vector<std::string> lines;
  for (const std::string& path : paths_) {
    for (std::string& line : DescribeFile(path)) lines.push_back(std::move(line));
  }
  return lines;
}

void BrowserPolicyFiles::Save() {
  saved_.clear();
  for (const std::string& path : paths_) saved_.push_back(AtomicFile::Read(path));
}

void BrowserPolicyFiles::Restore() {
  for (size_t index = 0; index < saved_.size(); ++index) {
    AtomicFile::Restore(paths_[index], saved_[index]);
  }
}

void BrowserPolicyFiles::Apply(const SiteConfiguration& configuration,
                               const std::vector<std::string>&) {
  const std::string text = Compose(configuration.sites);
  for (const std::string& path : paths_) AtomicFile::Replace(path, text);
}

void BrowserPolicyFiles::Remove(const std::vector<std::string>&) {
  for (const std::string& path : paths_) AtomicFile::Remove(path);
}

}  // namespace trv::config
