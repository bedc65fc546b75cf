#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace trv::test {

// Closes the message boxes that this process opens while it lives, and records their texts: a
// helper thread looks for visible dialogs (#32770) of this process, reads the box's text and
// presses OK. A test that reaches a modal box thus never waits for a user.
class DialogCloser {
 public:
  DialogCloser();
  ~DialogCloser();
  DialogCloser(const DialogCloser&) = delete;
  DialogCloser& operator=(const DialogCloser&) = delete;

  // The texts of the boxes closed so far (UTF-16, as the box showed them).
  std::vector<std::wstring> Texts();

 private:
  static BOOL CALLBACK OnWindow(HWND window, LPARAM context);
  void Watch();
  void Close(HWND dialog);

  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::vector<HWND> closed_;
  std::thread thread_;
};

}  // namespace trv::test
