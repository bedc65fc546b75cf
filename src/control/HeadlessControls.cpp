#include "control/HeadlessControls.h"

namespace trv {
namespace {

// The records keep the latest texts only: a form that monitors a scale for days shows a status
// every few hundred milliseconds, and must not grow without bound.
constexpr size_t kKeptRecords = 1000;

template <typename T>
void Record(std::vector<T>& records, T value) {
  if (records.size() >= 2 * kKeptRecords) {
    records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(kKeptRecords));
  }
  records.push_back(std::move(value));
}

}  // namespace

HeadlessControls::HeadlessControls() = default;

void HeadlessControls::Label::SetCaption(const std::string& value) {
  text = value;
  Record(history, value);
  if (onChange) onChange(value);
}

void HeadlessControls::BoxRecorder::ShowError(const std::string& text, const std::string& caption) {
  Record(shown, Box{text, caption, true});
  if (onBox) onBox(shown.back());
}

void HeadlessControls::BoxRecorder::Show(const std::string& text) {
  Record(shown, Box{text, "", false});
  if (onBox) onBox(shown.back());
}

}  // namespace trv
