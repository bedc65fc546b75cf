#pragma once

#include <windows.h>

#include <string>

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

}  // namespace trv::com
