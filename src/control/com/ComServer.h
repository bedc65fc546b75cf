#pragma once

#include <oaidl.h>
#include <windows.h>

#include <memory>
#include <string>

#include "control/com/ClassFactory.h"
#include "control/com/ServerRegistration.h"

namespace trv::com {

// The library's one server object: its module, its type library (read from the library's own
// resource, never registered by loading), the count of live objects and of factory locks, the
// two class factories and the per-user registration flag.
class ComServer {
 public:
  static ComServer& Instance();

  void SetModule(HMODULE module) { module_ = module; }
  HMODULE Module() const { return module_; }
  std::wstring ModulePath() const;

  void ObjectCreated() { InterlockedIncrement(&objects_); }
  void ObjectDestroyed() { InterlockedDecrement(&objects_); }
  void Lock(bool lock) { lock ? InterlockedIncrement(&locks_) : InterlockedDecrement(&locks_); }
  bool CanUnload() const { return objects_ <= 0 && locks_ <= 0; }

  // The type library, loaded on first use; null when it cannot be loaded.
  ITypeLib* TypeLib();
  // The type description of an interface or class of the type library (AddRef'ed).
  HRESULT TypeInfoOf(REFGUID guid, ITypeInfo** info);

  // The factory of a class identifier; null for a class this library does not serve.
  ClassFactory* FactoryOf(REFCLSID clsid);

  ServerRegistration Registration() const;
  // Whether DllRegisterServer registers for the current user: always false in this library,
  // which registers per user only through DllInstall's "user" command line.
  bool PerUser() const { return perUser_; }

 private:
  ComServer();

  HMODULE module_ = nullptr;
  volatile LONG objects_ = 0;
  volatile LONG locks_ = 0;
  ITypeLib* typeLib_ = nullptr;
  bool perUser_ = false;
  // Created when the library loads, the property page's first; walked the control's first.
  std::unique_ptr<ClassFactory> pageFactory_;
  std::unique_ptr<ClassFactory> controlFactory_;
};

}  // namespace trv::com
