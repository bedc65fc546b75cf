#pragma once

#include <cstdint>
#include <string>

#include "platform/Bytes.h"
#include "platform/TComponent.h"

namespace trv {

enum TTrvAboutInfo : uint8_t { TrvAbout };

// Base of the scale component: a component with the product's About property.
class TTrvComponent : public TComponent {
 public:
  using TComponent::TComponent;

  TTrvAboutInfo AboutTrv() const { return fsAbout; }
  void SetAboutTrv(TTrvAboutInfo value) { fsAbout = value; }

 private:
  TTrvAboutInfo fsAbout = TrvAbout;
};

// Turns a message kept as Windows-1252 bytes (the code page of the component messages) into
// the system's text.
std::string DecodeMessage(const Bytes& windows1252);

// True when bit `bit` (0 = least significant, 0..31) of value is 1; false above 31.
bool IsBitSet(int32_t value, uint8_t bit);

// Loads `library` and looks `function` up in it. False with a null entry when either is
// missing; the library, once loaded, stays loaded.
bool LoadOptionalFunction(const std::string& library, const std::string& function, void*& entry);

// The optional entries Inp32 and Out32 of inpout32.dll and BlockInput of user32; each null
// when missing. Nothing calls them; they are resolved on first use rather than while the
// library loads, where loading other libraries is unsafe (the loader lock is held).
struct OptionalFunctions {
  void* Inp32 = nullptr;
  void* Out32 = nullptr;
  void* BlockInput = nullptr;
};
const OptionalFunctions& ResolvedOptionalFunctions();

}  // namespace trv
