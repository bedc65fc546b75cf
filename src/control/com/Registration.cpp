#include "control/com/Registration.h"

#include <objbase.h>

#include <string>

#include "control/com/RegistryWriter.h"
#include "control/com/TypeLibraryRegistration.h"
#include "platform/Exception.h"

namespace trv::com {

namespace {

const std::wstring kServerKey = L"InprocServer32";

// A GUID in its braced, upper-case text form: {D90FD6E7-3160-443F-96BB-9BFA60315182}.
std::wstring GuidText(const GUID& guid) {
  wchar_t text[40] = {};
  StringFromGUID2(guid, text, 40);
  return text;
}

std::wstring ClassKey(const FactoryRegistration& factory) {
  return L"CLSID\\" + GuidText(factory.clsid);
}

// The file name InprocServer32 names: the long one, or its short (8.3) form when the long one
// contains a blank. A file without a short form keeps its long name.
std::wstring ServerFileName(const std::wstring& modulePath) {
  if (modulePath.find(L' ') == std::wstring::npos) return modulePath;
  const DWORD length = GetShortPathNameW(modulePath.c_str(), nullptr, 0);
  if (length == 0) return modulePath;
  std::wstring shortPath(length, L'\0');
  const DWORD written = GetShortPathNameW(modulePath.c_str(), shortPath.data(), length);
  if (written == 0 || written >= length) return modulePath;
  shortPath.resize(written);
  return shortPath;
}

void WriteClassEntries(const RegistryWriter& writer, const FactoryRegistration& factory,
                       const std::wstring& serverFile) {
  const std::wstring classKey = ClassKey(factory);
  writer.SetDefault(classKey, factory.description);
  writer.SetDefault(classKey + L"\\" + kServerKey, serverFile);
  if (factory.apartmentThreading) {
    writer.SetValue(classKey + L"\\" + kServerKey, L"ThreadingModel", L"Apartment");
  }
}

void WriteProgIdEntries(const RegistryWriter& writer, const FactoryRegistration& factory) {
  if (factory.progId.empty()) return;
  writer.SetDefault(factory.progId, factory.description);
  writer.SetDefault(factory.progId + L"\\Clsid", GuidText(factory.clsid));
  writer.SetDefault(ClassKey(factory) + L"\\ProgID", factory.progId);
}

void WriteVerbs(const RegistryWriter& writer, const FactoryRegistration& factory) {
  const std::wstring verbKey = ClassKey(factory) + L"\\Verb";
  writer.SetDefault(verbKey, L"");
  for (const auto& [number, name] : factory.verbs) {
    writer.SetDefault(verbKey + L"\\" + std::to_wstring(number), name + L",0,2");
  }
}

void WriteControlEntries(const RegistryWriter& writer, const ServerRegistration& server,
                         const FactoryRegistration& factory) {
  const std::wstring classKey = ClassKey(factory);
  writer.SetDefault(classKey + L"\\Version", std::to_wstring(server.typeLibMajor) + L"." +
                                                 std::to_wstring(server.typeLibMinor));
  writer.SetDefault(classKey + L"\\TypeLib", GuidText(server.typeLibId));
  writer.SetDefault(classKey + L"\\MiscStatus", L"0");
  writer.SetDefault(classKey + L"\\MiscStatus\\1", std::to_wstring(factory.miscStatus));
  writer.SetDefault(classKey + L"\\ToolboxBitmap32",
                    server.modulePath + L"," + std::to_wstring(factory.toolboxBitmap));
  writer.SetDefault(classKey + L"\\Control", L"");
  WriteVerbs(writer, factory);
}

void WriteFactory(const RegistryWriter& writer, const ServerRegistration& server,
                  const FactoryRegistration& factory) {
  WriteClassEntries(writer, factory, ServerFileName(server.modulePath));
  WriteProgIdEntries(writer, factory);
}

void DeleteControlEntries(const RegistryWriter& writer, const FactoryRegistration& factory) {
  const std::wstring classKey = ClassKey(factory);
  for (const auto& verb : factory.verbs) {
    writer.DeleteKey(classKey + L"\\Verb\\" + std::to_wstring(verb.first));
  }
  for (const wchar_t* sub : {L"Verb", L"Control", L"ToolboxBitmap32", L"MiscStatus\\1",
                             L"MiscStatus", L"TypeLib", L"Version"}) {
    writer.DeleteKey(classKey + L"\\" + sub);
  }
}

// keepProgId: the other bitness's library still has the class registered, and the ProgID keys,
// which both registry views share, are its too.
void DeleteFactory(const RegistryWriter& writer, const FactoryRegistration& factory,
                   bool keepProgId) {
  const std::wstring classKey = ClassKey(factory);
  if (factory.isControl) DeleteControlEntries(writer, factory);
  if (!factory.progId.empty()) writer.DeleteKey(classKey + L"\\ProgID");
  if (!factory.progId.empty() && !keepProgId) {
    writer.DeleteKey(factory.progId + L"\\Clsid");
    writer.DeleteKey(factory.progId);
  }
  writer.DeleteKey(classKey + L"\\" + kServerKey);
  writer.DeleteKey(classKey);
}

void Register(const ServerRegistration& server, bool perUser) {
  if (!RegisterTypeLibrary(server.modulePath, perUser)) {
    throw Exception("Error registering type library");
  }
  const RegistryWriter writer(perUser);
  for (const FactoryRegistration& factory : server.factories) WriteFactory(writer, server, factory);
  for (const FactoryRegistration& factory : server.factories) {
    if (factory.isControl) WriteControlEntries(writer, server, factory);
  }
}

// Deletes the Interface entries that the type library's registration wrote for the interfaces
// of the module's type library; an entry that names another type library is left alone.
void DeleteInterfaceEntries(const RegistryWriter& writer, const ServerRegistration& server) {
  const std::wstring libId = GuidText(server.typeLibId);
  for (const GUID& iid : TypeLibraryInterfaces(server.modulePath)) {
    const std::wstring key = L"Interface\\" + GuidText(iid);
    if (writer.DefaultValue(key + L"\\TypeLib") != libId) continue;
    for (const wchar_t* sub : {L"ProxyStubClsid", L"ProxyStubClsid32", L"TypeLib"}) {
      writer.DeleteKey(key + L"\\" + sub);
    }
    writer.DeleteKey(key);
  }
}

// Whether the library of the other bitness still has the control registered in its registry
// view: then the keys both views share (the ProgID, the type library's other platform and, on
// some systems, its interfaces) are still in use. Where a system keeps the key in one place for
// both views, the other view shows this library's own entry, which does not count.
bool OtherBitnessKeepsTheClass(const ServerRegistration& server, bool perUser) {
  const REGSAM otherView = RegistryWriter::OtherView();
  if (otherView == 0 || server.factories.empty()) return false;
  const std::wstring serverKey = ClassKey(server.factories.front()) + L"\\" + kServerKey;
  const std::wstring theirs = RegistryWriter(perUser, otherView).DefaultValue(serverKey);
  return !theirs.empty() && theirs != RegistryWriter(perUser).DefaultValue(serverKey);
}

void Unregister(const ServerRegistration& server, bool perUser) {
  const RegistryWriter writer(perUser);
  const bool shared = OtherBitnessKeepsTheClass(server, perUser);
  if (shared) {
    // Only this platform's entry of the type library goes: the system's unregistration would
    // also take the interface entries that the other library still needs.
    writer.DeleteKey(TypeLibraryPlatformKey(GuidText(server.typeLibId), server.typeLibMajor,
                                            server.typeLibMinor));
  } else {
    UnregisterTypeLibrary(server.typeLibId, server.typeLibMajor, server.typeLibMinor, perUser);
    // The last library out also takes the interface entries that the other one, unregistered
    // before it, left in its view.
    if (const REGSAM otherView = RegistryWriter::OtherView(); otherView != 0) {
      DeleteInterfaceEntries(RegistryWriter(perUser, otherView), server);
    }
  }
  for (const FactoryRegistration& factory : server.factories) {
    DeleteFactory(writer, factory, shared);
  }
  // Registration created the per-user folders when the user had none; empty, they go again.
  if (perUser) {
    for (const wchar_t* folder : {L"CLSID", L"Interface", L"TypeLib"})
      writer.DeleteKeyIfEmpty(folder);
  }
}

// Runs one step at the COM boundary: S_OK, or E_FAIL for whatever it raised.
template <typename Step>
HRESULT Guarded(Step&& step) noexcept {
  try {
    step();
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

bool IsUserCommand(const wchar_t* commandLine) {
  return commandLine != nullptr &&
         CompareStringOrdinal(commandLine, -1, L"user", -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

HRESULT RegisterServer(const ServerRegistration& server, bool perUser) {
  return Guarded([&] { Register(server, perUser); });
}

HRESULT UnregisterServer(const ServerRegistration& server, bool perUser) {
  return Guarded([&] { Unregister(server, perUser); });
}

HRESULT InstallServer(const ServerRegistration& server, BOOL install, const wchar_t* commandLine) {
  const bool perUser = IsUserCommand(commandLine);
  if (!install) return UnregisterServer(server, perUser);
  const HRESULT result = RegisterServer(server, perUser);
  if (result != E_FAIL) return result;
  UnregisterServer(server, perUser);
  return E_FAIL;
}

}  // namespace trv::com
