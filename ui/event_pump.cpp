#include "event_pump.h"

namespace vek::ui {

void DispatchWindowMessage(HWND dialogWindow, MSG& message) {
  if (dialogWindow != nullptr && ::IsDialogMessageW(dialogWindow, &message)) return;
  ::TranslateMessage(&message);
  ::DispatchMessageW(&message);
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
