// The shell's folder browser, opened on the folder currently in the folder box.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace vek::ui {

// The folder the user chose, or `startFolder` itself when the dialog was cancelled. Empty
// when the shell gave an item without a file-system path.
std::wstring BrowseForFolder(HWND owner, std::wstring_view title, const std::wstring& startFolder);

// Preselects the start folder (passed as the callback data) once the dialog is up, and again
// until the shell's tree holds it if the first attempt finds the tree not ready.
int CALLBACK BrowseCallbackProc(HWND window, UINT message, LPARAM parameter, LPARAM data);

}  // namespace vek::ui
