#include "event_pump.h"

namespace vek::ui {

void DispatchWindowMessage(HWND dialogWindow, MSG& message) {
  if (dialogWindow != nullptr && ::IsDialogMessageW(dialogWindow, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
}

void PumpPendingMessages(HWND dialogWindow) {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    DispatchWindowMessage(dialogWindow, message);
  }
}

int RunMessageLoop(HWND dialogWindow) {
  MSG message;
  BOOL got;
  while ((got = ::GetMessageW(&message, nullptr, 0, 0)) > 0) {
    DispatchWindowMessage(dialogWindow, message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}

}  // namespace vek::ui
