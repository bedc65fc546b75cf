#pragma once

#include <string>
#include <vector>

#include "DetectRequest.h"

namespace trv::detection {

// The options of `travinel detectar`: --portas LISTA, --salvar NOME, --raiz PASTA, --help; values
// as "--portas X" or "--portas=X". The configuration file is the one `travinel configurar`
// writes: below --raiz (Linux, tests), else the file TRAVINEL_CONFIG names, else its place.
class DetectOptions {
 public:
  // False, with a message in Portuguese, for an unknown option, a missing or bad value.
  static bool Parse(const std::vector<std::string>& args, DetectRequest& request,
                    std::string& error);

  // The longest name a scale may be saved under.
  static constexpr size_t kMaxNameLength = 64;

 private:
  static bool Apply(const std::string& name, const std::string& value, DetectRequest& request,
                    std::string& error);
  static bool ReadPorts(const std::string& text, DetectRequest& request, std::string& error);
  static bool ReadName(const std::string& text, DetectRequest& request, std::string& error);
  static bool ReadRoot(const std::string& text, DetectRequest& request, std::string& error);
};

}  // namespace trv::detection
