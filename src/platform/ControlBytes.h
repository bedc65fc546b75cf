#pragma once

// The control characters of the scales' serial protocols, by their ASCII names.
namespace trv::ascii {

inline constexpr char kStx = 0x02;  // start of text
inline constexpr char kEtx = 0x03;  // end of text
inline constexpr char kEnq = 0x05;  // enquiry: a weight request
inline constexpr char kLf = 0x0A;
inline constexpr char kCr = 0x0D;

}  // namespace trv::ascii
