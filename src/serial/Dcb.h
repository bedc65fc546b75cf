#pragma once

#include <cstdint>

namespace trv {

// The Windows device-control block, byte for byte (28 bytes, little-endian). The serial class
// works on this layout on every platform; the POSIX port maps it to termios and back.
#pragma pack(push, 1)
struct Dcb {
  uint32_t DCBlength;
  uint32_t BaudRate;
  uint32_t Flags;
  uint16_t wReserved;
  uint16_t XonLim;
  uint16_t XoffLim;
  uint8_t ByteSize;
  uint8_t Parity;
  uint8_t StopBits;
  char XonChar;
  char XoffChar;
  char ErrorChar;
  char EofChar;
  char EvtChar;
  uint16_t wReserved1;
};
#pragma pack(pop)
static_assert(sizeof(Dcb) == 28, "the device-control block is 28 bytes");

namespace dcb {
// Bits of Dcb::Flags.
constexpr uint32_t kBinary = 0x0001;
constexpr uint32_t kParity = 0x0002;
constexpr uint32_t kOutxCtsFlow = 0x0004;
constexpr uint32_t kOutxDsrFlow = 0x0008;
constexpr uint32_t kDtrControlMask = 0x0030;
constexpr uint32_t kDtrControlEnable = 0x0010;
constexpr uint32_t kDtrControlHandshake = 0x0020;
constexpr uint32_t kOutX = 0x0100;
constexpr uint32_t kInX = 0x0200;
constexpr uint32_t kRtsControlMask = 0x3000;
constexpr uint32_t kRtsControlEnable = 0x1000;
constexpr uint32_t kRtsControlHandshake = 0x2000;
constexpr uint32_t kRtsControlToggle = 0x3000;

// Dcb::Parity values.
constexpr uint8_t kNoParity = 0;
constexpr uint8_t kOddParity = 1;
constexpr uint8_t kEvenParity = 2;
constexpr uint8_t kMarkParity = 3;
constexpr uint8_t kSpaceParity = 4;

// Dcb::StopBits values.
constexpr uint8_t kOneStopBit = 0;
constexpr uint8_t kOne5StopBits = 1;
constexpr uint8_t kTwoStopBits = 2;
}  // namespace dcb

}  // namespace trv
