#pragma once

#include <ole2.h>
#include <windows.h>

#include <string>

namespace trv::com {

// The control's site lock: it is safe for scripting and initialisation only on the web pages it
// was installed for (SitePolicy), and a page it refused gets nothing done on a serial port, even
// when its browser scripts the control anyway. A desktop program that never asks about safety
// and whose site is no web page is not concerned.
//
// The allowed sites come from the registry (read each time a site is set), in the view of the
// control's own bitness:
//   HKLM\SOFTWARE\Dornavel\Travinel  SitesPermitidos  REG_MULTI_SZ  one pattern a line
//   HKLM\SOFTWARE\Dornavel\Travinel  ZonasPermitidas  REG_DWORD     zones allowed besides:
//                                                    2 the local intranet, 4 trusted sites
class SiteLock {
 public:
  // The container's site (null when it leaves): finds the page's address through it, from the
  // browser's LocationURL or else the site's moniker, and decides.
  void SetSite(IOleClientSite* site);

  // Whether the control may declare itself safe; false also when no page address is known.
  bool SafeForPage() const { return allowed_; }
  // Called when a safety call was refused: the container is a browser that asks.
  void NoteSafetyRefused() { safetyRefused_ = true; }
  // Throws an Exception with "Site não autorizado a usar a balança: <address>" when the control
  // sits on a web page that is not allowed: its browser gave an address that is refused, or its
  // container asked about safety and was refused. (A desktop document's moniker alone refuses
  // nothing: such a host never asks about safety.)
  void CheckPortAccess() const;

  const std::wstring& PageAddress() const { return address_; }

 private:
  std::wstring address_;
  bool fromBrowser_ = false;  // the address is a web browser's LocationURL
  bool allowed_ = false;
  bool safetyRefused_ = false;
};

}  // namespace trv::com
