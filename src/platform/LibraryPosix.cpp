#include <dlfcn.h>

#include "platform/Library.h"

namespace trv::platform {

void* LoadLibraryByName(const std::string& name) {
  return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* FindLibraryFunction(void* library, const std::string& function) {
  return library != nullptr ? dlsym(library, function.c_str()) : nullptr;
}

}  // namespace trv::platform
