#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace trv::com {

// What the registry must say about one class factory of the library.
struct FactoryRegistration {
  CLSID clsid;
  std::wstring description;
  std::wstring progId;              // empty: the class has no ProgID
  bool apartmentThreading = false;  // false: single-threaded, no ThreadingModel value
  bool isControl = false;           // writes the ActiveX control's extra keys
  unsigned long miscStatus = 0;
  int toolboxBitmap = 0;
  std::vector<std::pair<int, std::wstring>> verbs;  // number and name
};

// What the registry must say about the library: its file, its type library and its
// factories, the control's first.
struct ServerRegistration {
  std::wstring modulePath;  // the library's full (long) file name
  GUID typeLibId;
  unsigned short typeLibMajor = 1;
  unsigned short typeLibMinor = 0;
  std::vector<FactoryRegistration> factories;
};

}  // namespace trv::com
