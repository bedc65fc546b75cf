// The weighing form's window under Win32 (run under Wine, headless): the window and its child
// controls, and what the user's clicks on them do with an unconfigured form.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "DialogCloser.h"
#include "control/Win32FormWindow.h"
#include "platform/TextWin32.h"

namespace trv {
namespace {

using platform::WideToUtf8;

std::string TextOf(HWND window) {
  wchar_t text[512] = {};
  GetWindowTextW(window, text, 512);
  return WideToUtf8(text);
}

std::string ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return WideToUtf8(name);
}

// The child's rectangle in its parent's client coordinates.
RECT PlaceOf(HWND child) {
  RECT rect = {};
  GetWindowRect(child, &rect);
  MapWindowPoints(HWND_DESKTOP, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

LOGFONTW FontOf(HWND window) {
  LOGFONTW font = {};
  auto handle = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
  if (handle != nullptr) GetObjectW(handle, sizeof font, &font);
  return font;
}

LONG StyleOf(HWND window) {
  return GetWindowLongW(window, GWL_STYLE);
}

// Delivers the thread's pending messages for the given time.
void PumpFor(DWORD milliseconds, const std::function<bool()>& done = {}) {
  const DWORD start = GetTickCount();
  while (GetTickCount() - start < milliseconds) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done && done()) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

// The text of a closed box as UTF-8, to compare with the form's texts.
std::string Utf8(const std::wstring& text) {
  return WideToUtf8(text);
}

TEST(FormWindow, TopLevelWindowHasTheFormsCaptionSizeAndBackground) {
  Win32FormWindow form;
  HWND window = form.Handle();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ClassOf(window), "TravinelFormWindow");
  EXPECT_EQ(TextOf(window), "FfrmActivexForm");
  EXPECT_EQ(GetParent(window), nullptr);
  EXPECT_EQ(StyleOf(window) & WS_CHILD, 0);
  EXPECT_EQ(StyleOf(window) & WS_VISIBLE, 0) << "a top-level form waits for Show";
  RECT client = {};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 188);
  EXPECT_EQ(client.bottom, 70);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)),
            GetSysColorBrush(COLOR_BTNFACE));
  form.Show();
  EXPECT_NE(StyleOf(window) & WS_VISIBLE, 0);
}

TEST(FormWindow, ChildOfTheContainersWindow) {
  Win32FormWindow container(nullptr, 400, 300);
  Win32FormWindow form(container.Handle());
  HWND window = form.Handle();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(GetParent(window), container.Handle());
  EXPECT_NE(StyleOf(window) & WS_CHILD, 0);
  EXPECT_NE(StyleOf(window) & WS_VISIBLE, 0);
  const RECT place = PlaceOf(window);
  EXPECT_EQ(place.right - place.left, 188);
  EXPECT_EQ(place.bottom - place.top, 70);
}

TEST(FormWindow, MovesIntoTheContainersWindowAndBack) {
  Win32FormWindow container(nullptr, 400, 300);
  Win32FormWindow form;
  HWND window = form.Handle();

  form.SetParentWindow(container.Handle());
  EXPECT_EQ(form.Handle(), window);
  EXPECT_EQ(GetParent(window), container.Handle());
  EXPECT_NE(StyleOf(window) & WS_CHILD, 0);
  EXPECT_EQ(StyleOf(window) & WS_CAPTION, 0);
  RECT client = {};
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 188);
  EXPECT_EQ(client.bottom, 70);
  RECT place = PlaceOf(window);
  EXPECT_EQ(place.right - place.left, 188) << "no frame left around a child";

  form.SetParentWindow(nullptr);
  EXPECT_EQ(GetAncestor(window, GA_PARENT), GetDesktopWindow());
  EXPECT_EQ(StyleOf(window) & WS_CHILD, 0);
  EXPECT_EQ(StyleOf(window) & WS_CAPTION, WS_CAPTION);
  GetClientRect(window, &client);
  EXPECT_EQ(client.right, 188);
  EXPECT_EQ(client.bottom, 70);
}

struct ExpectedControl {
  Win32FormWindow::ControlId id;
  const char* windowClass;
  const char* text;
  int x, y, width, height;
  bool visible;
  bool tabStop;
  int fontHeight;
};

