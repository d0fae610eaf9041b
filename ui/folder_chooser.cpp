#include "folder_chooser.h"

#include <shlobj.h>

#include "win32_handles.h"

namespace vek::ui {

std::wstring BrowseForFolder(HWND owner, std::wstring_view title, const std::wstring& startFolder) {
  std::wstring result = startFolder;

  // The shell may write up to MAX_PATH characters into either buffer.
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

  const CoTaskMemPtr<ITEMIDLIST> item(::SHBrowseForFolderW(&info));
  if (item) {
    wchar_t path[MAX_PATH] = {};
    ::SHGetPathFromIDListW(item.get(), path);
    result = path;
  }
  return result;
}

int CALLBACK BrowseCallbackProc(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
  return 0;
}

}  // namespace vek::ui
