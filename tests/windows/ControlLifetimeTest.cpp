// The control created, used and released many times by a host that loads Travinel.ocx itself
// (LoadLibraryW, DllGetClassObject), as a point-of-sale program that opens and closes its sale
// window all day would: nothing may pile up. Between an early moment (after a warm-up, when
// the system's own caches are filled) and the end, the process's handles, GDI and USER objects
// and private memory must stay put within generous margins, and once the last control and the
// factory are released the library must agree to be unloaded.
//
// TRAVINEL_OCX names the library (a Linux path as ctest gives it, or a Windows path);
// TRAVINEL_LIFETIME_ITERATIONS may lower the count of 10,000 for a quicker run (ctest under
// Wine takes 8,000: about 7.5 ms a control there, so the count fits about a minute).

#include <gtest/gtest.h>
#include <windows.h>
// After windows.h: the process memory counters, then the control's interfaces with their
// identifiers defined here (initguid.h turns the header's declarations into definitions).
#include <psapi.h>
// clang-format off
#include <initguid.h>
#include "Dornavel_h.h"
// clang-format on

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "OcxPath.h"

namespace {

constexpr int kDefaultIterations = 10000;
constexpr int kWarmUp = 1000;  // the early moment the end is compared with

// Generous margins: a leak of one object or one kilobyte per control would pass every one of
// them within a few hundred iterations; noise from the system's caches stays well below.
constexpr DWORD kHandleMargin = 50;
constexpr DWORD kGuiObjectMargin = 50;
constexpr SIZE_T kPrivateMemoryMargin = 8 * 1024 * 1024;

int Iterations() {
  const char* value = std::getenv("TRAVINEL_LIFETIME_ITERATIONS");
  const int count = value != nullptr ? std::atoi(value) : kDefaultIterations;
  return count > kWarmUp ? count : kDefaultIterations;
}

struct ResourceSample {
  DWORD handles = 0;
  DWORD gdiObjects = 0;
  DWORD userObjects = 0;
  SIZE_T privateBytes = 0;
  // Where the counters are not kept (Wine answers 0 for them), two stand-ins: the slot a new
  // kernel handle gets (the lowest free one, so it climbs with every handle left open) and the
  // windows this process owns, message-only ones included.
  uintptr_t nextHandleSlot = 0;
  DWORD windows = 0;
};

uintptr_t NextHandleSlot() {
  const HANDLE probe = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (probe == nullptr) return 0;
  const auto slot = reinterpret_cast<uintptr_t>(probe) / 4;
  CloseHandle(probe);
  return slot;
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
  ++*reinterpret_cast<DWORD*>(count);
  return TRUE;
}

DWORD OwnWindows() {
  DWORD count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
  // Message-only windows are not enumerated with the others: walk them (bounded).
  HWND window = nullptr;
  for (int i = 0; i < 100000; ++i) {
    window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr);
    if (window == nullptr) break;
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++count;
  }
  return count;
}

ResourceSample SampleResources() {
  ResourceSample sample;
  const HANDLE process = GetCurrentProcess();
  GetProcessHandleCount(process, &sample.handles);
  sample.gdiObjects = GetGuiResources(process, GR_GDIOBJECTS);
  sample.userObjects = GetGuiResources(process, GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters)) {
    sample.privateBytes =
        counters.PrivateUsage != 0 ? counters.PrivateUsage : counters.PagefileUsage;
  }
  sample.nextHandleSlot = NextHandleSlot();
  sample.windows = OwnWindows();
  return sample;
}

std::string Describe(const ResourceSample& s) {
  char text[200];
  std::snprintf(
      text, sizeof text,
      "%lu handles, %lu GDI, %lu USER, %lu KB private, next handle slot %lu, "
      "%lu windows",
      static_cast<unsigned long>(s.handles), static_cast<unsigned long>(s.gdiObjects),
      static_cast<unsigned long>(s.userObjects), static_cast<unsigned long>(s.privateBytes / 1024),
      static_cast<unsigned long>(s.nextHandleSlot), static_cast<unsigned long>(s.windows));
  return text;
}