TEST(FormWindow, ChildControlsHaveTheirClassesTextsPlacesAndFonts) {
  Win32FormWindow form(nullptr, 320, 190);
  const ExpectedControl expected[] = {
      {Win32FormWindow::kEnableBox, "Button", "Habilitar Balança", 12, 23, 99, 18, true, true, -10},
      {Win32FormWindow::kWeightBox, "Edit", "0.00", 59, 148, 96, 20, false, true, -10},
      {Win32FormWindow::kReadButton, "Button", "Ler Peso", 167, 148, 56, 18, true, false, -10},
      {Win32FormWindow::kPrintButton, "Button", "Imprimir", 227, 141, 67, 25, true, true, -10},
  };
  for (const auto& control : expected) {
    SCOPED_TRACE(control.text);
    HWND child = form.Item(control.id);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(ClassOf(child), control.windowClass);
    EXPECT_EQ(TextOf(child), control.text);
    const RECT place = PlaceOf(child);
    EXPECT_EQ(place.left, control.x);
    EXPECT_EQ(place.top, control.y);
    EXPECT_EQ(place.right - place.left, control.width);
    EXPECT_EQ(place.bottom - place.top, control.height);
    EXPECT_EQ((StyleOf(child) & WS_VISIBLE) != 0, control.visible);
    EXPECT_EQ((StyleOf(child) & WS_TABSTOP) != 0, control.tabStop);
    const LOGFONTW font = FontOf(child);
    EXPECT_EQ(font.lfHeight, control.fontHeight);
    EXPECT_EQ(WideToUtf8(font.lfFaceName), "Tahoma");
  }

  HWND box = form.Item(Win32FormWindow::kEnableBox);
  EXPECT_EQ(StyleOf(box) & BS_TYPEMASK, BS_CHECKBOX) << "not an automatic check box";
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_NE(StyleOf(form.Item(Win32FormWindow::kWeightBox)) & ES_READONLY, 0);
  EXPECT_NE(StyleOf(form.Item(Win32FormWindow::kReadButton)) & BS_FLAT, 0);
  EXPECT_EQ(StyleOf(form.Item(Win32FormWindow::kPrintButton)) & BS_TYPEMASK, BS_PUSHBUTTON);
}

TEST(FormWindow, StatusLabelIsEmptyAtStartAndFollowsTheForm) {
  Win32FormWindow form;
  HWND label = form.Item(Win32FormWindow::kStatusLabel);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(ClassOf(label), "Static");
  EXPECT_EQ(TextOf(label), "");
  EXPECT_NE(StyleOf(label) & WS_VISIBLE, 0);
  RECT place = PlaceOf(label);
  EXPECT_EQ(place.left, 12);
  EXPECT_EQ(place.top, 6);
  EXPECT_GT(place.bottom - place.top, 0) << "one line high even when empty";
  const LOGFONTW font = FontOf(label);
  EXPECT_EQ(font.lfHeight, -11);
  EXPECT_EQ(WideToUtf8(font.lfFaceName), "Tahoma");

  form.Form().Controls().lmm.SetCaption("Peso Aferido: 1235 gramas");
  EXPECT_EQ(TextOf(label), "Peso Aferido: 1235 gramas");
  EXPECT_EQ(form.Form().Controls().lmm.Caption(), "Peso Aferido: 1235 gramas");
  place = PlaceOf(label);
  EXPECT_EQ(place.left, 12);
  EXPECT_EQ(place.top, 6);
  const int wide = place.right - place.left;
  EXPECT_GT(wide, 60) << "the label grows with its text";
  form.Form().Controls().lmm.SetCaption("Aguarde...");
  place = PlaceOf(label);
  EXPECT_LT(place.right - place.left, wide) << "and shrinks with it";
}

