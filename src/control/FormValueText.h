#pragma once

#include <string>

namespace trv {

// The weighing form's values given as texts (an option, a query value, a line of a file). Each
// returns false, with the outputs unchanged, for a text that is not such a value; letters may
// be in any case.
class FormValueText {
 public:
  // A whole decimal number within [low, high], nothing else around it.
  static bool Integer(const std::string& text, int low, int high, int& value);
  // A port number within [low, high] (3, or com3), or a device path: a path has a '/' on Linux,
  // and on Windows is any other name (\\.\COM10).
  static bool Port(const std::string& text, int low, int high, int& number, std::string& path);
  // A number within [low, high], or one of `names` (any case), read as low plus its position.
  static bool Choice(const std::string& text, const char* const* names, int low, int high,
                     int& value);
};

}  // namespace trv
