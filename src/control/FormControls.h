#pragma once

#include <functional>
#include <string>

namespace trv {

// The controls the weighing form talks to. The form's behaviour is the same whether they are
// real windows (Win32) or recorders (headless: tests and the command line).

// A one-line text: the form's status line.
class TLabel {
 public:
  virtual ~TLabel() = default;
  virtual std::string Caption() const = 0;
  virtual void SetCaption(const std::string& text) = 0;
};

// A one-line edit box: the form's weight box, which starts with kInitialWeightText.
inline constexpr char kInitialWeightText[] = "0.00";
class TEdit {
 public:
  virtual ~TEdit() = default;
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
};

// A check box that raises OnClick whenever its state changes, whether a user clicked it or
// code set it; setting the state it already has raises nothing. The form relies on that.
class TCheckBox {
 public:
  virtual ~TCheckBox() = default;

  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  // A user's click: toggles the state (and so raises OnClick).
  void Toggle() { SetChecked(!checked_); }

  std::function<void()> OnClick;

 protected:
  // Shows the new state (the real control's check mark); nothing for a headless box.
  virtual void ShowChecked(bool value) = 0;

 private:
  bool checked_ = false;
};

// Modal message boxes. While one is open the platform's message loop runs, so timer ticks are
// delivered.
class TMessageBoxes {
 public:
  virtual ~TMessageBoxes() = default;
  // Text, caption and the error icon, with one OK button.
  virtual void ShowError(const std::string& text, const std::string& caption) = 0;
  // Text only, with the platform's default caption.
  virtual void Show(const std::string& text) = 0;
};

// The form's controls, owned by whoever built them (a window, or a headless set).
struct FormControls {
  TLabel& lmm;
  TCheckBox& chkBalanca;
  TEdit& txtPeso;
  TMessageBoxes& boxes;
};

}  // namespace trv
