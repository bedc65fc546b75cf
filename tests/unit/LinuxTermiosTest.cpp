// The translation between device-control blocks and Linux terminal settings. A pseudo-terminal
// always reports 8N1 whatever it is given, so only this table catches a swapped flag.
#include <gtest/gtest.h>

#include "serial/LinuxTermios.h"

namespace trv::linux_tty {
namespace {

struct SettingsCase {
  const char* name;
  uint32_t baud;
  uint8_t byteSize, parity, stopBits;
  uint32_t flags;
  tcflag_t cflag;  // expected among CSIZE, PARENB, PARODD, CMSPAR, CSTOPB, CRTSCTS
  tcflag_t iflag;  // expected among IXON, IXOFF, INPCK
};

constexpr tcflag_t kCflagBits = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;
constexpr tcflag_t kIflagBits = IXON | IXOFF | INPCK;
constexpr uint32_t kParityCheck = dcb::kParity;

const SettingsCase kCases[] = {
    {"9600 8N1", 9600, 8, dcb::kNoParity, dcb::kOneStopBit, 0, CS8, 0},
    {"4800 7E1", 4800, 7, dcb::kEvenParity, dcb::kOneStopBit, kParityCheck, CS7 | PARENB, INPCK},
    {"2400 7O2", 2400, 7, dcb::kOddParity, dcb::kTwoStopBits, kParityCheck,
     CS7 | PARENB | PARODD | CSTOPB, INPCK},
    {"mark", 9600, 8, dcb::kMarkParity, dcb::kOneStopBit, 0, CS8 | PARENB | CMSPAR | PARODD, 0},
    {"space", 9600, 8, dcb::kSpaceParity, dcb::kOneStopBit, 0, CS8 | PARENB | CMSPAR, 0},
    {"5 bits, 1.5 stop", 110, 5, dcb::kNoParity, dcb::kOne5StopBits, 0, CS5 | CSTOPB, 0},
    {"6 bits", 300, 6, dcb::kNoParity, dcb::kOneStopBit, 0, CS6, 0},
    {"odd rate", 250000, 8, dcb::kNoParity, dcb::kOneStopBit, 0, CS8, 0},
    {"CTS flow", 19200, 8, dcb::kNoParity, dcb::kOneStopBit, dcb::kOutxCtsFlow, CS8 | CRTSCTS, 0},
    {"RTS handshake", 19200, 8, dcb::kNoParity, dcb::kOneStopBit, dcb::kRtsControlHandshake,
     CS8 | CRTSCTS, 0},
    {"XON/XOFF", 9600, 8, dcb::kNoParity, dcb::kOneStopBit, dcb::kOutX | dcb::kInX, CS8,
     IXON | IXOFF},
    {"XON out only", 9600, 8, dcb::kNoParity, dcb::kOneStopBit, dcb::kOutX, CS8, IXON},
    {"parity without checking", 9600, 7, dcb::kEvenParity, dcb::kOneStopBit, 0, CS7 | PARENB, 0},
};

TEST(LinuxTermios, LineSettingsBecomeTheirTerminalFlagsAndReadBack) {
  for (const SettingsCase& c : kCases) {
    Dcb dcb{};
    dcb.BaudRate = c.baud;
    dcb.ByteSize = c.byteSize;
    dcb.Parity = c.parity;
    dcb.StopBits = c.stopBits;
    dcb.Flags = c.flags;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    // Start from settings that every case must clear or keep.
    termios2 tio{};
    tio.c_cflag = CS8 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | HUPCL;
    tio.c_iflag = IXON | IXOFF | INPCK | IGNBRK;
    ApplyLineSettings(dcb, tio);

    EXPECT_EQ(tio.c_cflag & kCflagBits, c.cflag) << c.name;
    EXPECT_EQ(tio.c_iflag & kIflagBits, c.iflag) << c.name;
    EXPECT_EQ(tio.c_cflag & CBAUD, static_cast<tcflag_t>(BOTHER)) << c.name;
    EXPECT_EQ(tio.c_ispeed, c.baud) << c.name;
    EXPECT_EQ(tio.c_ospeed, c.baud) << c.name;
    EXPECT_NE(tio.c_cflag & HUPCL, 0u) << c.name << ": unrelated settings stay";
    EXPECT_NE(tio.c_iflag & IGNBRK, 0u) << c.name << ": unrelated settings stay";
    EXPECT_EQ(tio.c_cc[VSTART], 0x11) << c.name;
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13) << c.name;

    Dcb back{};
    ReadLineSettings(tio, back);
    EXPECT_EQ(back.BaudRate, c.baud) << c.name;
    EXPECT_EQ(back.ByteSize, c.byteSize) << c.name;
    EXPECT_EQ(back.Parity, c.parity) << c.name;
    const uint8_t stop = c.stopBits == dcb::kOneStopBit ? dcb::kOneStopBit : dcb::kTwoStopBits;
    EXPECT_EQ(back.StopBits, stop) << c.name;
    EXPECT_EQ((back.Flags & (dcb::kOutX | dcb::kInX)), (c.flags & (dcb::kOutX | dcb::kInX)))
        << c.name;
    const bool rtsCts = (c.cflag & CRTSCTS) != 0;
    EXPECT_EQ((back.Flags & dcb::kOutxCtsFlow) != 0, rtsCts) << c.name;
  }
}

}  // namespace
}  // namespace trv::linux_tty
