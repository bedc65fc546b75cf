#pragma once

#include <string>
#include <string_view>

#include "platform/Bytes.h"

namespace trv::platform {

// Texts are UTF-8 inside the system; these convert at the edges where other encodings live.

// Windows-1252 bytes (the code page of the system's 8-bit message texts) to UTF-8.
std::string Windows1252ToUtf8(const Bytes& text);
// UTF-8 to Windows-1252; a character that code page cannot hold becomes '?'.
Bytes Utf8ToWindows1252(const std::string& text);

// UTF-8 to UTF-16 and back (window texts, BSTRs, Win32 paths). Invalid UTF-8 sequences become
// U+FFFD; unpaired surrogates likewise.
std::u16string Utf8ToUtf16(const std::string& text);
std::string Utf16ToUtf8(const std::u16string& text);

// Upper case of the ASCII letters a to z only; every other byte is kept.
std::string AsciiUpper(std::string text);
// Lower case of the ASCII letters A to Z only; every other byte is kept.
std::string AsciiLower(std::string text);

// Without the characters of code 32 or below at both ends.
std::string Trim(std::string_view text);

// An optionally signed decimal integer that fills the whole text and fits 32 bits; false for
// anything else (an empty text, stray characters or blanks, a value that does not fit).
bool ParseWholeInteger(std::string_view text, int& value);

}  // namespace trv::platform
