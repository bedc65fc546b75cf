#include "device/TrvBase.h"

#include "platform/Library.h"
#include "platform/Text.h"

namespace trv {

std::string DecodeMessage(const Bytes& windows1252) {
  return platform::Windows1252ToUtf8(windows1252);
}

bool IsBitSet(int32_t value, uint8_t bit) {
  return bit <= 31 && ((static_cast<uint32_t>(value) >> bit) & 1u) != 0;
}

bool LoadOptionalFunction(const std::string& library, const std::string& function, void*& entry) {
  entry = nullptr;
  void* module = platform::LoadLibraryByName(library);
  if (module == nullptr) return false;
  entry = platform::FindLibraryFunction(module, function);
  return entry != nullptr;
}

const OptionalFunctions& ResolvedOptionalFunctions() {
  static const OptionalFunctions functions = [] {
    OptionalFunctions resolved;
    LoadOptionalFunction("inpout32.dll", "Inp32", resolved.Inp32);
    LoadOptionalFunction("inpout32.dll", "Out32", resolved.Out32);
    LoadOptionalFunction("USER32.DLL", "BlockInput", resolved.BlockInput);
    return resolved;
  }();
  return functions;
}

}  // namespace trv
