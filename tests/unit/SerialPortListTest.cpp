// The machine's serial ports as a user looks for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/SerialPortList.h"
#include "serial/UsbIdentity.h"

#ifndef _WIN32
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#endif

namespace trv {
namespace {

TEST(SerialPortNames, NaturalOrder) {
  const std::pair<std::string, std::string> ordered[] = {
      {"COM2", "COM10"},
      {"/dev/ttyS9", "/dev/ttyS10"},
      {"COM1", "COM1a"},
      {"ttyACM0", "ttyUSB0"},
      {"COM9", "COMA"},
      {"a0001b", "a2b"},
      {"x99999999999999999999", "x100000000000000000000"},
  };
  for (const auto& [before, after] : ordered) {
    EXPECT_TRUE(NaturalNameLess(before, after)) << before << " < " << after;
    EXPECT_FALSE(NaturalNameLess(after, before)) << after << " < " << before;
  }
  EXPECT_FALSE(NaturalNameLess("COM01", "COM1"));
  EXPECT_FALSE(NaturalNameLess("COM1", "COM01"));
}

// ---- Ports found by their USB identity ------------------------------------------------------

SerialPortEntry UsbPort(const std::string& name, const std::string& vendor,
                        const std::string& product, const std::string& serial) {
  SerialPortEntry port{name, name};
  port.vendorId = vendor;
  port.productId = product;
  port.serialNumber = serial;
  return port;
}

TEST(SerialPortIdentity, IdentityOfAPort) {
  EXPECT_EQ(UsbPort("COM3", "0403", "6001", "A50285BI").Identity(), "usb:0403:6001:A50285BI");
  EXPECT_EQ(UsbPort("COM4", "1A86", "7523", "").Identity(), "usb:1A86:7523");
  EXPECT_EQ(UsbPort("COM1", "", "", "").Identity(), "");
}

TEST(SerialPortIdentity, FindsTheOnePortWithTheIdentity) {
  std::vector<SerialPortEntry> ports = {
      SerialPortEntry{"COM1", "\\\\.\\COM1"},
      UsbPort("COM3", "0403", "6001", "A50285BI"),
      UsbPort("COM4", "1A86", "7523", ""),
      UsbPort("COM5", "1A86", "7523", ""),
      UsbPort("COM6", "10C4", "EA60", "0001"),
      UsbPort("COM7", "2341", "0043", "75833353035351A0F0B1"),
  };
  // COM3 again under a second name (as ttyUSB0 and its by-id link): one adapter still.
  ports.push_back(UsbPort("by-id/FT232R_A50285BI", "0403", "6001", "A50285BI"));
  ports.back().device = "COM3";
  struct Case {
    std::string identity;
    std::string port;  // empty: none found
  };
  const Case cases[] = {
      {"usb:0403:6001:A50285BI", "COM3"},
      {"USB:0403:6001:A50285BI", "COM3"},  // the prefix in any case
      {"usb:10c4:ea60:0001", "COM6"},      // the ids in any case
      {"Usb:10C4:eA60:0001", "COM6"},
      {"usb:0403:6001:a50285bi", ""},  // the serial number exactly as the adapter gives it
      {"usb:0403:6001:A50285B", ""},
      {"usb:0403:6001", ""},  // the FTDI adapter has a serial number
      {"usb:0403:6001:A50285BI ", ""},
      {"usb:1a86:7523", ""},  // two adapters without serial numbers: ambiguous
      {"usb:2341:0043:75833353035351A0F0B1", "COM7"},
      {"usb:2341:0043", ""},
      {"usb:9999:9999:X", ""},  // no such adapter
      {"usb:", ""},             // not an identity
      {"usb", ""},
      {"", ""},
      {"COM3", ""},
      {"/dev/ttyUSB0", ""},
      {"0403:6001:A50285BI", ""},
  };
  for (const Case& c : cases) {
    SerialPortEntry found{"unset", "unset"};
    const bool ok = FindPortByIdentity(ports, c.identity, found);
    EXPECT_EQ(ok, !c.port.empty()) << "'" << c.identity << "'";
    if (ok) {
      EXPECT_EQ(found.name, c.port) << c.identity;
    }
  }
  EXPECT_TRUE(IsPortIdentity("usb:0403:6001"));
  EXPECT_TRUE(IsPortIdentity("USB:x"));
  EXPECT_FALSE(IsPortIdentity("usb:"));
  EXPECT_FALSE(IsPortIdentity("COM3"));
  EXPECT_FALSE(IsPortIdentity("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
}

TEST(SerialPortIdentity, UsbIdText) {
  EXPECT_EQ(UsbIdText("0403"), "0403");
  EXPECT_EQ(UsbIdText("1a86\n"), "1A86");
  EXPECT_EQ(UsbIdText(" ea60 "), "EA60");
  EXPECT_EQ(UsbIdText(""), "");
  EXPECT_EQ(UsbIdText("403"), "");
  EXPECT_EQ(UsbIdText("04030"), "");
  EXPECT_EQ(UsbIdText("04g3"), "");
  EXPECT_EQ(UsbIdText("0x43"), "");
}

// Windows device instance ids as the ports class shows them.
TEST(SerialPortIdentity, ReadsWindowsInstanceIds) {
  struct Case {
    std::string id;
    bool usb;
    std::string vendor, product, serial;
    bool composite;
  };
  const Case cases[] = {
      // USB devices: the serial number is the instance part.
      {"USB\\VID_0403&PID_6001\\A50285BI", true, "0403", "6001", "A50285BI", false},
      {"USB\\VID_10C4&PID_EA60\\0001", true, "10C4", "EA60", "0001", false},
      {"usb\\vid_10c4&pid_ea60\\0001", true, "10C4", "EA60", "0001", false},
      {"USB\\VID_2341&PID_0043\\75833353035351A0F0B1", true, "2341", "0043", "75833353035351A0F0B1",
       false},
      // No serial number: Windows makes the instance part up, with '&' in it.
      {"USB\\VID_1A86&PID_7523\\5&2D6B3A5F&0&2", true, "1A86", "7523", "", false},
      {"USB\\VID_067B&PID_2303\\6&2F5B0A3&0&1", true, "067B", "2303", "", false},
      {"USB\\VID_1A86&PID_7523", true, "1A86", "7523", "", false},
      {"USB\\VID_1A86&PID_7523\\", true, "1A86", "7523", "", false},
      // An interface of a composite device (CDC ACM): the serial number is its parent's.
      {"USB\\VID_2341&PID_8036&MI_00\\6&3A8D4A4&0&0000", true, "2341", "8036", "", true},
      {"USB\\VID_0483&PID_5740&REV_0200", true, "0483", "5740", "", false},
      // FTDI's bus driver: the serial number with the channel's letter, kept as shown.
      {"FTDIBUS\\VID_0403+PID_6001+A50285BIA\\0000", true, "0403", "6001", "A50285BIA", false},
      {"FTDIBUS\\VID_0403+PID_6010+FT4ABCDEB\\0000", true, "0403", "6010", "FT4ABCDEB", false},
      {"FTDIBUS\\VID_0403+PID_6001+7&1B2C3D4&0&2\\0000", true, "0403", "6001", "", false},
      {"FTDIBUS\\VID_0403+PID_6001\\0000", true, "0403", "6001", "", false},
      // Not USB: a UART, Bluetooth, the modem class, nothing.
      {"ACPI\\PNP0501\\0", false, "", "", "", false},
      {"ACPI\\PNP0501\\1", false, "", "", "", false},
      {"BTHENUM\\{00001101-0000-1000-8000-00805F9B34FB}_VID&0001005D_PID&A00D\\7&1A2B3C&0&0", false,
       "", "", "", false},
      {"ROOT\\PORTS\\0000", false, "", "", "", false},
      {"USB\\VID_04G3&PID_6001\\A1", false, "", "", "", false},
      {"USB\\VID_0403PID_6001\\A1", false, "", "", "", false},
      {"USB\\VID_0403&PID_60\\A1", false, "", "", "", false},
      {"USB\\VID_0403&PID_6001X\\A1", false, "", "", "", false},
      {"USB\\VID_0403+PID_6001-A1\\0000", false, "", "", "", false},
      {"VID_0403&PID_6001", false, "", "", "", false},
      {"", false, "", "", "", false},
  };
  for (const Case& c : cases) {
    UsbInstanceId parsed;
    parsed.vendorId = "unset";
    EXPECT_EQ(ParseUsbInstanceId(c.id, parsed), c.usb) << c.id;
    if (!c.usb) {
      EXPECT_EQ(parsed.vendorId, "unset") << c.id;
      continue;
    }
    EXPECT_EQ(parsed.vendorId, c.vendor) << c.id;
    EXPECT_EQ(parsed.productId, c.product) << c.id;
    EXPECT_EQ(parsed.serialNumber, c.serial) << c.id;
    EXPECT_EQ(parsed.compositeInterface, c.composite) << c.id;
  }
}

#ifndef _WIN32

namespace fs = std::filesystem;

// A pseudo-terminal held open for the test; its slave side stands in for serial devices.
class PtyDevice {
 public:
  PtyDevice() : master_(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      slave_ = ptsname(master_);
    }
  }
  ~PtyDevice() {
    if (master_ >= 0) close(master_);
  }
  PtyDevice(const PtyDevice&) = delete;
  PtyDevice& operator=(const PtyDevice&) = delete;
  const std::string& Slave() const { return slave_; }

 private:
  int master_;
  std::string slave_;
};

class SerialPortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trv-devices-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    ASSERT_FALSE(first_.Slave().empty());
    ASSERT_FALSE(second_.Slave().empty());
  }
  void TearDown() override { fs::remove_all(folder_); }

