// Whether a search may start, and if not, which message and which box gets the focus.
// Showing the message and moving the focus are the window's.
#pragma once

#include <string_view>

#include "file_system.h"

namespace vek {

enum class InputField { None, KeyWord, FilePath };  // txtKeyWord, txtFilePath

struct InputVerdict {
  bool accepted = true;
  std::u16string_view message;  // one of the kMsg texts of messages.h when refused
  InputField focus = InputField::None;
};

// The checks in order, the first failure decides: keyword text empty, a half-width-only
// keyword of 1 or 2 characters, folder text empty, folder missing (or a file).
InputVerdict CheckInput(std::u16string_view keywordText, std::u16string_view folderText,
                        FileSystem& fileSystem);

// True exactly when `path` names an existing folder; false for a file, "" or a missing path.
bool FolderExists(std::u16string_view path, FileSystem& fileSystem);

}  // namespace vek
