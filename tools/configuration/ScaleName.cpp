#include "ScaleName.h"

#include <algorithm>

namespace trv::config {
namespace {

bool IsNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_';
}

// The refused name as it may be shown: what a terminal would act on (control characters) is
// replaced, and a long name is cut.
std::string Shown(const std::string& name) {
  constexpr size_t kShown = 40;
  std::string shown = name.substr(0, kShown);
  std::replace_if(
      shown.begin(), shown.end(),
      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }, '?');
  return name.size() > kShown ? shown + "..." : shown;
}

}  // namespace

bool ScaleName::IsValid(const std::string& name) {
  return !name.empty() && name.size() <= kMaxLength &&
         std::all_of(name.begin(), name.end(), IsNameCharacter);
}

std::string ScaleName::Refusal(const std::string& name) {
  return "nome de balança inválido: '" + Shown(name) +
         "'; use de 1 a 32 letras sem acento, dígitos, '-' ou '_'";
}

}  // namespace trv::config
