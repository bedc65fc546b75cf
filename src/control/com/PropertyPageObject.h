#pragma once

#include <ocidl.h>
#include <windows.h>
#include <wrl/client.h>

#include "control/com/ComObject.h"

namespace trv::com {

// The property page TPropertyPage1: registered and creatable by its class identifier, but
// named by no control. Its page is empty; filling it from the objects and writing it back do
// nothing.
class PropertyPageObject final : public ComObject<IPropertyPage> {
 public:
  static HRESULT Create(REFIID riid, void** object);

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
  ~PropertyPageObject() override;

  Microsoft::WRL::ComPtr<IPropertyPageSite> site_;
  HWND page_ = nullptr;
};

}  // namespace trv::com
