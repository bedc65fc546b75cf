// The library's five entry points. None lets an exception out.
#include <windows.h>

#include "control/com/ComServer.h"
#include "control/com/Registration.h"

using trv::com::ComServer;

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    DisableThreadLibraryCalls(instance);
    ComServer::Instance().SetModule(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  trv::com::ClassFactory* factory = ComServer::Instance().FactoryOf(clsid);
  if (factory == nullptr) return CLASS_E_CLASSNOTAVAILABLE;
  return factory->QueryInterface(riid, object);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return ComServer::Instance().CanUnload() ? S_OK : S_FALSE;
}

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  try {
    ComServer& server = ComServer::Instance();
    return trv::com::RegisterServer(server.Registration(), server.PerUser());
  } catch (...) {
    return E_FAIL;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  try {
    ComServer& server = ComServer::Instance();
    return trv::com::UnregisterServer(server.Registration(), server.PerUser());
  } catch (...) {
    return E_FAIL;
  }
}

extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine) {
  try {
    return trv::com::InstallServer(ComServer::Instance().Registration(), install, commandLine);
  } catch (...) {
    return E_FAIL;
  }
}
