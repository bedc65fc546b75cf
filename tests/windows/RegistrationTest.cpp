// The control library's self-registration against the real registry (run under Wine, in the
// build's prefix): every entry of the machine-wide and the per-user registration, read back,
// their removal, the failures and DllInstall's cleanup after one. The "library" is a copy of this
// program, which carries the control's type library as its resource "TYPELIB" 1.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "control/com/Registration.h"
#include "control/com/ServerRegistration.h"

namespace trv::com {
namespace {

// {D90FD6E7-3160-443F-96BB-9BFA60315182}
constexpr CLSID kControlClsid = {
    0xD90FD6E7, 0x3160, 0x443F, {0x96, 0xBB, 0x9B, 0xFA, 0x60, 0x31, 0x51, 0x82}};
// {DB9EADCA-5A65-4D64-A19A-EA6058938812}
constexpr CLSID kPageClsid = {
    0xDB9EADCA, 0x5A65, 0x4D64, {0xA1, 0x9A, 0xEA, 0x60, 0x58, 0x93, 0x88, 0x12}};
// {FC6885CE-FC90-49F3-8CAA-06D212E5E357}
constexpr GUID kTypeLibId = {
    0xFC6885CE, 0xFC90, 0x49F3, {0x8C, 0xAA, 0x06, 0xD2, 0x12, 0xE5, 0xE3, 0x57}};

const std::wstring kControlKey = L"CLSID\\{D90FD6E7-3160-443F-96BB-9BFA60315182}";
const std::wstring kPageKey = L"CLSID\\{DB9EADCA-5A65-4D64-A19A-EA6058938812}";
const std::wstring kProgId = L"Dornavel.FfrmActivexForm";
const std::wstring kTypeLibKey = L"TypeLib\\{FC6885CE-FC90-49F3-8CAA-06D212E5E357}\\1.0";
// A type library is registered under the platform it was built for.
#ifdef _WIN64
const std::wstring kTypeLibPlatform = L"\\0\\win64";
#else
const std::wstring kTypeLibPlatform = L"\\0\\win32";
#endif
const std::wstring kUserClasses = L"Software\\Classes\\";
const std::wstring kMachineClasses = L"Software\\Classes\\";
const std::wstring kMissing = L"<missing>";

FactoryRegistration ControlFactory() {
  FactoryRegistration control;
  control.clsid = kControlClsid;
  control.description = L"FfrmActivexForm Control";
  control.progId = kProgId;
  control.apartmentThreading = true;
  control.isControl = true;
  control.miscStatus = 0x32191;
  control.toolboxBitmap = 1;
  control.verbs = {{0, L"Properties"}};
  return control;
}

FactoryRegistration PageFactory() {
  FactoryRegistration page;
  page.clsid = kPageClsid;
  page.description = L"TPropertyPage1 property page";
  return page;
}

ServerRegistration ServerAt(const std::wstring& modulePath) {
  ServerRegistration server;
  server.modulePath = modulePath;
  server.typeLibId = kTypeLibId;
  server.typeLibMajor = 1;
  server.typeLibMinor = 0;
  server.factories = {ControlFactory(), PageFactory()};
  return server;
}

// A string value (empty name: the default value), or kMissing when the key or value is absent.
std::wstring ReadString(HKEY root, const std::wstring& key, const wchar_t* name = nullptr) {
  wchar_t data[1024] = {};
  DWORD size = sizeof(data);
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) {
    return kMissing;
  }
  return data;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

std::wstring ProgramPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

std::wstring TempFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  return std::wstring(temp) + name;
}

std::wstring FolderOf(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\'));
}

// A copy of this program named Travinel.ocx in a folder of its own under the temporary folder.
std::wstring PlaceModule(const std::wstring& folderName) {
  const std::wstring folder = TempFolder(folderName);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + L"\\Travinel.ocx";
  if (!CopyFileW(ProgramPath().c_str(), path.c_str(), FALSE)) return std::wstring();
  return path;
}

void RemoveModule(const std::wstring& path) {
  DeleteFileW(path.c_str());
  RemoveDirectoryW(FolderOf(path).c_str());
}

std::wstring ShortNameOf(const std::wstring& path) {
  wchar_t shortPath[MAX_PATH] = {};
  GetShortPathNameW(path.c_str(), shortPath, MAX_PATH);
  return shortPath;
}

std::wstring LongNameOf(const std::wstring& path) {
  wchar_t longPath[MAX_PATH] = {};
  GetLongPathNameW(path.c_str(), longPath, MAX_PATH);
  return longPath;
}

bool SameFileName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    modulePath_ = PlaceModule(L"trv-registration");
    ASSERT_FALSE(modulePath_.empty()) << "could not copy the test program";
    server_ = ServerAt(modulePath_);
    RemoveEverything();
  }

  void TearDown() override {
    RemoveEverything();
    RemoveModule(modulePath_);
  }

  void RemoveEverything() {
    UnregisterServer(server_, false);
    UnregisterServer(server_, true);
  }

  // Checks every entry of the control's and the page's registration below the root and prefix.
  void ExpectEveryEntry(HKEY root, const std::wstring& prefix, const std::wstring& serverFile) {
    ExpectControlEntries(root, prefix + kControlKey, serverFile);
    ExpectProgIdEntries(root, prefix);
    ExpectPageEntries(root, prefix + kPageKey, serverFile);
  }

  void ExpectControlEntries(HKEY root, const std::wstring& k, const std::wstring& serverFile) {
    EXPECT_EQ(ReadString(root, k), L"FfrmActivexForm Control");
    EXPECT_EQ(ReadString(root, k + L"\\InprocServer32"), serverFile);
    EXPECT_EQ(ReadString(root, k + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(ReadString(root, k + L"\\ProgID"), kProgId);
    EXPECT_EQ(ReadString(root, k + L"\\Version"), L"1.0");
    EXPECT_EQ(ReadString(root, k + L"\\TypeLib"), L"{FC6885CE-FC90-49F3-8CAA-06D212E5E357}");
    EXPECT_EQ(ReadString(root, k + L"\\MiscStatus"), L"0");
    EXPECT_EQ(ReadString(root, k + L"\\MiscStatus\\1"), L"205201");
    EXPECT_EQ(ReadString(root, k + L"\\ToolboxBitmap32"), modulePath_ + L",1");
    EXPECT_EQ(ReadString(root, k + L"\\Control"), L"");
    EXPECT_EQ(ReadString(root, k + L"\\Verb"), L"");
    EXPECT_EQ(ReadString(root, k + L"\\Verb\\0"), L"Properties,0,2");
  }

  void ExpectProgIdEntries(HKEY root, const std::wstring& prefix) {
    EXPECT_EQ(ReadString(root, prefix + kProgId), L"FfrmActivexForm Control");
    EXPECT_EQ(ReadString(root, prefix + kProgId + L"\\Clsid"),
              L"{D90FD6E7-3160-443F-96BB-9BFA60315182}");
  }

  void ExpectPageEntries(HKEY root, const std::wstring& k, const std::wstring& serverFile) {
    EXPECT_EQ(ReadString(root, k), L"TPropertyPage1 property page");
    EXPECT_EQ(ReadString(root, k + L"\\InprocServer32"), serverFile);
    EXPECT_EQ(ReadString(root, k + L"\\InprocServer32", L"ThreadingModel"), kMissing);
    EXPECT_FALSE(KeyExists(root, k + L"\\ProgID"));
    EXPECT_FALSE(KeyExists(root, k + L"\\Control"));
  }

  void ExpectNoEntry(HKEY root, const std::wstring& prefix) {
    EXPECT_FALSE(KeyExists(root, prefix + kControlKey));
    EXPECT_FALSE(KeyExists(root, prefix + kPageKey));
    EXPECT_FALSE(KeyExists(root, prefix + kProgId));
  }

  void ExpectTypeLibRegistered() {
    EXPECT_TRUE(
        SameFileName(ReadString(HKEY_CLASSES_ROOT, kTypeLibKey + kTypeLibPlatform), modulePath_));
    EXPECT_TRUE(SameFileName(ReadString(HKEY_CLASSES_ROOT, kTypeLibKey + L"\\HELPDIR"),
                             FolderOf(modulePath_)));
  }

  // A ProgID longer than a registry key name may be: its key cannot be created.
  ServerRegistration ServerWithUnwritableProgId() const {
    ServerRegistration server = server_;
    server.factories[0].progId = L"Dornavel." + std::wstring(300, L'X');
    return server;
  }

  std::wstring modulePath_;
  ServerRegistration server_;
};

TEST_F(RegistrationTest, MachineWideRegistrationWritesEveryEntry) {
  ASSERT_EQ(RegisterServer(server_, false), S_OK);
  ExpectEveryEntry(HKEY_CLASSES_ROOT, L"", modulePath_);
  ExpectTypeLibRegistered();
  ExpectNoEntry(HKEY_CURRENT_USER, kUserClasses);
}

TEST_F(RegistrationTest, MachineWideUnregistrationRemovesEveryEntry) {
  ASSERT_EQ(RegisterServer(server_, false), S_OK);
  EXPECT_EQ(UnregisterServer(server_, false), S_OK);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
}

TEST_F(RegistrationTest, RegisteringTwiceOverwritesTheSameEntries) {
  ASSERT_EQ(RegisterServer(server_, false), S_OK);
  ASSERT_EQ(RegisterServer(server_, false), S_OK);
  ExpectEveryEntry(HKEY_CLASSES_ROOT, L"", modulePath_);
  EXPECT_EQ(UnregisterServer(server_, false), S_OK);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
}

TEST_F(RegistrationTest, UnregisteringWhatWasNeverRegisteredSucceeds) {
  EXPECT_EQ(UnregisterServer(server_, false), S_OK);
  EXPECT_EQ(UnregisterServer(server_, true), S_OK);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
}

TEST_F(RegistrationTest, PerUserRegistrationWritesUnderCurrentUserClasses) {
  ASSERT_EQ(RegisterServer(server_, true), S_OK);
  ExpectEveryEntry(HKEY_CURRENT_USER, kUserClasses, modulePath_);
  ExpectNoEntry(HKEY_LOCAL_MACHINE, kMachineClasses);
}

TEST_F(RegistrationTest, PerUserUnregistrationRemovesTheUserEntries) {
  ASSERT_EQ(RegisterServer(server_, true), S_OK);
  EXPECT_EQ(UnregisterServer(server_, true), S_OK);
  ExpectNoEntry(HKEY_CURRENT_USER, kUserClasses);
}

TEST_F(RegistrationTest, FolderWithBlankGivesShortServerNameAndLongBitmapName) {
  const std::wstring blankPath = PlaceModule(L"trv registration blank");
  ASSERT_FALSE(blankPath.empty());
  const std::wstring shortPath = ShortNameOf(blankPath);
  ASSERT_EQ(shortPath.find(L' '), std::wstring::npos) << "no short form for the blank folder";
  EXPECT_TRUE(SameFileName(LongNameOf(shortPath), blankPath));

  const ServerRegistration server = ServerAt(blankPath);
  ASSERT_EQ(RegisterServer(server, false), S_OK);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kControlKey + L"\\InprocServer32"), shortPath);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kPageKey + L"\\InprocServer32"), shortPath);
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kControlKey + L"\\ToolboxBitmap32"), blankPath + L",1");
  EXPECT_EQ(UnregisterServer(server, false), S_OK);
  RemoveModule(blankPath);
}

