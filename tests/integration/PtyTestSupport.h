#pragma once

// What the integration suites share: the ports they are given through the environment, the
// hexadecimal text of the far end's command language, the bytes its STREAM command sends, the
// opening of the test line and the measuring of wall-clock time. Only the serial class, the
// standard library and GoogleTest are used, so the suites that include this still build for
// Windows.

#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <string>
#include <thread>

#include "serial/TrvSerial.h"

namespace trv::ptytest {

using Steady = std::chrono::steady_clock;

// What the skipped tests say when no far end was given to them.
inline constexpr const char* kNoPeer =
    "TRAVINEL_TEST_PORT is not set; run this program through tests/support/with-peer (ctest "
    "does) to give it a far end";

// The variable's value, empty when it is not set.
inline std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The port of the far end (TRAVINEL_TEST_PORT).
inline std::string TestPort() {
  return Environment("TRAVINEL_TEST_PORT");
}

// The bytes as upper-case hexadecimal digits, two a byte: how the command language spells them.
inline std::string Hex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : bytes) {
    const auto value = static_cast<unsigned char>(c);
    text += kDigits[value >> 4];
    text += kDigits[value & 15];
  }
  return text;
}

// The bytes the peer's STREAM command sends.
inline Bytes StreamPattern(size_t count) {
  Bytes bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>((i * 7 + 3) % 256);
  return bytes;
}

inline long long MillisecondsSince(Steady::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
}

inline void Pause(int milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Opens the port and sets the line every suite speaks on: 9600 baud, 8N1, no flow control.
// Fails the test (fatally) with the port's error where either step goes wrong.
inline void OpenTestLine(TTrvSerial& serial, const std::string& port) {
  serial.Connect(port);
  ASSERT_EQ(serial.LastError(), 0) << port << ": " << serial.LastErrorDesc();
  serial.Config(9600, 8, 'N', 0, false, false);
  ASSERT_EQ(serial.LastError(), 0) << serial.LastErrorDesc();
}

}  // namespace trv::ptytest
