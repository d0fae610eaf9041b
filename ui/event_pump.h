// The thread's message loop.
#pragma once

#include <windows.h>

namespace vek::ui {

// Dispatches one message as the main loop does: Tab, Enter and the other dialog keys are
// handled for the controls of `dialogWindow` first.
void DispatchWindowMessage(HWND dialogWindow, MSG& message);

// Runs until WM_QUIT and returns its exit code.
int RunMessageLoop(HWND dialogWindow);

}  // namespace vek::ui