TEST_F(RegistrationTest, TypeLibraryThatCannotBeLoadedFailsBeforeAnyKey) {
  const std::wstring folder = FolderOf(modulePath_);
  const std::wstring notALibrary = folder + L"\\NotALibrary.ocx";
  HANDLE file = CreateFileW(notALibrary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(file, "not a library", 13, &written, nullptr);
  CloseHandle(file);

  EXPECT_EQ(RegisterServer(ServerAt(notALibrary), false), E_FAIL);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
  DeleteFileW(notALibrary.c_str());
}

TEST_F(RegistrationTest, MissingLibraryFileFails) {
  EXPECT_EQ(RegisterServer(ServerAt(FolderOf(modulePath_) + L"\\Absent.ocx"), false), E_FAIL);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
}

TEST_F(RegistrationTest, FailingEntryFailsAndKeepsWhatWasWritten) {
  const ServerRegistration server = ServerWithUnwritableProgId();
  EXPECT_EQ(RegisterServer(server, false), E_FAIL);
  // The control's class key and server key came before the ProgID key; nothing after it.
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kControlKey), L"FfrmActivexForm Control");
  EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kControlKey + L"\\InprocServer32"), modulePath_);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kControlKey + L"\\ProgID"));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kPageKey));
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kControlKey + L"\\MiscStatus"));
  EXPECT_EQ(UnregisterServer(server, false), S_OK);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
}