TEST(FormWindow, StatusLabelIsDrawnDarkGreyOnButtonFace) {
  Win32FormWindow form;
  HWND label = form.Item(Win32FormWindow::kStatusLabel);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  const LRESULT brush = SendMessageW(form.Handle(), WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                     reinterpret_cast<LPARAM>(label));
  EXPECT_EQ(GetTextColor(dc), RGB(33, 33, 33));
  EXPECT_EQ(reinterpret_cast<HBRUSH>(brush), GetSysColorBrush(COLOR_BTNFACE));
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

TEST(FormWindow, TabOrderIsPrintButtonThenWeightBoxThenEnableBox) {
  Win32FormWindow form;
  std::vector<int> tabStops;
  for (HWND child = GetWindow(form.Handle(), GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    if (StyleOf(child) & WS_TABSTOP) tabStops.push_back(GetDlgCtrlID(child));
  }
  EXPECT_EQ(tabStops, (std::vector<int>{Win32FormWindow::kPrintButton, Win32FormWindow::kWeightBox,
                                        Win32FormWindow::kEnableBox}));
}

TEST(FormWindow, TickingTheBoxOfAnUnconfiguredFormShowsTheErrorBoxAndDisables) {
  Win32FormWindow form;
  form.Show();
  HWND box = form.Item(Win32FormWindow::kEnableBox);
  HWND label = form.Item(Win32FormWindow::kStatusLabel);
  test::DialogCloser closer(box);

  // The user's click: the button handles it and notifies the form's window.
  SendMessageW(box, BM_CLICK, 0, 0);

  const std::vector<test::DialogCloser::Box> boxes = closer.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  const test::DialogCloser::Box& shown = boxes[0];
  EXPECT_EQ(Utf8(shown.text), "Balança não configurada.");
  EXPECT_EQ(Utf8(shown.caption), "Erro:");
  EXPECT_TRUE(shown.anyIcon);
  EXPECT_TRUE(shown.errorIcon);
  EXPECT_EQ(shown.checkBoxState, BST_CHECKED) << "the click ticked the box before enabling";

  EXPECT_EQ(TextOf(label), "Balança Desativada");
  EXPECT_EQ(SendMessageW(box, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_FALSE(form.Form().Controls().chkBalanca.Checked());
  EXPECT_FALSE(form.Form().timePeso().Enabled());
  EXPECT_FALSE(form.Form().balanca().Ativo());
}

TEST(FormWindow, ReadButtonOfAnUnconfiguredFormShowsTheConfigurationError) {
  Win32FormWindow form(nullptr, 320, 190);
  form.Show();
  test::DialogCloser closer;
  SendMessageW(form.Item(Win32FormWindow::kReadButton), BM_CLICK, 0, 0);

  const std::vector<test::DialogCloser::Box> boxes = closer.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  const std::string text = Utf8(boxes[0].text);
  EXPECT_EQ(text.rfind("Erro na configuração: ", 0), 0u) << text;
  EXPECT_GT(text.size(), std::string("Erro na configuração: ").size());
  EXPECT_EQ(Utf8(boxes[0].caption), "Erro:");
  const test::DialogCloser::Box& shown = boxes[0];
  EXPECT_TRUE(shown.errorIcon);
  EXPECT_EQ(TextOf(form.Item(Win32FormWindow::kStatusLabel)), "") << "no status of its own";
  EXPECT_FALSE(form.Form().balanca().Ativo());
}

TEST(FormWindow, PrintButtonShowsThePlainBox) {
  Win32FormWindow form(nullptr, 320, 190);
  form.Show();
  test::DialogCloser closer;
  SendMessageW(form.Item(Win32FormWindow::kPrintButton), BM_CLICK, 0, 0);

  const std::vector<test::DialogCloser::Box> boxes = closer.Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(Utf8(boxes[0].text), "oi");
  EXPECT_FALSE(boxes[0].caption.empty()) << "the system's default caption";
  EXPECT_NE(Utf8(boxes[0].caption), "Erro:");
  EXPECT_FALSE(boxes[0].anyIcon);
}

TEST(FormWindow, WeightBoxFocusRunsThePollingTimerThroughTheMessageLoop) {
  Win32FormWindow form(nullptr, 320, 190);
  HWND edit = form.Item(Win32FormWindow::kWeightBox);
  HWND label = form.Item(Win32FormWindow::kStatusLabel);
  TTimer& timer = form.Form().timePeso();
  EXPECT_FALSE(timer.Enabled());
  timer.SetInterval(30);  // the form's 3000 ms would only slow the test down

  // The edit box's focus notifications, as the box sends them to the form's window.
  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(Win32FormWindow::kWeightBox, EN_SETFOCUS),
               reinterpret_cast<LPARAM>(edit));
  EXPECT_TRUE(timer.Enabled());
  EXPECT_EQ(TextOf(label), "") << "no tick before the message loop runs";
  PumpFor(3000, [&] { return TextOf(label) == "Balança não disponivel"; });
  EXPECT_EQ(TextOf(label), "Balança não disponivel") << "a tick of the inactive scale";

  SendMessageW(form.Handle(), WM_COMMAND, MAKEWPARAM(Win32FormWindow::kWeightBox, EN_KILLFOCUS),
               reinterpret_cast<LPARAM>(edit));
  EXPECT_FALSE(timer.Enabled());
}

TEST(FormWindow, DestroyedByItsContainerItStopsPolling) {
  Win32FormWindow container(nullptr, 400, 300);
  Win32FormWindow form(container.Handle());
  form.Form().timePeso().SetEnabled(true);
  DestroyWindow(container.Handle());
  EXPECT_EQ(form.Handle(), nullptr);
  EXPECT_FALSE(form.Form().timePeso().Enabled());
  EXPECT_EQ(form.Item(Win32FormWindow::kStatusLabel), nullptr);
}

}  // namespace
}  // namespace trv
