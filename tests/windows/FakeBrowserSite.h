#pragma once

#include <exdisp.h>
#include <ole2.h>
#include <servprov.h>
#include <windows.h>

#include <string>

namespace trv::test {

// A container's site on a web page, as a browser gives it: a client site whose service provider
// hands out the browser (SID_SWebBrowserApp), whose automation interface answers LocationURL
// with the page's address. Reference counted; made with new, freed by its last Release.
class FakeBrowserSite final : public IOleClientSite, public IServiceProvider, public IDispatch {
 public:
  explicit FakeBrowserSite(std::wstring location) : location_(std::move(location)) {}

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IOleClientSite)) {
      *object = static_cast<IOleClientSite*>(this);
    } else if (IsEqualIID(riid, IID_IServiceProvider)) {
      *object = static_cast<IServiceProvider*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  // IOleClientSite: nothing a control needs here.
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetContainer(IOleContainer** container) override {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }

  // IServiceProvider: the browser, as its automation interface.
  STDMETHODIMP QueryService(REFGUID service, REFIID riid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(service, IID_IWebBrowserApp) || !IsEqualIID(riid, IID_IDispatch)) {
      return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }

  // IDispatch: the browser's LocationURL property alone.
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (count != 1 || _wcsicmp(names[0], L"LocationURL") != 0) return DISP_E_UNKNOWNNAME;
    ids[0] = kLocationUrl;
    return S_OK;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                      UINT*) override {
    if (id != kLocationUrl || (flags & DISPATCH_PROPERTYGET) == 0 || result == nullptr) {
      return DISP_E_MEMBERNOTFOUND;
    }
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocString(location_.c_str());
    return S_OK;
  }

 private:
  static constexpr DISPID kLocationUrl = 211;
  ~FakeBrowserSite() = default;

  std::wstring location_;
  ULONG references_ = 1;
};

}  // namespace trv::test
