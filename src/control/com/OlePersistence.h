#pragma once

#include <ocidl.h>
#include <ole2.h>
#include <windows.h>

#include "control/com/ControlTearOff.h"

namespace trv::com {

// IPersistStreamInit and IPersistPropertyBag: containers and web pages (<param> tags) initialise
// and save the control through them. The control keeps no state of its own beyond what the host
// sets through the automation interface, so there is nothing to load or save.
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
};

}  // namespace trv::com
