#include "PortTable.h"

#include <algorithm>
#include <array>
#include <string>

namespace trv::cli {
namespace {

constexpr size_t kColumns = 4;
using Row = std::array<std::string, kColumns>;

// Width on a terminal: one per character of the UTF-8 text ("Descrição" is 9).
size_t Width(const std::string& text) {
  return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  }));
}

// The device a port's name leads to, worth showing: not for a name that is its own device, nor
// for COM3, which is \\.\COM3 on every Windows.
std::string LinkTarget(const SerialPortEntry& port) {
  if (port.device == port.name || port.device == "\\\\.\\" + port.name) return "";
  return port.device;
}

}  // namespace

void PrintPortTable(const std::vector<SerialPortEntry>& ports, std::ostream& out) {
  if (ports.empty()) return;
  std::vector<Row> rows = {Row{"Porta", "Descrição", "Identidade", "Dispositivo"}};
  for (const SerialPortEntry& port : ports) {
    rows.push_back(Row{port.name, port.description, port.Identity(), LinkTarget(port)});
  }
  std::array<size_t, kColumns> widths{};
  std::array<bool, kColumns> shown{};
  shown[0] = true;
  for (size_t row = 0; row < rows.size(); ++row) {
    for (size_t column = 0; column < kColumns; ++column) {
      widths[column] = std::max(widths[column], Width(rows[row][column]));
      if (row > 0 && !rows[row][column].empty()) shown[column] = true;
    }
  }
  for (const Row& row : rows) {
    std::string line;
    for (size_t column = 0; column < kColumns; ++column) {
      if (!shown[column]) continue;
      if (column > 0) line.append(2, ' ');
      line += row[column];
      line.append(widths[column] - Width(row[column]), ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  }
}

}  // namespace trv::cli
