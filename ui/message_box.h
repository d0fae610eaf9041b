// The one way the program talks to the user outside its window: a modal message box whose
// icon and buttons follow a small kind code (see vek::MessageStyle).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string_view>

namespace vek::ui {

// Returns the id of the button that closed the box (IDOK, IDYES, IDNO). The box is owned by
// `owner` (the main window, or none before it exists), which it keeps disabled while open.
std::uint8_t ShowMessage(HWND owner, std::uint8_t kind, std::u16string_view title,
                         std::u16string_view message, std::u16string_view detail = {});

}  // namespace vek::ui
