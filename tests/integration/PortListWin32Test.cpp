// The Windows port list under Wine: COM1 to COM256 as opening finds them (the test's COM7 is a
// link of the prefix to the far end's pseudo-terminal), described by what SetupAPI knows of the
// ports class. Wine's SetupAPI commonly knows no port at all, so the listing must not depend on
// it; one test registers a USB adapter of its own in the prefix to see the description arrive.

#include <windows.h>
// windows.h first.
#include <setupapi.h>

#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "PtyTestSupport.h"
#include "serial/SerialPortList.h"
#include "serial/SerialPortsWin32.h"
#include "testing/Wine.h"

namespace trv {
namespace {

// GUID_DEVCLASS_PORTS.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

// A listed port's description and identity hang together: ids of four upper-case hexadecimal
// digits, both or neither, and a serial number only with them.
void ExpectWellFormed(const SerialPortEntry& port) {
  const auto isId = [](const std::string& id) {
    return id.size() == 4 && id.find_first_not_of("0123456789ABCDEF") == std::string::npos;
  };
  EXPECT_EQ(port.name.rfind("COM", 0), 0u) << port.name;
  EXPECT_EQ(port.device, "\\\\.\\" + port.name);
  if (port.vendorId.empty()) {
    EXPECT_EQ(port.productId + port.serialNumber, "") << port.name;
    EXPECT_EQ(port.Identity(), "") << port.name;
  } else {
    EXPECT_TRUE(isId(port.vendorId) && isId(port.productId))
        << port.name << ": " << port.vendorId << ":" << port.productId;
  }
}

const SerialPortEntry* Find(const std::vector<SerialPortEntry>& ports, const std::string& name) {
  const auto found = std::find_if(ports.begin(), ports.end(),
                                  [&](const SerialPortEntry& port) { return port.name == name; });
  return found == ports.end() ? nullptr : &*found;
}

class WindowsPortListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ptytest::TestPort().empty()) GTEST_SKIP() << ptytest::kNoPeer;
  }
};

TEST_F(WindowsPortListTest, ListsTheTestPortWhatEverSetupApiKnows) {
  const std::vector<SerialPortEntry> known = ListSetupApiPorts();
  std::cout << "SetupAPI knows " << known.size() << " port(s) of the ports class\n";
  for (const SerialPortEntry& port : known) ExpectWellFormed(port);
  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  EXPECT_NE(Find(ports, ptytest::TestPort()), nullptr) << ptytest::TestPort();
  for (const SerialPortEntry& port : ports) {
    ExpectWellFormed(port);
    // A port SetupAPI knows and opening finds is listed with what SetupAPI says of it.
    if (const SerialPortEntry* described = Find(known, port.name)) {
      EXPECT_EQ(port.description, described->description) << port.name;
      EXPECT_EQ(port.Identity(), described->Identity()) << port.name;
    }
  }
}

// A device of the ports class registered in the prefix for the test port, removed at the end.
class RegisteredPort {
 public:
  RegisteredPort(const std::wstring& instanceId, const std::wstring& friendlyName,
                 const std::wstring& portName)
      : devices_(SetupDiCreateDeviceInfoList(&kPortsClass, nullptr)) {
    if (devices_ == INVALID_HANDLE_VALUE) return;
    device_.cbSize = sizeof device_;
    // One a run that crashed left behind goes first.
    if (SetupDiOpenDeviceInfoW(devices_, instanceId.c_str(), nullptr, 0, &device_)) {
      SetupDiRemoveDevice(devices_, &device_);
    }
    if (!SetupDiCreateDeviceInfoW(devices_, instanceId.c_str(), &kPortsClass, nullptr, nullptr, 0,
                                  &device_) ||
        !SetupDiRegisterDeviceInfo(devices_, &device_, 0, nullptr, nullptr, nullptr)) {
      error_ = GetLastError();
      return;
    }
    registered_ = true;
    if (!SetupDiSetDeviceRegistryPropertyW(
            devices_, &device_, SPDRP_FRIENDLYNAME,
            reinterpret_cast<const BYTE*>(friendlyName.c_str()),
            static_cast<DWORD>((friendlyName.size() + 1) * sizeof(wchar_t)))) {
      error_ = GetLastError();
      return;
    }
    HKEY key = SetupDiCreateDevRegKeyW(devices_, &device_, DICS_FLAG_GLOBAL, 0, DIREG_DEV, nullptr,
                                       nullptr);
    if (key == INVALID_HANDLE_VALUE) {
      error_ = GetLastError();
      return;
    }
    const LONG set =
        RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(portName.c_str()),
                       static_cast<DWORD>((portName.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (set != ERROR_SUCCESS) error_ = static_cast<DWORD>(set);
  }
  ~RegisteredPort() {
    if (registered_) SetupDiRemoveDevice(devices_, &device_);
    if (devices_ != INVALID_HANDLE_VALUE) SetupDiDestroyDeviceInfoList(devices_);
  }
  RegisteredPort(const RegisteredPort&) = delete;
  RegisteredPort& operator=(const RegisteredPort&) = delete;

  bool Ok() const { return devices_ != INVALID_HANDLE_VALUE && registered_ && error_ == 0; }
  DWORD Error() const { return error_; }

 private:
  HDEVINFO devices_;
  SP_DEVINFO_DATA device_{};
  bool registered_ = false;
  DWORD error_ = 0;
};

// Only in Wine's private prefix: a real machine's device tree is left alone.
TEST_F(WindowsPortListTest, DescribesTheTestPortFromARegisteredUsbAdapter) {
  if (!platform::RunningUnderWine()) GTEST_SKIP() << "registers a device: under Wine only";
  const std::string port = ptytest::TestPort();
  const std::wstring widePort(port.begin(), port.end());
  RegisteredPort registered(L"USB\\VID_0403&PID_6001\\TRV0TEST",
                            L"USB Serial Port (" + widePort + L")", widePort);
  ASSERT_TRUE(registered.Ok()) << "error " << registered.Error();

  const std::vector<SerialPortEntry> known = ListSetupApiPorts();
  const SerialPortEntry* described = Find(known, port);
  if (described == nullptr) GTEST_SKIP() << "this Wine's SetupAPI does not list the device";
  EXPECT_EQ(described->description, "USB Serial Port (" + port + ")");
  EXPECT_EQ(described->Identity(), "usb:0403:6001:TRV0TEST");

  const std::vector<SerialPortEntry> ports = ListSerialPorts();
  const SerialPortEntry* listed = Find(ports, port);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(listed->description, "USB Serial Port (" + port + ")");
  EXPECT_EQ(listed->Identity(), "usb:0403:6001:TRV0TEST");
  SerialPortEntry found;
  ASSERT_TRUE(FindPortByIdentity(ports, "usb:0403:6001:TRV0TEST", found));
  EXPECT_EQ(found.name, port);
}

}  // namespace
}  // namespace trv
