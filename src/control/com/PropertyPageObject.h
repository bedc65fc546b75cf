#pragma once

#include <ocidl.h>
#include <windows.h>

namespace trv::com {

// The property page TPropertyPage1: registered and creatable by its class identifier, but
// named by no control. Its page is empty; filling it from the objects and writing it back do
// nothing.
class PropertyPageObject final : public IPropertyPage {
 public:
  static HRESULT Create(REFIID riid, void** object);

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  STDMETHODIMP SetPageSite(IPropertyPageSite* site) override;
  STDMETHODIMP Activate(HWND parent, LPCRECT rectangle, BOOL modal) override;
  STDMETHODIMP Deactivate() override;
  STDMETHODIMP GetPageInfo(PROPPAGEINFO* info) override;
  STDMETHODIMP SetObjects(ULONG count, IUnknown** objects) override;
  STDMETHODIMP Show(UINT command) override;
  STDMETHODIMP Move(LPCRECT rectangle) override;
  STDMETHODIMP IsPageDirty() override;
  STDMETHODIMP Apply() override;
  STDMETHODIMP Help(LPCOLESTR helpDirectory) override;
  STDMETHODIMP TranslateAccelerator(MSG* message) override;

 private:
  PropertyPageObject();
  ~PropertyPageObject();

  volatile LONG references_ = 0;
  IPropertyPageSite* site_ = nullptr;
  HWND page_ = nullptr;
};

}  // namespace trv::com
