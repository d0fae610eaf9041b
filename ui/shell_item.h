// Between paths and the shell's item ids, at any length: the shell takes no extended-length
// path, and the path buffers of its older calls hold MAX_PATH characters.
#pragma once

#include <windows.h>

#include <shtypes.h>

#include <string>

#include "win32_handles.h"

namespace vek::ui {

// The item of a file or folder, for a path as typed or as the walk made it (relative, with "/",
// "." or ".." and past MAX_PATH included); none when the shell does not know it. Needs COM.
CoTaskMemPtr<ITEMIDLIST> ItemOfPath(const std::wstring& path);

// The file-system path of an item, shown as the user reads it (no extended-length prefix);
// empty for an item that has none.
std::wstring PathOfItem(PCIDLIST_ABSOLUTE item);

}  // namespace vek::ui
