#pragma once

#include <objsafe.h>
#include <windows.h>

#include "control/com/ControlTearOff.h"

namespace trv::com {

// IObjectSafety: what the control tells a web browser about scripting it and initialising it:
// safe on the pages its site lock allows (SiteLock), E_FAIL everywhere else.
class OleSafety final : public ControlTearOff<IObjectSafety> {
 public:
  explicit OleSafety(ActiveFormControl& control) : ControlTearOff(control) {}

  // The interface riid (AddRef'ed through the control), or false.
  bool Find(REFIID riid, void** object);

  STDMETHODIMP GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) override;
  STDMETHODIMP SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD enabled) override;

 private:
  // The answer for a page that is not allowed, noted by the site lock.
  HRESULT Refuse();
};

}  // namespace trv::com
