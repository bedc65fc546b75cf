#pragma once

#include <string>

namespace trv::platform {

// The operating system's text for one of its error codes (FormatMessageW on Windows, strerror
// elsewhere), UTF-8, without trailing blanks, line breaks or full stops; empty when the system
// has no text for the code.
std::string SystemErrorText(int code);

}  // namespace trv::platform
