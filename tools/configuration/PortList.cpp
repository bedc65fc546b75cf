#include "PortList.h"

#include <algorithm>
#include <sstream>

#include "control/FormProperties.h"
#include "platform/Text.h"

namespace trv::config {
namespace {

constexpr size_t kMaxPortLength = 260;

bool IsPort(const std::string& text) {
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && c != 0x7f;
  });
  const FormProperty& porta = FormProperties::Of(&FormSettings::porta);
  FormSettings settings;
  return printable && text.size() <= kMaxPortLength && porta.parse(porta, text, settings);
}

}  // namespace

bool PortList::Parse(const std::string& text, std::vector<std::string>& ports, std::string& error) {
  ports.clear();
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    item = platform::Trim(item);
    if (item.empty()) continue;
    if (!IsPort(item)) {
      error = "--portas: '" + item.substr(0, kMaxPortLength) +
              "' não é uma porta (um número, 1 para COM1, ou um caminho como /dev/ttyUSB0)";
      return false;
    }
    if (std::find(ports.begin(), ports.end(), item) != ports.end()) continue;
    if (ports.size() == kMaxPorts) {
      error = "--portas: mais de " + std::to_string(kMaxPorts) + " portas";
      return false;
    }
    ports.push_back(item);
  }
  if (ports.empty()) {
    error = "--portas: nenhuma porta na lista (separe as portas por ',')";
    return false;
  }
  return true;
}

}  // namespace trv::config
