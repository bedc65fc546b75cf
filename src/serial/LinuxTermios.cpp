#include "serial/LinuxTermios.h"

namespace trv::linux_tty {
namespace {

tcflag_t SizeFlag(uint8_t byteSize) {
  switch (byteSize) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

uint8_t ByteSizeOf(tcflag_t cflag) {
  switch (cflag & CSIZE) {
    case CS5:
      return 5;
    case CS6:
      return 6;
    case CS7:
      return 7;
    default:
      return 8;
  }
}

tcflag_t ParityFlags(uint8_t parity) {
  switch (parity) {
    case dcb::kOddParity:
      return PARENB | PARODD;
    case dcb::kEvenParity:
      return PARENB;
    case dcb::kMarkParity:
      return PARENB | CMSPAR | PARODD;
    case dcb::kSpaceParity:
      return PARENB | CMSPAR;
    default:
      return 0;
  }
}

uint8_t ParityOf(tcflag_t cflag) {
  if ((cflag & PARENB) == 0) return dcb::kNoParity;
  const bool odd = (cflag & PARODD) != 0;
  // Stick parity: PARODD selects a parity bit that is always 1 (mark), else always 0 (space).
  if ((cflag & CMSPAR) != 0) return odd ? dcb::kMarkParity : dcb::kSpaceParity;
  return odd ? dcb::kOddParity : dcb::kEvenParity;
}

uint32_t HandshakeFlags(const termios2& tio) {
  uint32_t flags = dcb::kDtrControlEnable;
  if ((tio.c_cflag & CRTSCTS) != 0) {
    flags |= dcb::kOutxCtsFlow | dcb::kRtsControlHandshake;
  } else {
    flags |= dcb::kRtsControlEnable;
  }
  if ((tio.c_iflag & IXON) != 0) flags |= dcb::kOutX;
  if ((tio.c_iflag & IXOFF) != 0) flags |= dcb::kInX;
  return flags;
}

}  // namespace

void ApplyLineSettings(const Dcb& dcb, termios2& tio) {
  tio.c_cflag &= ~(CBAUD | CIBAUD | CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  // BOTHER in both speed fields: the rates are taken as numbers from c_ispeed and c_ospeed.
  tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CLOCAL | CREAD;
  tio.c_ispeed = tio.c_ospeed = dcb.BaudRate;
  tio.c_cflag |= SizeFlag(dcb.ByteSize) | ParityFlags(dcb.Parity);
  if (dcb.StopBits != dcb::kOneStopBit) tio.c_cflag |= CSTOPB;
  const bool rtsHandshake = (dcb.Flags & dcb::kRtsControlMask) == dcb::kRtsControlHandshake;
  if ((dcb.Flags & dcb::kOutxCtsFlow) != 0 || rtsHandshake) tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | INPCK);
  if ((dcb.Flags & dcb::kOutX) != 0) tio.c_iflag |= IXON;
  if ((dcb.Flags & dcb::kInX) != 0) tio.c_iflag |= IXOFF;
  if ((dcb.Flags & dcb::kParity) != 0 && dcb.Parity != dcb::kNoParity) tio.c_iflag |= INPCK;
  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
}

void ReadLineSettings(const termios2& tio, Dcb& dcb) {
  dcb.BaudRate = tio.c_ospeed;
  dcb.ByteSize = ByteSizeOf(tio.c_cflag);
  dcb.Parity = ParityOf(tio.c_cflag);
  dcb.StopBits = (tio.c_cflag & CSTOPB) != 0 ? dcb::kTwoStopBits : dcb::kOneStopBit;
  dcb.Flags = dcb::kBinary | HandshakeFlags(tio);
  if (dcb.Parity != dcb::kNoParity) dcb.Flags |= dcb::kParity;
  dcb.XonChar = static_cast<char>(tio.c_cc[VSTART]);
  dcb.XoffChar = static_cast<char>(tio.c_cc[VSTOP]);
}

void MakeRaw(termios2& tio) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                   IXANY | IMAXBEL | IUCLC);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB);
  tio.c_cflag |= CS8 | CLOCAL | CREAD;
  // The descriptor is non-blocking, so reads never wait inside the driver (poll() waits, with
  // our own deadlines). VMIN 1 makes an empty queue answer EAGAIN; 0 then means what it means
  // for a file: there is no more, the line hung up.
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
}

}  // namespace trv::linux_tty
