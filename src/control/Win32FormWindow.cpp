#include "control/Win32FormWindow.h"

#include <exception>
#include <string>

#include "platform/Exception.h"
#include "platform/Library.h"
#include "platform/SystemError.h"
#include "platform/TextWin32.h"

namespace trv {
namespace {

constexpr COLORREF kStatusColour = RGB(33, 33, 33);
constexpr int kFormFontHeight = -10;
constexpr int kLabelFontHeight = -11;

constexpr DWORD kChildStyle = WS_CHILD | WS_CLIPSIBLINGS;
constexpr DWORD kTopLevelStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;

// The outer size of a window of the given style whose client area is width x height.
SIZE OuterSize(DWORD style, int width, int height) {
  RECT frame = {0, 0, width, height};
  AdjustWindowRectEx(&frame, style, FALSE, kExStyle);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

HINSTANCE ThisInstance() {
  return static_cast<HINSTANCE>(platform::ThisModule());
}

void RegisterWindowClass(WNDPROC procedure) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = ThisInstance();
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = Win32FormWindow::kClassName;
  // A second registration (a second form in the same process) fails harmlessly.
  RegisterClassExW(&windowClass);
}

HFONT CreateTahoma(int height) {
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"Tahoma");
}

}  // namespace

Win32FormWindow::Win32FormWindow(HWND parent, int width, int height, ScalePort port) {
  RegisterWindowClass(&Win32FormWindow::WindowProc);
  formFont_ = CreateTahoma(kFormFontHeight);
  labelFont_ = CreateTahoma(kLabelFontHeight);

  const DWORD style =
      WS_CLIPCHILDREN | (parent != nullptr ? kChildStyle | WS_VISIBLE : kTopLevelStyle);
  // The size asked for is the client area; a top-level window's frame and caption come around it.
  const SIZE outer = OuterSize(style, width, height);
  const int position = parent != nullptr ? 0 : CW_USEDEFAULT;
  window_ = CreateWindowExW(kExStyle, kClassName, L"FfrmActivexForm", style, position, position,
                            outer.cx, outer.cy, parent, nullptr, ThisInstance(), this);
  if (window_ == nullptr) {
    const auto code = static_cast<int>(GetLastError());
    DeleteObject(formFont_);
    DeleteObject(labelFont_);
    throw Exception("Não foi possível criar a janela do formulário: " +
                    platform::SystemErrorText(code));
  }
  CreateControls();

  form_ = std::make_unique<TFfrmActivexForm>(
      nullptr, FormControls{*label_, *checkBox_, *edit_, *boxes_}, std::move(port));
}

Win32FormWindow::~Win32FormWindow() {
  // OnDestroy while the form and the host's sink are still there.
  RaiseDestroy();
  // The form first: it stops its timers and closes the scale while its controls still exist.
  form_.reset();
  if (window_ != nullptr) DestroyWindow(window_);
  DeleteObject(formFont_);
  DeleteObject(labelFont_);
}

HWND Win32FormWindow::Item(ControlId id) const {
  return window_ != nullptr ? GetDlgItem(window_, id) : nullptr;
}

void Win32FormWindow::Show() {
  if (window_ == nullptr) return;
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

void Win32FormWindow::SetParentWindow(HWND parent) {
  if (window_ == nullptr) return;
  RECT client = {};
  GetClientRect(window_, &client);
  auto style = static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE));
  style &= ~(kChildStyle | kTopLevelStyle | WS_POPUP);
  style |= parent != nullptr ? kChildStyle : kTopLevelStyle;
  // A window becomes a child before it changes parent, and a top-level one after.
  if (parent != nullptr) SetWindowLongPtrW(window_, GWL_STYLE, static_cast<LONG_PTR>(style));
  SetParent(window_, parent);
  if (parent == nullptr) SetWindowLongPtrW(window_, GWL_STYLE, static_cast<LONG_PTR>(style));
  const SIZE outer = OuterSize(style, client.right, client.bottom);
  SetWindowPos(
      window_, nullptr, 0, 0, outer.cx, outer.cy,
      SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | (parent != nullptr ? 0 : SWP_NOMOVE));
}

HWND Win32FormWindow::CreateControl(const wchar_t* windowClass, const wchar_t* text, DWORD style,
                                    DWORD exStyle, int x, int y, int width, int height,
                                    ControlId id, HFONT font) {
  HWND control =
      CreateWindowExW(exStyle, windowClass, text, WS_CHILD | style, x, y, width, height, window_,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ThisInstance(), nullptr);
  if (control == nullptr) {
    const auto code = static_cast<int>(GetLastError());
    DestroyWindow(window_);
    DeleteObject(formFont_);
    DeleteObject(labelFont_);
    throw Exception("Não foi possível criar um controle do formulário: " +
                    platform::SystemErrorText(code));
  }
  SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return control;
}

void Win32FormWindow::CreateControls() {
  // Created in tab order (Button1, txtPeso, chkBalanca), then the controls that take no focus.
  CreateControl(L"BUTTON", L"Imprimir", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, 227, 141, 67,
                25, kPrintButton, formFont_);
  HWND edit = CreateControl(L"EDIT", platform::Utf8ToWide(kInitialWeightText).c_str(),
                            WS_TABSTOP | ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 59, 148,
                            96, 20, kWeightBox, formFont_);
  HWND box = CreateControl(L"BUTTON", L"Habilitar Balança", WS_VISIBLE | WS_TABSTOP | BS_CHECKBOX,
                           0, 12, 23, 99, 18, kEnableBox, formFont_);
  HWND label = CreateControl(L"STATIC", L"", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOPREFIX, 0, 12, 6,
                             0, 0, kStatusLabel, labelFont_);
  // A speed button: flat, and never a tab stop.
  CreateControl(L"BUTTON", L"Ler Peso", WS_VISIBLE | BS_PUSHBUTTON | BS_FLAT, 0, 167, 148, 56, 18,
                kReadButton, formFont_);

  label_ = std::make_unique<Win32Label>(label);
  label_->FitToText();
  checkBox_ = std::make_unique<Win32CheckBox>(box);
  edit_ = std::make_unique<Win32Edit>(edit);
  boxes_ = std::make_unique<Win32MessageBoxes>(window_);
}

