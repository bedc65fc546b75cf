#include "control/com/ComServer.h"

#include "control/com/ActiveFormControl.h"
#include "control/com/ComIdentifiers.h"
#include "control/com/PropertyPageObject.h"

namespace trv::com {

ComServer& ComServer::Instance() {
  static ComServer server;
  return server;
}

ComServer::ComServer()
    : pageFactory_(std::make_unique<ClassFactory>(kPropertyPageClsid, &PropertyPageObject::Create)),
      controlFactory_(
          std::make_unique<ClassFactory>(CLSID_FfrmActivexForm, &ActiveFormControl::Create)) {}

std::wstring ComServer::ModulePath() const {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(module_, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

ITypeLib* ComServer::TypeLib() {
  if (typeLib_ == nullptr) {
    // REGKIND_NONE: reading the description must not register it.
    LoadTypeLibEx(ModulePath().c_str(), REGKIND_NONE, &typeLib_);
  }
  return typeLib_;
}

HRESULT ComServer::TypeInfoOf(REFGUID guid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  ITypeLib* library = TypeLib();
  if (library == nullptr) return TYPE_E_CANTLOADLIBRARY;
  return library->GetTypeInfoOfGuid(guid, info);
}

ClassFactory* ComServer::FactoryOf(REFCLSID clsid) {
  for (ClassFactory* factory : {controlFactory_.get(), pageFactory_.get()}) {
    if (IsEqualCLSID(factory->Clsid(), clsid)) return factory;
  }
  return nullptr;
}

ServerRegistration ComServer::Registration() const {
  ServerRegistration server;
  server.modulePath = ModulePath();
  server.typeLibId = LIBID_Dornavel;
  server.typeLibMajor = 1;
  server.typeLibMinor = 0;

  FactoryRegistration control;
  control.clsid = CLSID_FfrmActivexForm;
  control.description = L"FfrmActivexForm Control";
  control.progId = kProgId;
  control.apartmentThreading = true;
  control.isControl = true;
  control.miscStatus = kControlMiscStatus | kFactoryMiscStatus;
  control.toolboxBitmap = 1;
  control.verbs = {{0, L"Properties"}};

  FactoryRegistration page;
  page.clsid = kPropertyPageClsid;
  page.description = L"TPropertyPage1 property page";

  server.factories = {control, page};
  return server;
}

}  // namespace trv::com
