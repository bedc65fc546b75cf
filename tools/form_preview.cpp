// Shows the weighing form's window for a moment, for a screenshot: a top-level window at
// (0, 0) large enough to hold every visible control, with a sample reading in the status line.
// Prints the window's screen rectangle ("window X Y WIDTH HEIGHT") once it is drawn, then
// serves the message loop for the given time (1500 ms by default) and exits.
//
//   form_preview [MILLISECONDS]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>

#include "control/Win32FormWindow.h"

namespace {

void ServeMessages(DWORD milliseconds) {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= milliseconds) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, milliseconds - elapsed, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) return;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  try {
    const DWORD duration = argc > 1 ? static_cast<DWORD>(std::strtoul(argv[1], nullptr, 10)) : 1500;
    trv::Win32FormWindow window(nullptr, 320, 190);
    SetWindowPos(window.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE);
    window.Form().Controls().lmm.SetCaption("Peso Aferido: 1235 gramas");
    window.Show();
    ServeMessages(300);  // let the window be mapped and painted

    RECT rect = {};
    GetWindowRect(window.Handle(), &rect);
    std::printf("window %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    std::fflush(stdout);
    ServeMessages(duration);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "form_preview: %s\n", e.what());
    return 1;
  }
}
