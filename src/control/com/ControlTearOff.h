#pragma once

#include <windows.h>

#include <unknwn.h>

namespace trv::com {

class ActiveFormControl;

// The control's own IUnknown, for the parts below that answer for it.
IUnknown* ControlIdentity(ActiveFormControl& control);

// A part of the control that implements some of its interfaces in an object of its own while
// sharing the control's identity: its IUnknown is the control's, so a container that asks any of
// these interfaces for another one reaches the control, and the part lives as long as it does.
template <typename... Interfaces>
class ControlTearOff : public Interfaces... {
 public:
  explicit ControlTearOff(ActiveFormControl& control) : control_(control) {}
  ControlTearOff(const ControlTearOff&) = delete;
  ControlTearOff& operator=(const ControlTearOff&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    return ControlIdentity(control_)->QueryInterface(riid, object);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ControlIdentity(control_)->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return ControlIdentity(control_)->Release(); }

 protected:
  // Hands out the interface pointer (AddRef'ed through the control) for a part's Find.
  template <typename Interface>
  bool Give(void** object) {
    *object = static_cast<Interface*>(this);
    AddRef();
    return true;
  }

  ActiveFormControl& control_;
};

}  // namespace trv::com
