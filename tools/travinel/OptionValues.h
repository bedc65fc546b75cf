#pragma once

#include <string>

namespace trv::cli {

// The values the travinel options take, read into the weighing form's integer values. Each
// returns false for a text that is not such a value; letters may be in any case.
class OptionValues {
 public:
  // A whole decimal number within [low, high], nothing else around it.
  static bool Integer(const std::string& text, int low, int high, int& value);
  // A port number (3, or com3), or a device path: a path has a '/' on Linux, and on Windows is
  // any other name (\\.\COM10).
  static bool Port(const std::string& text, int& number, std::string& path);
  // 0-7, or nenhum, filizola, toledo, toledo2180, urano, lucastec, magna, digitron.
  static bool Model(const std::string& text, int& value);
  // 0-4, or n, o, e, m, s.
  static bool Parity(const std::string& text, int& value);
  // 0-3, or nenhum, xon, rts, dtr.
  static bool Handshake(const std::string& text, int& value);
  // g or kg, or the form's 0 and 1.
  static bool Unit(const std::string& text, int& value);
  // The scale model's name, as Model reads it.
  static std::string ModelName(int model);

 private:
  // A number below `count`, or one of the names (any case), read as its position.
  static bool Choice(const std::string& text, const char* const* names, int count, int& value);
};

}  // namespace trv::cli
