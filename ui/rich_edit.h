// The result box: the system RichEdit control and the ways it is filled.
#pragma once

#include <windows.h>

#include <richedit.h>

#include <cstdint>
#include <functional>
#include <string>
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

// The content, or with SFF_SELECTION in `format` the selection, as the box writes it out.
std::string StreamOutRtf(HWND box, WPARAM format);

// Replaces the whole content with the RTF document.
void StreamInRtf(HWND box, std::string_view rtf);

// Adds the RTF piece at the end of the content, before the box's final paragraph mark.
void AppendRtf(HWND box, std::string_view rtf);

// Replaces the whole content with plain text in the normal format, whatever colour the text
// it replaces had.
void SetPlainText(HWND box, const wchar_t* text);

// Whether a copy out of a box may go ahead: asked with the number of characters selected, and
// told when the copy did not go ahead for lack of memory, so that the user can be told.
struct CopyGuard {
  std::function<bool(std::uint64_t characters)> fits;
  std::function<void()> refused;
};

// Makes a read-only box behave like the window's other controls: Tab and Shift+Tab move the
// focus on, Esc does nothing (the multi-line control would ask its window to close), and a
// context menu with Copy and Select All opens on a right click, the menu key or Shift+F10.
// Copies go through `guard` when one is given; it must outlive the box. Run it on every box
// that is created.
void AttachReadOnlyBoxBehaviour(HWND box, const CopyGuard* guard = nullptr);

}  // namespace vek::ui
