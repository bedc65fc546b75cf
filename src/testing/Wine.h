#pragma once

#include "platform/Library.h"

namespace trv::platform {

// True when this Windows program runs under Wine (whose ntdll exports wine_get_version). Tests
// use it to skip what Wine does not do, such as refusing a second open of a COM port.
inline bool RunningUnderWine() {
  return FindLibraryFunction(LoadLibraryByName("ntdll.dll"), "wine_get_version") != nullptr;
}

}  // namespace trv::platform