// Delivers what the controls posted, as the host's message loop would between two sales.
void PumpMessages() {
  MSG message;
  for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// Keeps COM initialised on this thread for the test's duration.
class ComApartment {
 public:
  ComApartment() : result_(CoInitialize(nullptr)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

using GetClassObjectFunction = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(__stdcall*)();

// One control: created, a few properties set, the weight read with the scale disabled, and
// released. Returns the first failure's text, empty when all went well.
std::string UseOneControl(IClassFactory& factory) {
  IFfrmActivexForm* control = nullptr;
  HRESULT hr =
      factory.CreateInstance(nullptr, IID_IFfrmActivexForm, reinterpret_cast<void**>(&control));
  if (FAILED(hr) || control == nullptr) return "CreateInstance failed";
  std::string failure;
  auto check = [&](HRESULT result, const char* what) {
    if (FAILED(result) && failure.empty()) failure = what;
  };
  BSTR caption = SysAllocString(L"Balan\u00e7a do caixa");
  check(control->put_Caption(caption), "put_Caption");
  SysFreeString(caption);
  check(control->put_Porta(7), "put_Porta");
  check(control->put_Mod_Bal(1), "put_Mod_Bal");
  check(control->put_Vel_Bal(9600), "put_Vel_Bal");
  // 0: the scale stays disabled, so nothing opens a port and no message box comes up.
  check(control->put_Usr_Bal(0), "put_Usr_Bal");
  double weight = -1;
  check(control->get_PesoLido(&weight), "get_PesoLido");
  check(control->LerPeso(), "LerPeso");
  check(control->get_PesoLido(&weight), "get_PesoLido after LerPeso");
  if (failure.empty() && weight != 0) failure = "PesoLido is not 0 with the scale disabled";
  if (control->Release() != 0 && failure.empty()) failure = "the control outlived its release";
  return failure;
}

TEST(ControlLifetimeTest, ManyControlsCreatedUsedAndReleasedLeaveNothingBehind) {
  const std::wstring ocx = trv::test::OcxPath();
  if (ocx.empty()) GTEST_SKIP() << "TRAVINEL_OCX is not set (ctest sets it)";
  ComApartment apartment;
  ASSERT_TRUE(SUCCEEDED(apartment.Result()));

  HMODULE library = LoadLibraryW(ocx.c_str());
  ASSERT_NE(library, nullptr) << "LoadLibraryW failed: " << GetLastError();
  auto getClassObject = reinterpret_cast<GetClassObjectFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllGetClassObject")));
  auto canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "DllCanUnloadNow")));
  ASSERT_NE(getClassObject, nullptr);
  ASSERT_NE(canUnloadNow, nullptr);

  IClassFactory* factory = nullptr;
  ASSERT_EQ(
      getClassObject(CLSID_FfrmActivexForm, IID_IClassFactory, reinterpret_cast<void**>(&factory)),
      S_OK);
  ASSERT_NE(factory, nullptr);

  const int iterations = Iterations();
  ResourceSample warm;
  std::string failure;
  int failedAt = 0;
  const DWORD start = GetTickCount();
  for (int i = 1; i <= iterations; ++i) {
    failure = UseOneControl(*factory);
    if (!failure.empty()) {
      failedAt = i;
      break;
    }
    if (i % 50 == 0) PumpMessages();
    if (i == kWarmUp) warm = SampleResources();
  }
  PumpMessages();
  const ResourceSample end = SampleResources();
  const DWORD elapsed = GetTickCount() - start;
  std::printf("%d controls in %lu ms; after %d: %s; at the end: %s\n", iterations,
              static_cast<unsigned long>(elapsed), kWarmUp, Describe(warm).c_str(),
              Describe(end).c_str());
  EXPECT_TRUE(failure.empty()) << "control " << failedAt << ": " << failure;

  // Nothing grows between the warm-up and the end beyond the margins.
  EXPECT_LE(end.handles, warm.handles + kHandleMargin);
  EXPECT_LE(end.gdiObjects, warm.gdiObjects + kGuiObjectMargin);
  EXPECT_LE(end.userObjects, warm.userObjects + kGuiObjectMargin);
  EXPECT_LE(end.privateBytes, warm.privateBytes + kPrivateMemoryMargin);
  EXPECT_LE(end.nextHandleSlot, warm.nextHandleSlot + kHandleMargin);
  EXPECT_LE(end.windows, warm.windows + kGuiObjectMargin);

  // Every control is gone: the library may go, unless the host locks it through the factory.
  EXPECT_EQ(canUnloadNow(), S_OK);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->Release();
  EXPECT_EQ(canUnloadNow(), S_OK);
  FreeLibrary(library);
}

}  // namespace
