#include "control/HeadlessControls.h"

namespace trv {

HeadlessControls::HeadlessControls() = default;

void HeadlessControls::Label::SetCaption(const std::string& value) {
  text = value;
  history.push_back(value);
  if (onChange) onChange(value);
}

void HeadlessControls::BoxRecorder::ShowError(const std::string& text, const std::string& caption) {
  shown.push_back({text, caption, true});
  if (onBox) onBox(shown.back());
}

void HeadlessControls::BoxRecorder::Show(const std::string& text) {
  shown.push_back({text, "", false});
  if (onBox) onBox(shown.back());
}

}  // namespace trv
