// The input-method state each text box asks for when it gets the focus.
#pragma once

#include <windows.h>

namespace vek::ui {

// Japanese input on, hiragana: keywords are mostly typed in Japanese.
void OpenHiraganaInput(HWND box);
// Input method off: folder paths are typed in plain characters.
void CloseInput(HWND box);

}  // namespace vek::ui