  void Link(const std::string& target, const std::string& name) {
    fs::create_directories((folder_ / name).parent_path());
    fs::create_symlink(target, folder_ / name);
  }
  std::string At(const std::string& name) { return (folder_ / name).string(); }

  fs::path folder_;
  PtyDevice first_;
  PtyDevice second_;
};

TEST_F(SerialPortListTest, FindsEveryKindInTheOrderAUserExpects) {
  Link(first_.Slave(), "ttyS10");
  Link(second_.Slave(), "ttyS3");
  Link("/nonexistent/ttyS1", "ttyS1");  // a node whose device is gone
  Link(second_.Slave(), "ttyACM0");
  Link(first_.Slave(), "ttyUSB0");
  Link(first_.Slave(), "ttyUSBx");  // not a numbered name
  Link(second_.Slave(), "tty5");
  Link(first_.Slave(), "serial/by-id/usb-FTDI_FT232R_A1-if00-port0");
  Link("/nonexistent/ttyUSB7", "serial/by-id/usb-gone-if00-port0");

  const std::vector<SerialPortEntry> ports = ListSerialPortsIn(folder_.string());
  std::vector<std::pair<std::string, std::string>> found;
  for (const SerialPortEntry& port : ports) found.emplace_back(port.name, port.device);
  const std::vector<std::pair<std::string, std::string>> expected = {
      {At("ttyS3"), second_.Slave()},
      {At("ttyS10"), first_.Slave()},
      {At("ttyUSB0"), first_.Slave()},
      {At("ttyACM0"), second_.Slave()},
      {At("serial/by-id/usb-FTDI_FT232R_A1-if00-port0"), first_.Slave()},
  };
  EXPECT_EQ(found, expected);
}

TEST_F(SerialPortListTest, AnEmptyOrMissingFolderHasNoPorts) {
  EXPECT_TRUE(ListSerialPortsIn(folder_.string()).empty());
  EXPECT_TRUE(ListSerialPortsIn(At("missing")).empty());
}

// A fake /dev and /sys laid out as the kernel and udev lay them out, for ports described from
// sysfs. The device nodes are plain files (a ttyS that opens and answers no serial request
// counts as a UART that is there).
class SerialPortSysfsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/trv-sysfs-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    dev_ = root_ / "dev";
    sys_ = root_ / "sys";
    fs::create_directories(dev_);
    fs::create_directories(sys_ / "class" / "tty");
  }
  void TearDown() override {
    std::error_code error;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, error);
    fs::remove_all(root_, error);
  }

  // A device node /dev/<name>.
  void Node(const std::string& name) { std::ofstream(dev_ / name) << ""; }

  // A sysfs file under /sys/<path>, with the kernel's newline.
  void Attribute(const std::string& path, const std::string& text) {
    fs::create_directories((sys_ / path).parent_path());
    std::ofstream(sys_ / path) << text;
  }

  // A link at /sys/<path> to target (relative, as the kernel's are).
  void SysLink(const std::string& target, const std::string& path) {
    fs::create_directories((sys_ / path).parent_path());
    fs::create_symlink(target, sys_ / path);
  }

  // A USB device folder /sys/devices/<usb> with the given attributes (an empty text: no file).
  void UsbDevice(const std::string& usb, const std::string& vendor, const std::string& product,
                 const std::string& serial, const std::string& productText) {
    fs::create_directories(sys_ / "devices" / usb);
    if (!vendor.empty()) Attribute("devices/" + usb + "/idVendor", vendor);
    if (!product.empty()) Attribute("devices/" + usb + "/idProduct", product);
    if (!serial.empty()) Attribute("devices/" + usb + "/serial", serial);
    if (!productText.empty()) Attribute("devices/" + usb + "/product", productText);
  }

  // The terminal `name` of a USB serial converter (ttyUSB) on interface <usb>:1.0 of <usb>, with
  // the converter's driver: /sys/class/tty/ttyUSB0 -> ../../devices/<usb>/<usb>:1.0/ttyUSB0/tty/
  // ttyUSB0, whose device -> ../../../ttyUSB0.
  void UsbSerialTty(const std::string& usb, const std::string& name, const std::string& driver) {
    const std::string port = usb + "/" + fs::path(usb).filename().string() + ":1.0/" + name;
    fs::create_directories(sys_ / "devices" / port / "tty" / name);
    SysLink("../../../" + name, "devices/" + port + "/tty/" + name + "/device");
    fs::create_directories(sys_ / "bus/usb-serial/drivers" / driver);
    SysLink(Up(port) + "bus/usb-serial/drivers/" + driver, "devices/" + port + "/driver");
    SysLink("../../devices/" + port + "/tty/" + name, "class/tty/" + name);
  }

  // The terminal of a CDC ACM interface (ttyACM): the device is the interface itself.
  void AcmTty(const std::string& usb, const std::string& name) {
    const std::string interface = usb + "/" + fs::path(usb).filename().string() + ":1.0";
    fs::create_directories(sys_ / "devices" / interface / "tty" / name);
    SysLink("../../../" + fs::path(interface).filename().string(),
            "devices/" + interface + "/tty/" + name + "/device");
    fs::create_directories(sys_ / "bus/usb/drivers/cdc_acm");
    SysLink(Up(interface) + "bus/usb/drivers/cdc_acm", "devices/" + interface + "/driver");
    SysLink("../../devices/" + interface + "/tty/" + name, "class/tty/" + name);
  }

  // A UART's terminal on the platform or PNP device <device>, bound to <bus>'s driver.
  void UartTty(const std::string& device, const std::string& name, const std::string& bus,
               const std::string& driver) {
    fs::create_directories(sys_ / "devices" / device / "tty" / name);
    SysLink("../../../" + fs::path(device).filename().string(),
            "devices/" + device + "/tty/" + name + "/device");
    fs::create_directories(sys_ / "bus" / bus / "drivers" / driver);
    SysLink(Up(device) + "bus/" + bus + "/drivers/" + driver, "devices/" + device + "/driver");
    SysLink("../../devices/" + device + "/tty/" + name, "class/tty/" + name);
  }

  // From the folder /sys/devices/<path> back up to /sys/.
  static std::string Up(const std::string& path) {
    std::string up = "../../";
    for (char c : path) {
      if (c == '/') up += "../";
    }
    return up;
  }

  std::vector<SerialPortEntry> List() { return ListSerialPortsIn(dev_.string(), sys_.string()); }

  const SerialPortEntry* Find(const std::vector<SerialPortEntry>& ports, const std::string& name) {
    for (const SerialPortEntry& port : ports) {
      if (port.name == (dev_ / name).string()) return &port;
    }
    return nullptr;
  }

  fs::path root_;
  fs::path dev_;
  fs::path sys_;
};

