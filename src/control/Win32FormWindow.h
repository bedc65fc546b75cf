#pragma once

#include <windows.h>

#include <memory>

#include "control/FrmActivexForm.h"
#include "control/Win32CheckBox.h"
#include "control/Win32Edit.h"
#include "control/Win32Label.h"
#include "control/Win32MessageBoxes.h"

namespace trv {

// The weighing form's window: a button-face window holding the form's child controls at their
// places, and the form (TFfrmActivexForm) built over them. Clicks and focus changes of the
// controls reach the form's handlers through this window's procedure; the form's timers are
// window timers of the platform's timer service, ticked by the thread's message loop.
//
// The window is a child of the container's window when given a parent, a top-level window
// (hidden until Show) otherwise. It must be created, used and destroyed on one thread, the one
// whose message loop serves it.
class Win32FormWindow {
 public:
  // The form's own size, in pixels.
  static constexpr int kWidth = 188;
  static constexpr int kHeight = 70;

  // Identifiers of the child controls (GetDlgItem).
  enum ControlId : int {
    kStatusLabel = 101,  // lmm
    kEnableBox,          // chkBalanca
    kWeightBox,          // txtPeso
    kReadButton,         // SpeedButton1, "Ler Peso"
    kPrintButton,        // Button1, "Imprimir"
  };

  static constexpr wchar_t kClassName[] = L"TravinelFormWindow";

  // width and height: the client area; a container may give more than the form's own size to
  // show the controls that lie outside it. port: the scale's serial port (the system's when
  // null). Raises Exception when the window cannot be created.
  explicit Win32FormWindow(HWND parent = nullptr, int width = kWidth, int height = kHeight,
                           ScalePort port = nullptr);
  ~Win32FormWindow();
  Win32FormWindow(const Win32FormWindow&) = delete;
  Win32FormWindow& operator=(const Win32FormWindow&) = delete;

  // Null once the window has been destroyed (by its parent, or by closing it).
  HWND Handle() const { return window_; }
  HWND Item(ControlId id) const;
  TFfrmActivexForm& Form() { return *form_; }
  // The last character the window acted on, after the form's OnKeyPress had its say (0 when
  // none yet, or when the last one was suppressed).
  char16_t LastKey() const { return lastKey_; }

  // Shows the window (a top-level one is created hidden).
  void Show();
  // Makes the window a child of the container's window, or a top-level window again for null,
  // keeping its client size and its visibility. A container that sites the control after
  // creating it gives its window this way.
  void SetParentWindow(HWND parent);

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls();
  HWND CreateControl(const wchar_t* windowClass, const wchar_t* text, DWORD style, DWORD exStyle,
                     int x, int y, int width, int height, ControlId id, HFONT font);
  // Runs one handler of the form; what it raises ends in the status line.
  template <typename Handler>
  void Run(Handler handler);
  void OnCommand(int id, int code);
  // Raises one of the form's events; an error of the host's sink stays here.
  template <typename Event>
  void Raise(Event event);
  // Raises the form's event that a window message stands for, if any.
  void RaiseFormEvent(UINT message, WPARAM wParam);
  void OnMouseMove();
  void OnFocusChange(bool active);
  void OnKeyPress(WPARAM& key);
  void RaiseDestroy();

  HWND window_ = nullptr;
  HFONT formFont_ = nullptr;
  HFONT labelFont_ = nullptr;
  std::unique_ptr<Win32Label> label_;
  std::unique_ptr<Win32CheckBox> checkBox_;
  std::unique_ptr<Win32Edit> edit_;
  std::unique_ptr<Win32MessageBoxes> boxes_;
  std::unique_ptr<TFfrmActivexForm> form_;
  bool mouseInside_ = false;
  bool active_ = false;
  bool destroyRaised_ = false;
  char16_t lastKey_ = 0;
};

}  // namespace trv