template <typename Handler>
void Win32FormWindow::Run(Handler handler) {
  // Nothing raised by a handler may cross the window procedure: it ends in the status line.
  try {
    handler();
  } catch (const std::exception& e) {
    try {
      label_->SetCaption(e.what());
    } catch (...) {
    }
  } catch (...) {
    try {
      label_->SetCaption("Erro inesperado");
    } catch (...) {
    }
  }
}

void Win32FormWindow::OnCommand(int id, int code) {
  if (form_ == nullptr) return;
  switch (id) {
    case kEnableBox:
      // BS_CHECKBOX does not tick itself: the click toggles our state, which moves the mark
      // and runs the form's click handler once.
      if (code == BN_CLICKED) Run([this] { checkBox_->Toggle(); });
      break;
    case kReadButton:
      if (code == BN_CLICKED) Run([this] { form_->SpeedButton1Click(); });
      break;
    case kPrintButton:
      if (code == BN_CLICKED) Run([this] { form_->Button1Click(); });
      break;
    case kWeightBox:
      if (code == EN_SETFOCUS) Run([this] { form_->txtPesoEnter(); });
      if (code == EN_KILLFOCUS) Run([this] { form_->txtPesoExit(); });
      break;
    default:
      break;
  }
}

template <typename Event>
void Win32FormWindow::Raise(Event event) {
  // The form's events go to the host's sink; what the sink's call raises is the host's
  // business and must not leave the window procedure (nor touch the status line).
  try {
    event();
  } catch (...) {
  }
}

void Win32FormWindow::OnMouseMove() {
  if (mouseInside_) return;
  // Ask for WM_MOUSELEAVE once the pointer leaves.
  TRACKMOUSEEVENT track = {};
  track.cbSize = sizeof track;
  track.dwFlags = TME_LEAVE;
  track.hwndTrack = window_;
  mouseInside_ = TrackMouseEvent(&track) != FALSE;
  Raise([this] { form_->OnMouseEnter(); });
}

void Win32FormWindow::OnFocusChange(bool active) {
  // Activation, focus and their losses arrive in pairs (WM_ACTIVATE and WM_SETFOCUS): the
  // form hears only the changes.
  if (active == active_) return;
  active_ = active;
  if (active) {
    Raise([this] { form_->OnActivate(); });
  } else {
    Raise([this] { form_->OnDeactivate(); });
  }
}

void Win32FormWindow::OnKeyPress(WPARAM& key) {
  auto character = static_cast<char16_t>(key);
  Raise([this, &character] { form_->OnKeyPress(character); });
  key = character;
  lastKey_ = character;
}

void Win32FormWindow::RaiseDestroy() {
  if (destroyRaised_ || form_ == nullptr) return;
  destroyRaised_ = true;
  Raise([this] { form_->OnDestroy(); });
}

void Win32FormWindow::RaiseFormEvent(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_LBUTTONUP:
      Raise([this] { form_->OnClick(); });
      break;
    case WM_LBUTTONDBLCLK:
      Raise([this] { form_->OnDblClick(); });
      break;
    case WM_MOUSEMOVE:
      OnMouseMove();
      break;
    case WM_MOUSELEAVE:
      mouseInside_ = false;
      Raise([this] { form_->OnMouseLeave(); });
      break;
    case WM_ACTIVATE:
      OnFocusChange(LOWORD(wParam) != WA_INACTIVE);
      break;
    case WM_SETFOCUS:
      OnFocusChange(true);
      break;
    case WM_KILLFOCUS:
      // Focus moving to one of the form's own controls leaves the form active.
      if (!IsChild(window_, reinterpret_cast<HWND>(wParam))) OnFocusChange(false);
      break;
    case WM_DESTROY:
      RaiseDestroy();
      break;
    default:
      break;
  }
}

LRESULT Win32FormWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (form_ != nullptr) RaiseFormEvent(message, wParam);
  switch (message) {
    case WM_CHAR:
      // The host may change the key or suppress it (0): the window goes on with its answer.
      if (form_ != nullptr) OnKeyPress(wParam);
      if (wParam == 0) return 0;
      break;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      BeginPaint(window_, &paint);
      EndPaint(window_, &paint);
      if (form_ != nullptr) Raise([this] { form_->OnPaint(); });
      return 0;
    }
    case WM_COMMAND:
      if (lParam != 0) OnCommand(LOWORD(wParam), HIWORD(wParam));
      return 0;
    case WM_CTLCOLORSTATIC:
      if (label_ != nullptr && reinterpret_cast<HWND>(lParam) == label_->Handle()) {
        auto dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kStatusColour);
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DESTROY:
      // Destroyed by its parent or closed: the polling has nothing left to show on.
      if (form_ != nullptr) Run([this] { form_->timePeso().SetEnabled(false); });
      break;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CALLBACK Win32FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    auto* self = static_cast<Win32FormWindow*>(create->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Win32FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return self->HandleMessage(message, wParam, lParam);
}

}  // namespace trv
