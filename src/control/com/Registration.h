#pragma once

#include <windows.h>

#include "control/com/ServerRegistration.h"

namespace trv::com {

// The registry side of the library's self-registration exports. None of them lets an exception
// out: a failure comes back as E_FAIL.

// Registers the type library held by the module file, then writes every factory's entries (the
// control's first) and the control's extra keys, machine-wide (HKEY_CLASSES_ROOT) or per user
// (HKEY_CURRENT_USER\Software\Classes). E_FAIL when the type library cannot be registered (no key
// is written then) or when a key or value cannot be written (what was written stays).
HRESULT RegisterServer(const ServerRegistration& server, bool perUser);

// Unregisters the type library, then deletes every factory's keys, deepest first, ignoring keys
// that are missing or cannot be deleted.
HRESULT UnregisterServer(const ServerRegistration& server, bool perUser);

// DllInstall: per user exactly when the command line is "user" in any case. Installing registers
// and, when that fails, unregisters what was written and answers E_FAIL; uninstalling
// unregisters.
HRESULT InstallServer(const ServerRegistration& server, BOOL install, const wchar_t* commandLine);

}  // namespace trv::com