TEST_F(RegistrationTest, InstallRemovesWhatAFailedRegistrationWrote) {
  const ServerRegistration server = ServerWithUnwritableProgId();
  EXPECT_EQ(InstallServer(server, TRUE, L""), E_FAIL);
  ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kTypeLibKey));
}

TEST_F(RegistrationTest, InstallPerUserRemovesWhatAFailedRegistrationWrote) {
  const ServerRegistration server = ServerWithUnwritableProgId();
  EXPECT_EQ(InstallServer(server, TRUE, L"user"), E_FAIL);
  ExpectNoEntry(HKEY_CURRENT_USER, kUserClasses);
}

TEST_F(RegistrationTest, InstallWithUserInAnyCaseRegistersPerUser) {
  for (const wchar_t* command : {L"user", L"USER", L"User"}) {
    SCOPED_TRACE(testing::Message() << "command line " << command);
    ASSERT_EQ(InstallServer(server_, TRUE, command), S_OK);
    ExpectEveryEntry(HKEY_CURRENT_USER, kUserClasses, modulePath_);
    ExpectNoEntry(HKEY_LOCAL_MACHINE, kMachineClasses);
    EXPECT_EQ(InstallServer(server_, FALSE, command), S_OK);
    ExpectNoEntry(HKEY_CURRENT_USER, kUserClasses);
  }
}

TEST_F(RegistrationTest, InstallWithAnyOtherCommandLineRegistersMachineWide) {
  for (const wchar_t* command : {L"", L"users", L"machine", static_cast<const wchar_t*>(nullptr)}) {
    ASSERT_EQ(InstallServer(server_, TRUE, command), S_OK);
    ExpectEveryEntry(HKEY_CLASSES_ROOT, L"", modulePath_);
    ExpectNoEntry(HKEY_CURRENT_USER, kUserClasses);
    EXPECT_EQ(InstallServer(server_, FALSE, command), S_OK);
    ExpectNoEntry(HKEY_CLASSES_ROOT, L"");
  }
}

}  // namespace
}  // namespace trv::com
