#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include <array>
#include <cstdint>

#include "control/com/ControlTearOff.h"

namespace trv::com {

// IPersistStreamInit and IPersistPropertyBag: containers and web pages (<param> tags) initialise
// and save the control through them. What persists is the form's configuration: the port, the
// scale's model and line settings, its unit and decimals, and whether the scale is enabled,
// which is applied last, so that a page can enable the scale from its tags. Every value goes
// through the property's own setter, so the site lock holds for it as for a script.
//
// The stream holds "TRVF", a 16-bit version (1) and count, and the values as 32-bit
// little-endian integers in the order of the table in the source file.
class OlePersistence final : public ControlTearOff<IPersistStreamInit, IPersistPropertyBag> {
 public:
  explicit OlePersistence(ActiveFormControl& control) : ControlTearOff(control) {}

  // The interface riid (AddRef'ed through the control), or false.
  bool Find(REFIID riid, void** object);

  // IPersist, for both persistence interfaces
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  // IPersistStreamInit::InitNew and IPersistPropertyBag::InitNew alike
  STDMETHODIMP InitNew() override;

  // IPersistStreamInit
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

  // IPersistPropertyBag
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // The number of persisted properties.
  static constexpr size_t kCount = 10;
  using Values = std::array<int32_t, kCount>;

 private:
  // The control's current values, in the table's order.
  Values Current();
  // Sets every value through its property's setter, in the table's order; the first failure
  // ends it and is answered (its error information is set).
  HRESULT Apply(const Values& values, const std::array<bool, kCount>& present);

  // The values as last loaded, saved or initialised: IsDirty compares against them.
  Values clean_{};
  bool knowsClean_ = false;
};

}  // namespace trv::com
