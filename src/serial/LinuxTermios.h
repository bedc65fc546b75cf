#pragma once

// Linux's termios2, the terminal settings with the baud rate as a plain number: with BOTHER in
// the speed fields any rate works, not only the fixed Bxxx steps of POSIX termios. The kernel's
// <asm/termbits.h> defines it together with its own struct termios, which clashes with the C
// library's <termios.h>: a file that includes this header must not include that one. CMSPAR
// (stick parity, for mark and space) is Linux's too.
#include <asm/termbits.h>

#include "serial/Dcb.h"

namespace trv::linux_tty {

// The line settings of a device-control block written into tio: baud rate (BOTHER, both
// directions), data bits, parity (mark and space as stick parity), stop bits (one and a half
// become two: a tty has no such setting), RTS/CTS flow (CTS flow or RTS handshake), XON/XOFF in
// each direction with its two characters, and parity checking on input. Every other setting of
// tio stays as it was.
void ApplyLineSettings(const Dcb& dcb, termios2& tio);

// The device-control block that tio's settings stand for, into the line fields of dcb (baud rate,
// data bits, parity, stop bits, the flow-control flags and XON/XOFF characters); the other
// fields of dcb stay as they were.
void ReadLineSettings(const termios2& tio, Dcb& dcb);

// Raw mode, the way a Windows COM port delivers bytes: no echo, no line editing, no CR/LF
// translation, no software flow, 8 bits, and reads that never wait inside the driver.
void MakeRaw(termios2& tio);

}  // namespace trv::linux_tty
