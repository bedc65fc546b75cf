#include "DetectOptions.h"

#include <algorithm>
#include <cstdlib>

#include "ConfigurationPlaces.h"
#include "PortList.h"
#include "ScaleDetector.h"

namespace trv::detection {
namespace {

bool TakesValue(const std::string& name) {
  return name == "--portas" || name == "--salvar" || name == "--raiz";
}

// The configuration travinel configurar writes, or the file TRAVINEL_CONFIG names (as servir).
std::string DefaultConfigPath() {
  if (const char* chosen = std::getenv("TRAVINEL_CONFIG"); chosen != nullptr && *chosen != 0) {
    return chosen;
  }
  return config::ConfigurationPlaces::ServiceFilePath("");
}

}  // namespace

bool DetectOptions::Parse(const std::vector<std::string>& args, DetectRequest& request,
                          std::string& error) {
  request.configPath = DefaultConfigPath();
  for (size_t index = 0; index < args.size(); ++index) {
    std::string name = args[index];
    std::string value;
    const size_t equals = name.find('=');
    const bool inlineValue = name.rfind("--", 0) == 0 && equals != std::string::npos;
    if (inlineValue) {
      value = name.substr(equals + 1);
      name.erase(equals);
    }
    if (!TakesValue(name)) {
      if (!inlineValue && (name == "--help" || name == "-h")) {
        request.help = true;
        continue;
      }
      error = inlineValue ? name + " não leva valor"
                          : (name.rfind("-", 0) == 0 ? "opção desconhecida: " + name
                                                     : "argumento inesperado: " + name);
      return false;
    }
    if (!inlineValue) {
      if (index + 1 >= args.size()) {
        error = name + " precisa de um valor";
        return false;
      }
      value = args[++index];
    }
    if (!Apply(name, value, request, error)) return false;
  }
  return true;
}

bool DetectOptions::Apply(const std::string& name, const std::string& value, DetectRequest& request,
                          std::string& error) {
  if (name == "--portas") return ReadPorts(value, request, error);
  if (name == "--salvar") return ReadName(value, request, error);
  return ReadRoot(value, request, error);
}

bool DetectOptions::ReadPorts(const std::string& text, DetectRequest& request, std::string& error) {
  std::vector<std::string> items;
  if (!config::PortList::Parse(text, items, error)) return false;
  request.ports.clear();
  for (const std::string& item : items) request.ports.push_back(ScaleDetector::PortNamed(item));
  return true;
}

bool DetectOptions::ReadName(const std::string& text, DetectRequest& request, std::string& error) {
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
  });
  if (text.empty() || text.size() > kMaxNameLength || !printable) {
    error = "--salvar: dê um nome de até " + std::to_string(kMaxNameLength) +
            " caracteres para a balança, como caixa";
    return false;
  }
  request.saveAs = text;
  return true;
}

bool DetectOptions::ReadRoot(const std::string& text, DetectRequest& request, std::string& error) {
  if (!config::ConfigurationPlaces::TakesRoot()) {
    error = "--raiz só existe no Linux (para testes)";
    return false;
  }
  std::string root = text;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (root.empty() || root == "/") {
    error = "--raiz: dê uma pasta de testes, não a raiz do sistema";
    return false;
  }
  request.configPath = config::ConfigurationPlaces::ServiceFilePath(root);
  return true;
}

}  // namespace trv::detection
