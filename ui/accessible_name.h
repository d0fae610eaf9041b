// Names a control for screen readers explicitly, beside the label before it among its siblings
// that they read by default: a RichEdit is not named by its label everywhere.
#pragma once

#include <windows.h>

namespace vek::ui {

// Through the system's accessibility annotation; where the system has none, the label stays
// the only name. Call on a thread with COM.
void NameForScreenReaders(HWND control, const wchar_t* name);

}  // namespace vek::ui
