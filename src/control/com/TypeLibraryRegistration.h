#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace trv::com {

// Registers the type library held by the module file (resource "TYPELIB" 1), loaded without
// registering it: per user through RegisterTypeLibForUser when OLEAUT32.DLL exports it,
// otherwise through RegisterTypeLib, with the module's full file name and its folder as the help
// directory. False when the library cannot be loaded or registered.
bool RegisterTypeLibrary(const std::wstring& modulePath, bool perUser);

// Removes the registration of the type library (locale 0, 32-bit system): per user through
// UnRegisterTypeLibForUser, otherwise (or when that is missing) through UnRegisterTypeLib, both
// looked up in the loaded OLEAUT32.DLL; nothing happens when neither is found. The outcome is
// not reported: a library that was never registered is not an error.
void UnregisterTypeLibrary(const GUID& libId, WORD major, WORD minor, bool perUser);

// The registry key of the type library's entry for this library's platform (win32 or win64):
// TypeLib\{id}\major.minor\0\win64.
std::wstring TypeLibraryPlatformKey(const std::wstring& libIdText, WORD major, WORD minor);

// The identifiers of the interfaces and dispatch interfaces that the type library held by the
// module file describes, which its registration writes under Interface; empty when the library
// cannot be loaded.
std::vector<GUID> TypeLibraryInterfaces(const std::wstring& modulePath);

}  // namespace trv::com
