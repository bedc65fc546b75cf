#include "HttpMessage.h"

namespace trv::service {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Decode(const std::string& text, std::string& decoded) {
  decoded.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '+') {
      decoded += ' ';
    } else if (text[i] != '%') {
      decoded += text[i];
    } else {
      if (i + 2 >= text.size()) return false;
      const int high = HexValue(text[i + 1]);
      const int low = HexValue(text[i + 2]);
      if (high < 0 || low < 0) return false;
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    }
  }
  return true;
}

}  // namespace

bool ParseTarget(const std::string& target, HttpRequest& request) {
  if (target.empty() || target.front() != '/') return false;
  const size_t mark = target.find('?');
  if (!Decode(target.substr(0, mark), request.path)) return false;
  if (mark == std::string::npos) return true;
  const std::string query = target.substr(mark + 1);
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string::npos) end = query.size();
    const std::string pair = query.substr(start, end - start);
    if (!pair.empty()) {
      const size_t equals = pair.find('=');
      std::string name;
      std::string value;
      if (!Decode(pair.substr(0, equals), name)) return false;
      if (equals != std::string::npos && !Decode(pair.substr(equals + 1), value)) return false;
      request.query[name] = value;
    }
    start = end + 1;
  }
  return true;
}

}  // namespace trv::service
