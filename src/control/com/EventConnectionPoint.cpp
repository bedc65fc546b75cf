#include "control/com/EventConnectionPoint.h"

#include <memory>

#include "control/com/ActiveFormControl.h"
#include "control/com/ComEnumerator.h"
#include "control/com/DispatchEventSink.h"

namespace trv::com {

EventConnectionPoint::EventConnectionPoint(ActiveFormControl& control) : control_(&control) {}

void EventConnectionPoint::Detach() {
  control_ = nullptr;
  sink_.Reset();
}

STDMETHODIMP EventConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) return E_POINTER;
  *iid = DIID_IFfrmActivexFormEvents;
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::GetConnectionPointContainer(
    IConnectionPointContainer** container) {
  if (container == nullptr) return E_POINTER;
  *container = nullptr;
  if (control_ == nullptr) return E_UNEXPECTED;
  return control_->QueryInterface(IID_IConnectionPointContainer,
                                  reinterpret_cast<void**>(container));
}

STDMETHODIMP EventConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  *cookie = 0;
  if (control_ == nullptr) return E_UNEXPECTED;
  if (sink_ != nullptr) return CONNECT_E_ADVISELIMIT;
  Microsoft::WRL::ComPtr<IDispatch> events;
  if (FAILED(sink->QueryInterface(DIID_IFfrmActivexFormEvents, &events))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  sink_ = events;
  *cookie = kCookie;
  try {
    ActiveFormControl* control = control_;
    control_->Form().EventSinkChanged(std::make_shared<DispatchEventSink>(
        sink_.Get(), [control] { return control->EventsFrozen(); }));
  } catch (...) {
    // The host's OnCreate failed; the connection stands, as it would after any event.
  }
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::Unadvise(DWORD cookie) {
  if (cookie != kCookie || sink_ == nullptr) return CONNECT_E_NOCONNECTION;
  sink_.Reset();
  if (control_ != nullptr) control_->Form().EventSinkChanged(nullptr);
  return S_OK;
}

STDMETHODIMP EventConnectionPoint::EnumConnections(IEnumConnections** connections) {
  const CONNECTDATA current = {sink_.Get(), kCookie};
  return ComEnumerator<ConnectionItems>::Create(&current, sink_ != nullptr ? 1 : 0, connections);
}

}  // namespace trv::com
