#include "control/com/OlePersistence.h"

#include "control/com/ActiveFormControl.h"

namespace trv::com {

bool OlePersistence::Find(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit)) {
    return Give<IPersistStreamInit>(object);
  }
  if (IsEqualIID(riid, IID_IPersistPropertyBag)) return Give<IPersistPropertyBag>(object);
  return false;
}

STDMETHODIMP OlePersistence::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_FfrmActivexForm;
  return S_OK;
}

STDMETHODIMP OlePersistence::InitNew() {
  return S_OK;
}

STDMETHODIMP OlePersistence::IsDirty() {
  return S_FALSE;
}

STDMETHODIMP OlePersistence::Load(LPSTREAM) {
  return S_OK;
}

STDMETHODIMP OlePersistence::Save(LPSTREAM, BOOL) {
  return S_OK;
}

STDMETHODIMP OlePersistence::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP OlePersistence::Load(IPropertyBag*, IErrorLog*) {
  return S_OK;
}

STDMETHODIMP OlePersistence::Save(IPropertyBag*, BOOL, BOOL) {
  return S_OK;
}

}  // namespace trv::com
