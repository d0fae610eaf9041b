// The result box: the system RichEdit control and the ways it is filled.
#pragma once

#include <windows.h>

#include <richedit.h>

#include <string_view>

#include "win32_handles.h"

namespace vek::ui {

// Keeps a RichEdit library loaded for as long as a box of it may exist: msftedit.dll where
// there is one, riched20.dll otherwise.
class RichEditLibrary {
 public:
  RichEditLibrary();
  const wchar_t* ClassName() const { return className_; }

 private:
  UniqueModule module_;
  const wchar_t* className_ = RICHEDIT_CLASSW;
};

// The box's normal character format: ＭＳ ゴシック 9 pt, Shift-JIS, automatic colour.
CHARFORMAT2W NormalCharFormat();

// Replaces the whole content with the RTF document.
void StreamInRtf(HWND box, std::string_view rtf);

// Adds the RTF piece at the end of the content, before the box's final paragraph mark.
void AppendRtf(HWND box, std::string_view rtf);

// Replaces the whole content with plain text in the normal format, whatever colour the text
// it replaces had.
void SetPlainText(HWND box, const wchar_t* text);

}  // namespace vek::ui