constexpr const char* kHub = "pci0000:00/0000:00:14.0/usb1";

TEST_F(SerialPortSysfsTest, DescribesEachKindOfPort) {
  const std::string hub = kHub;
  // The root hub is a USB device too: the walk up must stop at the adapter's own folder.
  UsbDevice(hub, "1d6b\n", "0002\n", "0000:00:14.0\n", "xHCI Host Controller\n");
  // FTDI with a serial number, and its stable name.
  UsbDevice(hub + "/1-1", "0403\n", "6001\n", "A50285BI\n", "FT232R USB UART\n");
  Attribute("devices/" + hub + "/1-1/manufacturer", "FTDI\n");
  UsbSerialTty(hub + "/1-1", "ttyUSB0", "ftdi_sio");
  Node("ttyUSB0");
  fs::create_directories(dev_ / "serial" / "by-id");
  fs::create_symlink("../../ttyUSB0",
                     dev_ / "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
  // CH340 without serial number nor product text: lower-case ids, the driver describes it.
  UsbDevice(hub + "/1-2", "1a86\n", "7523\n", "", "");
  UsbSerialTty(hub + "/1-2", "ttyUSB1", "ch341-uart");
  Node("ttyUSB1");
  // An Arduino on cdc_acm, its product text padded with blanks.
  UsbDevice(hub + "/1-3", "2341\n", "0043\n", "75833353035351A0F0B1\n", "Arduino Uno  \n");
  AcmTty(hub + "/1-3", "ttyACM0");
  Node("ttyACM0");
  // UARTs: on a PNP device (driver "serial") behind the serial core's controller and port
  // devices, as Linux 6.5 and later lay them out, and on the 8250 platform device as before.
  UartTty("pnp0/00:04/00:04:0/00:04:0.0", "ttyS0", "serial-base", "port");
  SysLink("../../../../../bus/serial-base", "devices/pnp0/00:04/00:04:0/00:04:0.0/subsystem");
  SysLink("../../../../bus/serial-base/drivers/ctrl", "devices/pnp0/00:04/00:04:0/driver");
  SysLink("../../../../bus/serial-base", "devices/pnp0/00:04/00:04:0/subsystem");
  SysLink("../../../bus/pnp/drivers/serial", "devices/pnp0/00:04/driver");
  SysLink("../../../bus/pnp", "devices/pnp0/00:04/subsystem");
  UartTty("platform/serial8250", "ttyS1", "platform", "serial8250");
  Node("ttyS0");
  Node("ttyS1");

  const std::vector<SerialPortEntry> ports = List();
  struct Expected {
    std::string name, description, vendor, product, serial, identity;
  };
  const Expected expected[] = {
      {"ttyS0", "serial", "", "", "", ""},
      {"ttyS1", "serial8250", "", "", "", ""},
      {"ttyUSB0", "FT232R USB UART", "0403", "6001", "A50285BI", "usb:0403:6001:A50285BI"},
      {"ttyUSB1", "ch341-uart", "1A86", "7523", "", "usb:1A86:7523"},
      {"ttyACM0", "Arduino Uno", "2341", "0043", "75833353035351A0F0B1",
       "usb:2341:0043:75833353035351A0F0B1"},
      {"serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "FT232R USB UART", "0403",
       "6001", "A50285BI", "usb:0403:6001:A50285BI"},
  };
  ASSERT_EQ(ports.size(), std::size(expected));
  for (size_t i = 0; i < ports.size(); ++i) {
    const Expected& e = expected[i];
    const SerialPortEntry& port = ports[i];
    EXPECT_EQ(port.name, (dev_ / e.name).string());
    EXPECT_EQ(port.description, e.description) << e.name;
    EXPECT_EQ(port.vendorId, e.vendor) << e.name;
    EXPECT_EQ(port.productId, e.product) << e.name;
    EXPECT_EQ(port.serialNumber, e.serial) << e.name;
    EXPECT_EQ(port.Identity(), e.identity) << e.name;
  }
  // The stable name and its node are the same adapter: found once, under the first name.
  SerialPortEntry found;
  EXPECT_TRUE(FindPortByIdentity(ports, "usb:0403:6001:A50285BI", found));
  EXPECT_EQ(found.name, (dev_ / "ttyUSB0").string());
  EXPECT_TRUE(FindPortByIdentity(ports, "usb:2341:0043:75833353035351A0F0B1", found));
  EXPECT_EQ(found.name, (dev_ / "ttyACM0").string());
}

TEST_F(SerialPortSysfsTest, MissingOrUnreadableAttributesLeaveTheirFieldsEmpty) {
  const std::string hub = kHub;
  UsbDevice(hub, "1d6b\n", "0002\n", "", "xHCI Host Controller\n");
  // idProduct that cannot be read (a folder in its place): no identity, the product text still.
  UsbDevice(hub + "/1-1", "067b\n", "", "", "USB-Serial Controller\n");
  fs::create_directories(sys_ / "devices" / hub / "1-1/idProduct");
  UsbSerialTty(hub + "/1-1", "ttyUSB0", "pl2303");
  Node("ttyUSB0");
  // A serial number that leads nowhere and a product text that cannot be read: the identity
  // without serial number, the driver for a description.
  UsbDevice(hub + "/1-2", "10c4\n", "ea60\n", "", "");
  fs::create_symlink("/nonexistent/serial", sys_ / "devices" / hub / "1-2/serial");
  fs::create_directories(sys_ / "devices" / hub / "1-2/product");
  UsbSerialTty(hub + "/1-2", "ttyUSB1", "cp210x");
  Node("ttyUSB1");
  // Ids that are not four hexadecimal digits, and an empty serial number: no identity.
  UsbDevice(hub + "/1-3", "0x0403\n", "6001\n", "\n", "Odd\n");
  UsbSerialTty(hub + "/1-3", "ttyUSB2", "ftdi_sio");
  Node("ttyUSB2");
  // Values with carriage returns and blanks around them.
  UsbDevice(hub + "/1-4", " 0403\r\n", "6015 \n", " DN0123 \r\n", "\tFT231X USB UART\r\n");
  UsbSerialTty(hub + "/1-4", "ttyUSB3", "ftdi_sio");
  Node("ttyUSB3");
  // A node sysfs does not know, one whose device link is broken, and a UART without driver.
  Node("ttyUSB4");
  fs::create_directories(sys_ / "devices/virtual/tty/ttyUSB5");
  SysLink("../../devices/virtual/tty/ttyUSB5", "class/tty/ttyUSB5");
  SysLink("../../../gone", "devices/virtual/tty/ttyUSB5/device");
  Node("ttyUSB5");
  fs::create_directories(sys_ / "devices/platform/serial8250/tty/ttyS2");
  SysLink("../../../serial8250", "devices/platform/serial8250/tty/ttyS2/device");
  SysLink("../../devices/platform/serial8250/tty/ttyS2", "class/tty/ttyS2");
  Node("ttyS2");
  // A device link that leaves sysfs is not followed.
  fs::create_directories(root_ / "elsewhere/1-9");
  std::ofstream(root_ / "elsewhere/1-9/idVendor") << "dead\n";
  std::ofstream(root_ / "elsewhere/1-9/idProduct") << "beef\n";
  fs::create_directories(root_ / "elsewhere/1-9/port");
  fs::create_directories(sys_ / "devices/virtual/tty/ttyUSB6");
  fs::create_symlink(root_ / "elsewhere/1-9/port", sys_ / "devices/virtual/tty/ttyUSB6/device");
  SysLink("../../devices/virtual/tty/ttyUSB6", "class/tty/ttyUSB6");
  Node("ttyUSB6");

  const std::vector<SerialPortEntry> ports = List();
  struct Expected {
    std::string name, description, identity;
  };
  const Expected expected[] = {
      {"ttyS2", "", ""},
      {"ttyUSB0", "USB-Serial Controller", ""},
      {"ttyUSB1", "cp210x", "usb:10C4:EA60"},
      {"ttyUSB2", "Odd", ""},
      {"ttyUSB3", "FT231X USB UART", "usb:0403:6015:DN0123"},
      {"ttyUSB4", "", ""},
      {"ttyUSB5", "", ""},
      {"ttyUSB6", "", ""},
  };
  ASSERT_EQ(ports.size(), std::size(expected));
  for (size_t i = 0; i < ports.size(); ++i) {
    EXPECT_EQ(ports[i].name, (dev_ / expected[i].name).string());
    EXPECT_EQ(ports[i].description, expected[i].description) << expected[i].name;
    EXPECT_EQ(ports[i].Identity(), expected[i].identity) << expected[i].name;
    if (expected[i].identity.empty()) {
      EXPECT_EQ(ports[i].vendorId + ports[i].productId + ports[i].serialNumber, "")
          << expected[i].name;
    }
  }
}

// Without any sysfs (a container, another root), the ports are listed all the same.
TEST_F(SerialPortSysfsTest, NoSysfsDescribesNothing) {
  Node("ttyUSB0");
  Node("ttyACM0");
  const std::vector<SerialPortEntry> ports =
      ListSerialPortsIn(dev_.string(), (root_ / "missing").string());
  ASSERT_EQ(ports.size(), 2u);
  for (const SerialPortEntry& port : ports) {
    EXPECT_EQ(port.description, "") << port.name;
    EXPECT_EQ(port.Identity(), "") << port.name;
  }
}

// On this machine: every ttyS listed is a UART the kernel knows the type of, and every ttyS
// with a known type is listed (the kernel shows the type in sysfs too, 0 for none).
TEST(SerialPortListMachine, UartNodesMatchTheKernelsTypes) {
  if (geteuid() != 0) GTEST_SKIP() << "opening /dev/ttyS* needs the rights of the dialout group";
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator("/dev", error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("ttyS", 0) != 0) continue;
    std::ifstream typeFile("/sys/class/tty/" + name + "/type");
    int type = -1;
    if (!(typeFile >> type)) continue;
    const bool listed = std::any_of(ports.begin(), ports.end(), [&](const SerialPortEntry& port) {
      return port.name == entry.path().string();
    });
    EXPECT_EQ(listed, type != 0) << name << " has type " << type;
  }
}

#endif

}  // namespace
}  // namespace trv
