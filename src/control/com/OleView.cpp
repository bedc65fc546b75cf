#include "control/com/OleView.h"

#include "control/com/ActiveFormControl.h"

namespace trv::com {

OleView::OleView(ActiveFormControl& control, const SIZEL& extent)
    : ControlTearOff(control), extent_(extent) {}

bool OleView::Find(REFIID riid, void** object) {
  if (IsEqualIID(riid, IID_IViewObject) || IsEqualIID(riid, IID_IViewObject2)) {
    return Give<IViewObject2>(object);
  }
  return false;
}

STDMETHODIMP OleView::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                           LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (dc == nullptr || bounds == nullptr) return E_INVALIDARG;
  if (control_.Window().Handle() == nullptr) return E_UNEXPECTED;
  PaintWindow(dc, *bounds);
  return S_OK;
}

void OleView::PaintWindow(HDC dc, const RECTL& bounds) {
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

STDMETHODIMP OleView::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colours) {
  if (colours != nullptr) *colours = nullptr;
  return S_FALSE;  // no particular palette
}

STDMETHODIMP OleView::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze != nullptr) *freeze = 0;
  return E_NOTIMPL;
}

STDMETHODIMP OleView::Unfreeze(DWORD) {
  return E_NOTIMPL;
}

STDMETHODIMP OleView::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewSink_ = sink;
  viewAspects_ = aspects;
  viewFlags_ = flags;
  return S_OK;
}

STDMETHODIMP OleView::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects != nullptr) *aspects = viewAspects_;
  if (flags != nullptr) *flags = viewFlags_;
  if (sink != nullptr) viewSink_.CopyTo(sink);
  return S_OK;
}

STDMETHODIMP OleView::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  if (size == nullptr) return E_POINTER;
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = extent_;
  return S_OK;
}

}  // namespace trv::com
