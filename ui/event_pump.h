// The thread's message loop, and the pump that lets the window react while a folder walk runs.
#pragma once

#include <windows.h>

namespace vek::ui {

// Dispatches one message as the main loop does: Tab, Enter and the other dialog keys are
// handled for the controls of `dialogWindow` first.
void DispatchWindowMessage(HWND dialogWindow, MSG& message);

// Handles every message waiting in this thread's queue, then returns. A quit request met on
// the way is put back for the main loop.
void PumpPendingMessages(HWND dialogWindow);

// Runs until WM_QUIT and returns its exit code.
int RunMessageLoop(HWND dialogWindow);

}  // namespace vek::ui
