#pragma once

#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include "control/com/ComObject.h"

namespace trv::com {

class ActiveFormControl;

// The connection point of the control's events: one host sink at a time, handed to the form
// as its event sink. A separate object, because IConnectionPoint::Unadvise and
// IOleObject::Unadvise cannot share one class.
class EventConnectionPoint final : public ComObject<IConnectionPoint> {
 public:
  explicit EventConnectionPoint(ActiveFormControl& control);
  // The control is going: forget it and the sink.
  void Detach();

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

 private:
  ~EventConnectionPoint() override = default;

  static constexpr DWORD kCookie = 1;
  ActiveFormControl* control_;
  Microsoft::WRL::ComPtr<IDispatch> sink_;
};

}  // namespace trv::com
