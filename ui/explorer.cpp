#include "explorer.h"

#include <shlobj.h>

#include "shell_item.h"

namespace vek::ui {

// By item rather than by a command line for explorer.exe, whose path argument is cut at
// MAX_PATH.
void ShowInExplorer(HWND, const std::filesystem::path& file) {
  if (const CoTaskMemPtr<ITEMIDLIST> item = ItemOfPath(file.native()))
    ::SHOpenFolderAndSelectItems(item.get(), 0, nullptr, 0);
}

}  // namespace vek::ui
