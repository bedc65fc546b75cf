#pragma once

#include <string>

namespace trv {

// Wire data: any 8-bit values, 0 included. Kept apart from text (UTF-8 std::string) by name.
using Bytes = std::string;

}  // namespace trv
