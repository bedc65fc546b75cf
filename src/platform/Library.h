#pragma once

#include <string>

namespace trv::platform {

// Loads a shared library by name through the platform's loader (LoadLibraryW, dlopen); null
// when it cannot be loaded. The library stays loaded for the life of the process.
void* LoadLibraryByName(const std::string& name);

// The address of an exported function of a loaded library; null when it has none by that name.
void* FindLibraryFunction(void* library, const std::string& function);

// The module that holds this code: the program itself, or the library (the control's DLL) that
// it was linked into. Windows only (an HMODULE); window classes and windows are registered for it.
void* ThisModule();

}  // namespace trv::platform
