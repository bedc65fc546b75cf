// Travinel.ocx sited in a window by Wine's ATL container (run under Wine, headless): in-place
// activation into the container's window, the event sink with OnCreate and OnKeyPress, a
// weight read from the scale simulator on COM7 (its control line on COM8), and the modal box
// of an unconfigured scale.
#include <initguid.h>
// The identifiers of the headers below are defined here, once for this program.
#include <gtest/gtest.h>
#include <ocidl.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "DialogCloser.h"
#include "Dornavel_h.h"
#include "OcxPath.h"
#include "control/Win32FormWindow.h"
#include "serial/TrvSerial.h"

namespace trv::test {
namespace {

using AtlAxWinInitFunction = BOOL(WINAPI*)();
using AtlAxGetControlFunction = HRESULT(WINAPI*)(HWND, IUnknown**);
using RegisterFunction = HRESULT(STDAPICALLTYPE*)();

// Delivers the thread's messages for the given time.
void Pump(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  } while (GetTickCount() - start < milliseconds);
}

// The host's sink for the control's events: records each event's DISPID; for OnKeyPress it
// records the key it was given and leaves the key that replaceKey names in its place.
class EventSink final : public IDispatch {
 public:
  std::vector<DISPID> events;
  std::vector<SHORT> keys;
  SHORT replaceKey = -1;  // -1: leave the key as it is

  int Count(DISPID id) const {
    int count = 0;
    for (DISPID event : events) count += event == id ? 1 : 0;
    return count;
  }

  STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_IFfrmActivexFormEvents)) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override { return --references_; }  // lives on the stack
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    events.push_back(id);
    if (id == 207 && parameters->cArgs == 1 && parameters->rgvarg[0].vt == (VT_I2 | VT_BYREF)) {
      keys.push_back(*parameters->rgvarg[0].piVal);
      if (replaceKey >= 0) *parameters->rgvarg[0].piVal = replaceKey;
    }
    return S_OK;
  }

 private:
  ULONG references_ = 1;
};

class AtlHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    OleInitialize(nullptr);
    library_ = LoadLibraryW(OcxPath().c_str());
    atl_ = LoadLibraryW(L"atl.dll");
    if (library_ == nullptr || atl_ == nullptr) return;
    // The container finds the control by its ProgID in the registry.
    auto reg = reinterpret_cast<RegisterFunction>(
        reinterpret_cast<void*>(GetProcAddress(library_, "DllRegisterServer")));
    registered_ = reg != nullptr && reg() == S_OK;
    auto init = reinterpret_cast<AtlAxWinInitFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxWinInit")));
    getControl_ = reinterpret_cast<AtlAxGetControlFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl_, "AtlAxGetControl")));
    if (init != nullptr) init();
  }

  static void TearDownTestSuite() { OleUninitialize(); }

  void SetUp() override {
    ASSERT_NE(library_, nullptr) << "cannot load TRAVINEL_OCX";
    ASSERT_NE(atl_, nullptr) << "cannot load Wine's atl.dll";
    ASSERT_TRUE(registered_);
    ASSERT_NE(getControl_, nullptr);
    frame_ = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500,
                             300, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(frame_, nullptr);
    container_ = CreateWindowExW(0, L"AtlAxWin", L"Dornavel.FfrmActivexForm", WS_CHILD | WS_VISIBLE,
                                 10, 10, 320, 200, frame_, nullptr, nullptr, nullptr);
    ASSERT_NE(container_, nullptr);
    IUnknown* unknown = nullptr;
    ASSERT_EQ(getControl_(container_, &unknown), S_OK);
    ASSERT_NE(unknown, nullptr);
    ASSERT_EQ(unknown->QueryInterface(IID_IFfrmActivexForm, reinterpret_cast<void**>(&control)),
              S_OK);
    unknown->Release();
    Pump(50);
  }

  void TearDown() override {
    Disconnect();
    if (control != nullptr) control->Release();
    if (frame_ != nullptr) DestroyWindow(frame_);
    Pump(20);
  }

  HWND FormWindow() {
    IOleInPlaceObject* inPlace = nullptr;
    HWND window = nullptr;
    if (SUCCEEDED(
            control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
      inPlace->GetWindow(&window);
      inPlace->Release();
    }
    return window;
  }

  // What the form's window last acted on: the window's own object, reached through the
  // pointer the window keeps (this program is built from the same sources).
  char16_t LastKeyOfTheForm() {
    auto* window =
        reinterpret_cast<Win32FormWindow*>(GetWindowLongPtrW(FormWindow(), GWLP_USERDATA));
    return window != nullptr ? window->LastKey() : u'?';
  }

  void Connect(EventSink& target) {
    IConnectionPointContainer* points = nullptr;
    ASSERT_EQ(
        control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&points)),
        S_OK);
    ASSERT_EQ(points->FindConnectionPoint(DIID_IFfrmActivexFormEvents, &point_), S_OK);
    points->Release();
    ASSERT_EQ(point_->Advise(&target, &cookie_), S_OK);
  }

  void Disconnect() {
    if (point_ == nullptr) return;
    point_->Unadvise(cookie_);
    point_->Release();
    point_ = nullptr;
  }

  void PressKey(wchar_t key) {
    PostMessageW(FormWindow(), WM_CHAR, key, 1);
    Pump(50);
  }

  IFfrmActivexForm* control = nullptr;
  // The sinks outlive the test's body: TearDown disconnects the one still connected.
  EventSink sink;
  EventSink second;

 private:
  static HMODULE library_;
  static HMODULE atl_;
  static bool registered_;
  static AtlAxGetControlFunction getControl_;
  HWND frame_ = nullptr;
  HWND container_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
};

