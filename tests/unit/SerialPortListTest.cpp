// The machine's serial ports as a user looks for them.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/SerialPortList.h"

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
