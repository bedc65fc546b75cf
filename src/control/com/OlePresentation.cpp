#include "control/com/OlePresentation.h"

#include "control/com/ActiveFormControl.h"

namespace trv::com {
namespace {

// What the control promises to a web page's browser: hosts script it and initialise it by
// design (setting the scale's properties and reading weights is all it offers), so it is safe
// for untrusted callers and untrusted data.
constexpr DWORD kSafety = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

bool IsSafeInterface(REFIID riid) {
  return IsEqualIID(riid, IID_IDispatch) || IsEqualIID(riid, IID_IFfrmActivexForm) ||
         IsEqualIID(riid, IID_IPersistPropertyBag) || IsEqualIID(riid, IID_IPersistStreamInit);
}

}  // namespace

OlePresentation::OlePresentation(ActiveFormControl& control, const SIZEL& extent)
    : control_(control), extent_(extent) {}

OlePresentation::~OlePresentation() {
  if (viewSink_ != nullptr) viewSink_->Release();
}

bool OlePresentation::Find(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IViewObject) || IsEqualIID(riid, IID_IViewObject2)) {
    *object = static_cast<IViewObject2*>(this);
  } else if (IsEqualIID(riid, IID_IPersist) || IsEqualIID(riid, IID_IPersistStreamInit)) {
    *object = static_cast<IPersistStreamInit*>(this);
  } else if (IsEqualIID(riid, IID_IPersistPropertyBag)) {
    *object = static_cast<IPersistPropertyBag*>(this);
  } else if (IsEqualIID(riid, IID_IObjectSafety)) {
    *object = static_cast<IObjectSafety*>(this);
  } else {
    return false;
  }
  AddRef();
  return true;
}

// ---- IUnknown: the control's ------------------------------------------------------------------

STDMETHODIMP OlePresentation::QueryInterface(REFIID riid, void** object) {
  return control_.Identity()->QueryInterface(riid, object);
}

STDMETHODIMP_(ULONG) OlePresentation::AddRef() {
  return control_.Identity()->AddRef();
}

STDMETHODIMP_(ULONG) OlePresentation::Release() {
  return control_.Identity()->Release();
}

// ---- IViewObject2 -----------------------------------------------------------------------------

STDMETHODIMP OlePresentation::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                   LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                   ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
  if (control_.Window().Handle() == nullptr) return E_UNEXPECTED;
  PaintWindow(dc, *bounds);
  return S_OK;
}

void OlePresentation::PaintWindow(HDC dc, const RECTL& bounds) {
  HWND window = control_.Window().Handle();
  RECT client = {};
  GetClientRect(window, &client);
  // The window prints itself and its controls into a bitmap of its size, which is then
  // stretched to the container's bounds.
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(memory),
               PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND);
  StretchBlt(dc, bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
             memory, 0, 0, client.right, client.bottom, SRCCOPY);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
}

STDMETHODIMP OlePresentation::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                          LOGPALETTE** colours) {
  if (colours != nullptr) *colours = nullptr;
  return S_FALSE;  // no particular palette
}

STDMETHODIMP OlePresentation::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze != nullptr) *freeze = 0;
  return E_NOTIMPL;
}

STDMETHODIMP OlePresentation::Unfreeze(DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP OlePresentation::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  if (sink != nullptr) sink->AddRef();
  if (viewSink_ != nullptr) viewSink_->Release();
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP OlePresentation::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewFlags_;
  if (sink != nullptr) {
    *sink = viewSink_;
    if (viewSink_ != nullptr) viewSink_->AddRef();
  }
  return S_OK;
}

STDMETHODIMP OlePresentation::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

// ---- Persistence: nothing to keep -------------------------------------------------------------

STDMETHODIMP OlePresentation::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) return E_POINTER;
  *clsid = CLSID_FfrmActivexForm;
  return S_OK;
}

STDMETHODIMP OlePresentation::InitNew() {
  return S_OK;
}

STDMETHODIMP OlePresentation::IsDirty() {
  return S_FALSE;
}

STDMETHODIMP OlePresentation::Load(LPSTREAM) {
  return S_OK;
}

STDMETHODIMP OlePresentation::Save(LPSTREAM, BOOL) {
  return S_OK;
}

STDMETHODIMP OlePresentation::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) return E_POINTER;
  size->QuadPart = 0;
  return S_OK;
}

STDMETHODIMP OlePresentation::Load(IPropertyBag*, IErrorLog*) {
  return S_OK;
}

STDMETHODIMP OlePresentation::Save(IPropertyBag*, BOOL, BOOL) {
  return S_OK;
}

// ---- IObjectSafety ----------------------------------------------------------------------------

STDMETHODIMP OlePresentation::GetInterfaceSafetyOptions(REFIID riid, DWORD* supported,
                                                        DWORD* enabled) {
  if (supported == nullptr || enabled == nullptr) return E_POINTER;
  *supported = 0;
  *enabled = 0;
  if (!IsSafeInterface(riid)) return E_NOINTERFACE;
  *supported = kSafety;
  *enabled = kSafety;
  return S_OK;
}

STDMETHODIMP OlePresentation::SetInterfaceSafetyOptions(REFIID riid, DWORD mask, DWORD) {
  if (!IsSafeInterface(riid)) return E_NOINTERFACE;
  // Whatever the caller asks within what the control offers holds already.
  return (mask & ~kSafety) == 0 ? S_OK : E_FAIL;
}

}  // namespace trv::com
