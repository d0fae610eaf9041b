// Shows a file in the system's file browser.
#pragma once

#include <windows.h>

#include <filesystem>

namespace vek::ui {

// Opens the file's folder with the file selected, at any path length. From a thread with COM.
void ShowInExplorer(HWND owner, const std::filesystem::path& file);

}  // namespace vek::ui
