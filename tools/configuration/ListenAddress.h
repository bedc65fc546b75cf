#pragma once

#include <string>

namespace trv::config {

// Where the local weight service listens, as `travinel configurar --escuta` and the
// configuration file's "escuta" give it: "ENDEREÇO:PORTA" on this computer's loopback address
// (127.0.0.1:8470, [::1]:8470). Another address would let other machines reach the scale: the
// service asks for --permitir-rede for that, which a configuration file does not carry.
class ListenAddress {
 public:
  // The text in its usual form; false for anything else.
  static bool Parse(const std::string& text, std::string& listen);
};

}  // namespace trv::config
