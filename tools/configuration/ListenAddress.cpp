#include "ListenAddress.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "control/FormValueText.h"

namespace trv::config {
namespace {

// 127.a.b.c, each part a number from 0 to 255.
bool IsLoopbackIpv4(const std::string& address) {
  std::stringstream stream(address);
  std::string part;
  std::vector<int> parts;
  while (std::getline(stream, part, '.')) {
    int value = 0;
    const bool digits =
        !part.empty() && part.size() <= 3 &&
        std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || !FormValueText::Integer(part, 0, 255, value)) return false;
    parts.push_back(value);
  }
  return parts.size() == 4 && parts[0] == 127 && address.back() != '.';
}

}  // namespace

bool ListenAddress::Parse(const std::string& text, std::string& listen) {
  const size_t colon = text.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string address = text.substr(0, colon);
  int port = 0;
  if (!FormValueText::Integer(text.substr(colon + 1), 1, 65535, port)) return false;
  if (address != "[::1]" && !IsLoopbackIpv4(address)) return false;
  listen = address + ":" + std::to_string(port);
  return true;
}

}  // namespace trv::config
