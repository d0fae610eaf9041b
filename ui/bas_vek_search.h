// basVekSearch: the program's start-up and the state it shares with the window for the whole run.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "layout.h"
#include "search_core.h"
#include "win32_handles.h"

namespace vek::ui {

struct basVekSearch {
  SearchState shared;  // gSearchPath, gFileList, gFileCount, gCancel
  std::int32_t gTwipsPerPixelX = kTwipsPerPixel;
  std::int32_t gTwipsPerPixelY = kTwipsPerPixel;
  // Held while the program runs; the window lets it go as soon as it closes.
  UniqueHandle instanceLock;
};

// Names the running instance for the whole session of the user.
inline constexpr wchar_t kInstanceMutexName[] = L"Local\\VekSearch.SingleInstance";

// The program: refuses a second instance, opens the window and runs until it is closed.
// Returns the process exit code.
int Main(HINSTANCE instance, int showCommand);

// The folder that holds the running program file.
std::wstring ProgramFolder();

}  // namespace vek::ui
