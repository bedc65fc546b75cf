#include "control/com/PropertyPageObject.h"

#include "control/com/ComServer.h"

namespace trv::com {
namespace {

// The page's client area: 633 x 293 pixels as designed at 120 pixels per inch.
SIZE PageSize() {
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return {MulDiv(633, dpi, 120), MulDiv(293, dpi, 120)};
}

LPOLESTR CoText(const wchar_t* text) {
  const size_t bytes = (wcslen(text) + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
  if (copy != nullptr) memcpy(copy, text, bytes);
  return copy;
}

}  // namespace

HRESULT PropertyPageObject::Create(REFIID riid, void** object) {
  const Microsoft::WRL::ComPtr<PropertyPageObject> page = new PropertyPageObject();
  return page->QueryInterface(riid, object);
}

PropertyPageObject::PropertyPageObject() {
  ComServer::Instance().ObjectCreated();
}

PropertyPageObject::~PropertyPageObject() {
  Deactivate();
  ComServer::Instance().ObjectDestroyed();
}

STDMETHODIMP PropertyPageObject::SetPageSite(IPropertyPageSite* site) {
  site_ = site;
  return S_OK;
}

STDMETHODIMP PropertyPageObject::Activate(HWND parent, LPCRECT rectangle, BOOL) {
  if (page_ != nullptr) return E_UNEXPECTED;
  const SIZE size = PageSize();
  const int x = rectangle != nullptr ? rectangle->left : 0;
  const int y = rectangle != nullptr ? rectangle->top : 0;
  page_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD, x, y, size.cx, size.cy,
                          parent, nullptr, ComServer::Instance().Module(), nullptr);
  return page_ != nullptr ? S_OK : E_FAIL;
}

STDMETHODIMP PropertyPageObject::Deactivate() {
  if (page_ != nullptr) DestroyWindow(page_);
  page_ = nullptr;
  return S_OK;
}

STDMETHODIMP PropertyPageObject::GetPageInfo(PROPPAGEINFO* info) {
  if (info == nullptr) return E_POINTER;
  *info = {};
  info->cb = sizeof *info;
  info->pszTitle = CoText(L"PropertyPage1");
  info->size = PageSize();
  return S_OK;
}

STDMETHODIMP PropertyPageObject::SetObjects(ULONG, IUnknown**) {
  return S_OK;
}

STDMETHODIMP PropertyPageObject::Show(UINT command) {
  if (page_ != nullptr) ShowWindow(page_, static_cast<int>(command));
  return S_OK;
}

STDMETHODIMP PropertyPageObject::Move(LPCRECT rectangle) {
  if (page_ == nullptr || rectangle == nullptr) return S_OK;
  MoveWindow(page_, rectangle->left, rectangle->top, rectangle->right - rectangle->left,
             rectangle->bottom - rectangle->top, TRUE);
  return S_OK;
}

STDMETHODIMP PropertyPageObject::IsPageDirty() {
  return S_FALSE;
}

STDMETHODIMP PropertyPageObject::Apply() {
  return S_OK;
}

STDMETHODIMP PropertyPageObject::Help(LPCOLESTR) {
  return E_NOTIMPL;
}

STDMETHODIMP PropertyPageObject::TranslateAccelerator(MSG*) {
  return S_FALSE;
}

}  // namespace trv::com
