// travinel portas: the ports as an aligned table.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "PortTable.h"

namespace trv::cli {
namespace {

SerialPortEntry Port(const std::string& name, const std::string& device,
                     const std::string& description, const std::string& vendor = "",
                     const std::string& product = "", const std::string& serial = "") {
  SerialPortEntry port{name, device};
  port.description = description;
  port.vendorId = vendor;
  port.productId = product;
  port.serialNumber = serial;
  return port;
}

std::string Table(const std::vector<SerialPortEntry>& ports) {
  std::ostringstream out;
  PrintPortTable(ports, out);
  return out.str();
}

TEST(PortTable, LinuxPortsWithTheirAdapters) {
  const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  const std::vector<SerialPortEntry> ports = {
      Port("/dev/ttyS0", "/dev/ttyS0", "serial"),
      Port("/dev/ttyUSB0", "/dev/ttyUSB0", "FT232R USB UART", "0403", "6001", "A50285BI"),
      Port("/dev/ttyUSB1", "/dev/ttyUSB1", "ch341-uart", "1A86", "7523"),
      Port(byId, "/dev/ttyUSB0", "FT232R USB UART", "0403", "6001", "A50285BI"),
  };
  // The names' column is as wide as the longest name.
  const auto row = [&](const std::string& name, const std::string& rest) {
    return name + std::string(byId.size() - name.size(), ' ') + "  " + rest + "\n";
  };
  const std::string expected =
      row("Porta", "Descrição        Identidade              Dispositivo") +
      row("/dev/ttyS0", "serial") + row("/dev/ttyUSB0", "FT232R USB UART  usb:0403:6001:A50285BI") +
      row("/dev/ttyUSB1", "ch341-uart       usb:1A86:7523") +
      row(byId, "FT232R USB UART  usb:0403:6001:A50285BI  /dev/ttyUSB0");
  EXPECT_EQ(Table(ports), expected);
}

TEST(PortTable, WindowsPortsShowNoDevice) {
  const std::vector<SerialPortEntry> ports = {
      Port("COM1", "\\\\.\\COM1", "Porta de comunicação (COM1)"),
      Port("COM3", "\\\\.\\COM3", "USB Serial Port (COM3)", "0403", "6001", "A50285BIA"),
      Port("COM7", "\\\\.\\COM7", ""),
  };
  EXPECT_EQ(Table(ports),
            "Porta  Descrição                    Identidade\n"
            "COM1   Porta de comunicação (COM1)\n"
            "COM3   USB Serial Port (COM3)       usb:0403:6001:A50285BIA\n"
            "COM7\n");
}

TEST(PortTable, ColumnsNoPortHasAreLeftOut) {
  EXPECT_EQ(Table({Port("COM7", "\\\\.\\COM7", ""), Port("COM10", "\\\\.\\COM10", "")}),
            "Porta\nCOM7\nCOM10\n");
  EXPECT_EQ(Table({Port("/dev/ttyACM0", "/dev/ttyACM0", "", "2341", "0043", "7583")}),
            "Porta         Identidade\n"
            "/dev/ttyACM0  usb:2341:0043:7583\n");
  EXPECT_EQ(Table({}), "");
}

}  // namespace
}  // namespace trv::cli