HMODULE AtlHostTest::library_ = nullptr;
HMODULE AtlHostTest::atl_ = nullptr;
bool AtlHostTest::registered_ = false;
AtlAxGetControlFunction AtlHostTest::getControl_ = nullptr;

TEST_F(AtlHostTest, TheFormsWindowBecomesTheContainersChild) {
  HWND form = FormWindow();
  ASSERT_NE(form, nullptr);
  wchar_t name[64] = {};
  GetClassNameW(GetParent(form), name, 64);
  EXPECT_STREQ(name, L"AtlAxWin");
  EXPECT_NE(GetWindowLongW(form, GWL_STYLE) & WS_CHILD, 0);
  EXPECT_TRUE(IsWindowVisible(form));
  VARIANT_BOOL visible = 0;
  EXPECT_EQ(control->get_Visible(&visible), S_OK);
  EXPECT_EQ(visible, VARIANT_TRUE);
}

TEST_F(AtlHostTest, DeactivationHidesTheFormAndKeepsIt) {
  HWND form = FormWindow();
  IOleInPlaceObject* inPlace = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)),
            S_OK);
  EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
  inPlace->Release();
  EXPECT_TRUE(IsWindow(form));
  EXPECT_FALSE(IsWindowVisible(form));
  EXPECT_EQ(GetWindowLongW(form, GWL_STYLE) & WS_CHILD, 0);
  EXPECT_EQ(control->put_Porta(4), S_OK);
  int port = 0;
  EXPECT_EQ(control->get_Porta(&port), S_OK);
  EXPECT_EQ(port, 4);
}

TEST_F(AtlHostTest, OnCreateReachesTheFirstSinkOnly) {
  Connect(sink);
  EXPECT_EQ(sink.Count(203), 1);
  Disconnect();
  Connect(second);
  EXPECT_EQ(second.Count(203), 0);
}

TEST_F(AtlHostTest, TheSinkChangesTheKey) {
  Connect(sink);
  sink.replaceKey = 'b';
  PressKey(L'a');
  ASSERT_EQ(sink.keys.size(), 1u);
  EXPECT_EQ(sink.keys[0], 'a');
  EXPECT_EQ(LastKeyOfTheForm(), u'b');
}

TEST_F(AtlHostTest, TheSinkSuppressesTheKey) {
  Connect(sink);
  sink.replaceKey = 0;
  PressKey(L'x');
  ASSERT_EQ(sink.keys.size(), 1u);
  EXPECT_EQ(sink.keys[0], 'x');
  EXPECT_EQ(LastKeyOfTheForm(), u'\0');
}

TEST_F(AtlHostTest, WithoutASinkTheKeyStays) {
  PressKey(L'z');
  EXPECT_EQ(LastKeyOfTheForm(), u'z');
}

TEST_F(AtlHostTest, WindowMessagesRaiseTheFormsEvents) {
  Connect(sink);
  HWND form = FormWindow();
  SendMessageW(form, WM_LBUTTONUP, 0, MAKELPARAM(150, 50));
  SendMessageW(form, WM_LBUTTONDBLCLK, 0, MAKELPARAM(150, 50));
  SendMessageW(form, WM_MOUSEMOVE, 0, MAKELPARAM(150, 50));
  InvalidateRect(form, nullptr, TRUE);
  UpdateWindow(form);
  Pump(50);
  EXPECT_GE(sink.Count(202), 1) << "OnClick";
  EXPECT_EQ(sink.Count(204), 1) << "OnDblClick";
  EXPECT_EQ(sink.Count(208), 1) << "OnMouseEnter";
  EXPECT_GE(sink.Count(210), 1) << "OnPaint";
}

TEST_F(AtlHostTest, FrozenEventsAreDroppedUntilTheLastThaw) {
  Connect(sink);
  IOleControl* oleControl = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IOleControl, reinterpret_cast<void**>(&oleControl)), S_OK);
  HWND form = FormWindow();
  auto click = [&] {
    SendMessageW(form, WM_LBUTTONUP, 0, MAKELPARAM(150, 50));
    Pump(20);
    return sink.Count(202);  // OnClick
  };
  EXPECT_EQ(oleControl->FreezeEvents(TRUE), S_OK);
  EXPECT_EQ(oleControl->FreezeEvents(TRUE), S_OK);
  EXPECT_EQ(click(), 0) << "frozen";
  EXPECT_EQ(oleControl->FreezeEvents(FALSE), S_OK);
  EXPECT_EQ(click(), 0) << "still frozen once";
  EXPECT_EQ(oleControl->FreezeEvents(FALSE), S_OK);
  EXPECT_GE(click(), 1) << "thawed";
  oleControl->Release();
}

