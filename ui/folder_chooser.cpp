#include "folder_chooser.h"

#include <commctrl.h>
#include <shlobj.h>

#include "shell_item.h"
#include "win32_handles.h"

namespace vek::ui {

std::wstring BrowseForFolder(HWND owner, std::wstring_view title, const std::wstring& startFolder) {
  std::wstring result = startFolder;

  // The shell writes up to MAX_PATH characters of the item's name.
  wchar_t displayName[MAX_PATH] = {};
  const std::wstring titleText(title);
  BROWSEINFOW info = {};
  info.hwndOwner = owner;
  info.pidlRoot = nullptr;
  info.pszDisplayName = displayName;
  info.lpszTitle = titleText.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = BrowseCallbackProc;
  info.lParam = reinterpret_cast<LPARAM>(startFolder.c_str());
  info.iImage = 0;

  // The path of any length: SHGetPathFromIDListW writes at most MAX_PATH characters.
  if (const CoTaskMemPtr<ITEMIDLIST> item(::SHBrowseForFolderW(&info)); item)
    result = PathOfItem(item.get());
  return result;
}

namespace {

constexpr UINT kReselectMilliseconds = 100;

bool TreeHasSelection(HWND dialog) {
  const HWND tree = ::FindWindowExW(dialog, nullptr, WC_TREEVIEWW, nullptr);
  return tree == nullptr || ::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0) != 0;
}

// The timer's id is the callback data, the start folder. Once anything is selected (the
// start folder, or whatever the user clicked), the timer ends.
void CALLBACK Reselect(HWND dialog, UINT, UINT_PTR folder, DWORD) {
  if (TreeHasSelection(dialog)) {
    ::KillTimer(dialog, folder);
    return;
  }
  ::SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, static_cast<LPARAM>(folder));
}

}  // namespace

int CALLBACK BrowseCallbackProc(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message != BFFM_INITIALIZED) return 0;
  ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  // On a freshly set-up system the shell's tree may not be able to take the selection yet
  // (seen on a new Wine prefix: the browser opened with nothing selected, and OK gave the
  // desktop). It is applied again until the tree holds a selection.
  if (!TreeHasSelection(window)) {
    ::SetTimer(window, static_cast<UINT_PTR>(data), kReselectMilliseconds, Reselect);
  }
  return 0;
}

}  // namespace vek::ui
