#pragma once

#include <ocidl.h>
#include <windows.h>

namespace trv::com {

class ActiveFormControl;

// The connection point of the control's events: one host sink at a time, handed to the form
// as its event sink. A separate object, because IConnectionPoint::Unadvise and
// IOleObject::Unadvise cannot share one class.
class EventConnectionPoint final : public IConnectionPoint {
 public:
  explicit EventConnectionPoint(ActiveFormControl& control);
  // The control is going: forget it and the sink.
  void Detach();

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

 private:
  ~EventConnectionPoint();

  static constexpr DWORD kCookie = 1;
  volatile LONG references_ = 1;
  ActiveFormControl* control_;
  IDispatch* sink_ = nullptr;
};

}  // namespace trv::com
