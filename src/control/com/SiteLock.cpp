#include "control/com/SiteLock.h"

#include <exdisp.h>
#include <servprov.h>
#include <shlguid.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <vector>

#include "control/SitePolicy.h"
#include "platform/Exception.h"
#include "platform/TextWin32.h"

namespace trv::com {
namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Dornavel\\Travinel";

// The browser's LocationURL, read through its automation interface (IWebBrowser2 is dual).
std::wstring BrowserLocation(IOleClientSite* site) {
  ComPtr<IServiceProvider> services;
  if (FAILED(site->QueryInterface(IID_IServiceProvider, &services))) return {};
  ComPtr<IDispatch> browser;
  if (FAILED(services->QueryService(SID_SWebBrowserApp, IID_IDispatch, &browser))) return {};
  LPOLESTR name = const_cast<LPOLESTR>(L"LocationURL");
  DISPID id = 0;
  if (FAILED(browser->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id))) return {};
  DISPPARAMS none = {};
  VARIANT value;
  VariantInit(&value);
  std::wstring location;
  if (SUCCEEDED(browser->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                &value, nullptr, nullptr)) &&
      value.vt == VT_BSTR && value.bstrVal != nullptr) {
    location.assign(value.bstrVal, SysStringLen(value.bstrVal));
  }
  VariantClear(&value);
  return location;
}

// The display name of the container's moniker: the document's address.
std::wstring MonikerLocation(IOleClientSite* site) {
  ComPtr<IMoniker> moniker;
  if (FAILED(site->GetMoniker(OLEGETMONIKER_ONLYIFTHERE, OLEWHICHMK_CONTAINER, &moniker)) ||
      moniker == nullptr) {
    return {};
  }
  ComPtr<IBindCtx> context;
  if (FAILED(CreateBindCtx(0, &context))) return {};
  LPOLESTR name = nullptr;
  if (FAILED(moniker->GetDisplayName(context.Get(), nullptr, &name)) || name == nullptr) {
    return {};
  }
  std::wstring location(name);
  CoTaskMemFree(name);
  return location;
}

std::vector<std::string> AllowedSites() {
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKey, L"SitesPermitidos", RRF_RT_REG_MULTI_SZ,
                   nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<wchar_t> data(bytes / sizeof(wchar_t) + 2, L'\0');
  bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKey, L"SitesPermitidos", RRF_RT_REG_MULTI_SZ,
                   nullptr, data.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  std::vector<std::string> sites;
  for (const wchar_t* line = data.data(); *line != L'\0'; line += wcslen(line) + 1) {
    sites.push_back(platform::WideToUtf8(line));
  }
  return sites;
}

DWORD AllowedZones() {
  DWORD zones = 0;
  DWORD bytes = sizeof zones;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSettingsKey, L"ZonasPermitidas", RRF_RT_REG_DWORD, nullptr,
                   &zones, &bytes) != ERROR_SUCCESS) {
    return 0;
  }
  // Only the intranet and the trusted sites may be added, never the Internet zone.
  return zones & ((1u << URLZONE_INTRANET) | (1u << URLZONE_TRUSTED));
}

bool InAllowedZone(const std::wstring& address) {
  const DWORD zones = AllowedZones();
  if (zones == 0) return false;
  ComPtr<IInternetSecurityManager> manager;
  if (FAILED(CoInternetCreateSecurityManager(nullptr, &manager, 0))) return false;
  DWORD zone = URLZONE_INVALID;
  if (FAILED(manager->MapUrlToZone(address.c_str(), &zone, 0))) return false;
  return zone < 32 && (zones & (1u << zone)) != 0;
}

}  // namespace

void SiteLock::SetSite(IOleClientSite* site) {
  address_.clear();
  fromBrowser_ = false;
  allowed_ = false;
  if (site == nullptr) return;
  // Called from the container's SetClientSite: nothing may escape, and a page whose address
  // cannot be judged is refused.
  try {
    address_ = BrowserLocation(site);
    fromBrowser_ = !address_.empty();
    if (address_.empty()) address_ = MonikerLocation(site);
    if (address_.empty()) return;
    allowed_ = SitePolicy(AllowedSites()).Allows(platform::WideToUtf8(address_)) ||
               InAllowedZone(address_);
  } catch (...) {
    allowed_ = false;
  }
}

void SiteLock::CheckPortAccess() const {
  if (allowed_ || !(fromBrowser_ || safetyRefused_)) return;
  throw Exception("Site não autorizado a usar a balança: " + platform::WideToUtf8(address_));
}

}  // namespace trv::com