TEST_F(AtlHostTest, EnumeratesItsConnectionPointAndItsConnection) {
  IConnectionPointContainer* container = nullptr;
  ASSERT_EQ(
      control->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
      S_OK);
  IEnumConnectionPoints* points = nullptr;
  ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
  container->Release();
  IConnectionPoint* found[2] = {};
  ULONG fetched = 0;
  EXPECT_EQ(points->Next(2, found, &fetched), S_FALSE);
  ASSERT_EQ(fetched, 1u);
  IID events = {};
  EXPECT_EQ(found[0]->GetConnectionInterface(&events), S_OK);
  EXPECT_TRUE(IsEqualIID(events, DIID_IFfrmActivexFormEvents));
  EXPECT_EQ(points->Next(1, found + 1, nullptr), S_FALSE);
  EXPECT_EQ(points->Reset(), S_OK);
  // A copy starts where the original stands and hands out the same connection point.
  IEnumConnectionPoints* copy = nullptr;
  ASSERT_EQ(points->Clone(&copy), S_OK);
  IConnectionPoint* again = nullptr;
  EXPECT_EQ(copy->Next(1, &again, nullptr), S_OK);
  EXPECT_EQ(again, found[0]);
  if (again != nullptr) again->Release();
  copy->Release();
  EXPECT_EQ(points->Skip(2), S_FALSE);
  points->Release();

  auto connections = [&] {
    IEnumConnections* list = nullptr;
    EXPECT_EQ(found[0]->EnumConnections(&list), S_OK);
    std::vector<CONNECTDATA> all(2);
    ULONG count = 0;
    if (list != nullptr) {
      list->Next(2, all.data(), &count);
      list->Release();
    }
    all.resize(count);
    return all;
  };
  EXPECT_TRUE(connections().empty());
  Connect(sink);
  const std::vector<CONNECTDATA> one = connections();
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].dwCookie, 1u);
  IUnknown* sinkIdentity = nullptr;
  sink.QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&sinkIdentity));
  IUnknown* connected = nullptr;
  one[0].pUnk->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&connected));
  EXPECT_EQ(connected, sinkIdentity);
  connected->Release();
  sinkIdentity->Release();
  one[0].pUnk->Release();
  found[0]->Release();
}

TEST_F(AtlHostTest, EnablingWithoutAModelShowsTheBox) {
  DialogCloser closer;
  EXPECT_EQ(control->put_Usr_Bal(1), S_OK);
  int enabled = 0;
  EXPECT_EQ(control->get_Usr_Bal(&enabled), S_OK);
  EXPECT_EQ(enabled, 1);
  ASSERT_EQ(closer.Texts().size(), 1u);
  EXPECT_EQ(closer.Texts()[0], L"Balança não configurada.");
}

// ---- A weight from the simulator
// ------------------------------------------------------------------

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

class AtlHostScaleTest : public AtlHostTest {
 protected:
  void SetUp() override {
    scalePort_ = Environment("TRAVINEL_TEST_PORT");
    const std::string controlPort = Environment("TRAVINEL_CONTROL_PORT");
    if (scalePort_.size() < 4 || controlPort.empty()) {
      GTEST_SKIP() << "TRAVINEL_TEST_PORT and TRAVINEL_CONTROL_PORT (COMn) are not set; ctest "
                      "runs this program through tests/support/with-simulator";
    }
    AtlHostTest::SetUp();
    simulator_.SetRaiseExcept(true);
    simulator_.Connect(controlPort);
    simulator_.Config(9600, 8, 'N', 0, false, false);
    Command("RESET");
  }

  void TearDown() override {
    if (control != nullptr) control->put_Usr_Bal(0);
    if (simulator_.InstanceActive()) simulator_.CloseSocket();
    AtlHostTest::TearDown();
  }

  void Command(const std::string& line) {
    simulator_.SendString(line + "\n");
    EXPECT_EQ(simulator_.RecvTerminated(2000, "\n"), "OK") << line;
  }

  int PortNumber() const { return std::atoi(scalePort_.c_str() + 3); }

  std::string scalePort_;
  TTrvSerial simulator_;
};

TEST_F(AtlHostScaleTest, ReadsTheWeightThroughTheDualInterface) {
  Command("PROTOCOL filizola");
  Command("WEIGHT 1234");
  EXPECT_EQ(control->put_Porta(PortNumber()), S_OK);
  EXPECT_EQ(control->put_Mod_Bal(1), S_OK);
  EXPECT_EQ(control->put_Bit_Bal(8), S_OK);
  EXPECT_EQ(control->put_Vel_Bal(9600), S_OK);
  EXPECT_EQ(control->put_Usr_Bal(1), S_OK);
  EXPECT_EQ(control->LerPeso(), S_OK);
  double weight = 0;
  EXPECT_EQ(control->get_PesoLido(&weight), S_OK);
  EXPECT_EQ(weight, 1234.0);
}

}  // namespace
}  // namespace trv::test
