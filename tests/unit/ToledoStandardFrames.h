#pragma once

// Frames of Toledo's standard continuous output, built from the frame's definition, for the
// tests of the Toledo and Toledo 2180 drivers.
#include "ScaleFixture.h"

namespace trv::testing {

// Toledo's standard continuous output: STX, status words A, B and C, six weight digits, six tare
// digits (none in the short form), CR, and, where the scale sends it, the checksum: the two's
// complement of the sum of the low seven bits of every byte from STX to CR.
struct Standard {
  unsigned char swa;  // bits 0-2: the decimal point; bit 5 always set, bit 6 always clear
  unsigned char swb;  // net, negative, out of range, motion, kg (else lb); bit 5 always set
  Bytes weight;
  Bytes tare = "000000";
  bool checksum = true;

  operator Bytes() const {
    Bytes frame = STX + static_cast<char>(swa) + static_cast<char>(swb) + " " + weight + tare + CR;
    unsigned sum = 0;
    for (char c : frame) sum += static_cast<unsigned char>(c) & 0x7Fu;
    if (checksum) frame += static_cast<char>((0x80u - (sum & 0x7Fu)) & 0x7Fu);
    return frame;
  }
};

inline constexpr unsigned char kSwa = 0x20;
inline constexpr unsigned char kSwb = 0x20;
inline constexpr unsigned char kNet = 0x01;
inline constexpr unsigned char kNegative = 0x02;
inline constexpr unsigned char kOutOfRange = 0x04;
inline constexpr unsigned char kMotion = 0x08;
inline constexpr unsigned char kKg = 0x10;
inline constexpr unsigned char kThreeDecimals = 5;  // XXX.XXX
inline constexpr double kKgPerLb = 0.45359237;

inline Bytes Kg(const Bytes& weight, unsigned char flags = 0) {
  return Standard{kSwa | kThreeDecimals, static_cast<unsigned char>(kSwb | kKg | flags), weight};
}

}  // namespace trv::testing
