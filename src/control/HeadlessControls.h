#pragma once

#include <string>
#include <vector>

#include "control/FormControls.h"

namespace trv {

// The form's controls without windows: they keep their texts and record every message box
// (for tests, and for the command line, which prints the status line).
class HeadlessControls {
 public:
  struct Box {
    std::string text;
    std::string caption;  // empty for a plain box
    bool error;
  };

  HeadlessControls();
  FormControls Controls() { return {label_, checkBox_, edit_, boxes_}; }

  // The boxes shown, in order (the latest thousand or more).
  const std::vector<Box>& Boxes() const { return boxes_.shown; }
  // Every text the status line showed, in order (the latest thousand or more).
  const std::vector<std::string>& StatusHistory() const { return label_.history; }
  // Called with each box as it is shown (the command line prints them).
  void SetOnBox(std::function<void(const Box&)> handler) { boxes_.onBox = std::move(handler); }
  // Called with each new status text.
  void SetOnStatus(std::function<void(const std::string&)> handler) {
    label_.onChange = std::move(handler);
  }

 private:
  struct Label : TLabel {
    std::string Caption() const override { return text; }
    void SetCaption(const std::string& value) override;
    std::string text;
    std::vector<std::string> history;
    std::function<void(const std::string&)> onChange;
  };
  struct Edit : TEdit {
    std::string Text() const override { return text; }
    void SetText(const std::string& value) override { text = value; }
    std::string text = kInitialWeightText;
  };
  struct CheckBox : TCheckBox {
    void ShowChecked(bool) override {}
  };
  struct BoxRecorder : TMessageBoxes {
    void ShowError(const std::string& text, const std::string& caption) override;
    void Show(const std::string& text) override;
    std::vector<Box> shown;
    std::function<void(const Box&)> onBox;
  };

  Label label_;
  Edit edit_;
  CheckBox checkBox_;
  BoxRecorder boxes_;
};

}  // namespace trv
