// The core speaks UTF-16 as char16_t, Win32 as wchar_t; on Windows both are the same code
// units, so these conversions only copy.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vek::ui {

static_assert(sizeof(wchar_t) == sizeof(char16_t));

inline std::wstring ToWide(std::u16string_view text) {
  return {text.begin(), text.end()};
}
inline std::u16string ToU16(std::wstring_view text) {
  return {text.begin(), text.end()};
}

// A window's whole text (a box's content, a caption).
std::wstring WindowText(HWND window);

}  // namespace vek::ui
