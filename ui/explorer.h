// Shows a file in the system's file browser.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace vek::ui {

// The browser's arguments that open the file's folder with the file selected.
std::wstring ExplorerSelectParameters(const std::filesystem::path& file);

void ShowInExplorer(HWND owner, const std::filesystem::path& file);

}  // namespace vek::ui
