#include "control/com/OleSafety.h"

#include "control/com/ActiveFormControl.h"

namespace trv::com {
namespace {

// What the control promises to the browser of an allowed page: hosts script it and initialise it
// by design (setting the scale's properties and reading weights is all it offers).
constexpr DWORD kSafety = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

bool IsSafeInterface(REFIID riid) {
  return IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IFfrmActivexForm) ||
         IsEqualIID(riid, IID_IPersistPropertyBag) || IsEqualIID(riid, IID_IPersistStreamInit);
}

}  // namespace

bool OleSafety::Find(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IObjectSafety)) return Give<IObjectSafety>(object);
  return false;
}

STDMETHODIMP OleSafety::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported, DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  *supported = 0;
  *enabled = 0;
  if (!IsSafeInterface(riid)) return E_NOINTERFACE;
  if (!control_.Sites().SafeForPage()) return Refuse();
  *supported = kSafety;
  *enabled = kSafety;
  return S_OK;
}

STDMETHODIMP OleSafety::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD) {
  if (!IsSafeInterface(riid)) return E_NOINTERFACE;
  if (mask == 0) return S_OK;
  if (!control_.Sites().SafeForPage()) return Refuse();
  // Whatever the caller asks within what the control offers holds already.
  return (mask & ~kSafety) == 0 ? S_OK : E_FAIL;
}

HRESULT OleSafety::Refuse() {
  control_.Sites().NoteSafetyRefused();
  return E_FAIL;
}

}  // namespace trv::com
