#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trv::test {

// Closes the message boxes that this process opens while it lives, and records them: a helper
// thread looks for visible dialogs (#32770) of this process, reads the box and presses OK. A
// test that reaches a modal box thus never waits for a user.
class DialogCloser {
 public:
  struct Box {
    std::wstring text;
    std::wstring caption;
    bool anyIcon = false;
    bool errorIcon = false;
    LRESULT checkBoxState = -1;  // the watched check box's mark while the box was open
  };

  // watchedCheckBox: a check box whose mark is read while each box is open.
  explicit DialogCloser(HWND watchedCheckBox = nullptr);
  ~DialogCloser();
  DialogCloser(const DialogCloser&) = delete;
  DialogCloser& operator=(const DialogCloser&) = delete;

  // The boxes closed so far, and their texts alone (UTF-16, as the box showed them).
  std::vector<Box> Boxes();
  std::vector<std::wstring> Texts();

 private:
  static BOOL CALLBACK OnWindow(HWND window, LPARAM context);
  static BOOL CALLBACK OnChild(HWND child, LPARAM context);
  void Watch();
  void Close(HWND dialog);
  Box Read(HWND dialog) const;

  HWND watchedCheckBox_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<Box> boxes_;
  std::vector<HWND> closed_;
  std::thread thread_;
};

}  // namespace trv::test
