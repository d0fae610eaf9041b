#include "rich_edit.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <type_traits>

namespace vek::ui {
namespace {

struct RtfSource {
  std::string_view rest;
};

DWORD CALLBACK ReadRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
  auto& source = *reinterpret_cast<RtfSource*>(cookie);
  const std::size_t count = std::min(source.rest.size(), static_cast<std::size_t>(wanted));
  std::memcpy(buffer, source.rest.data(), count);
  source.rest.remove_prefix(count);
  *given = static_cast<LONG>(count);
  return 0;
}

constexpr UINT_PTR kReadOnlyBoxSubclass = 0x5642;  // 'VB'

// Worded as the system's own edit menu words them on a Japanese system.
constexpr wchar_t kMenuCopy[] = L"コピー(&C)";
constexpr wchar_t kMenuSelectAll[] = L"すべて選択(&A)";
enum MenuCommand : UINT { kCommandCopy = 1, kCommandSelectAll };

struct MenuDestroyer {
  void operator()(HMENU menu) const noexcept { ::DestroyMenu(menu); }
};

// Where a menu opened from the keyboard appears: under the caret, inside the box.
POINT CaretPoint(HWND box) {
  CHARRANGE selection = {};
  ::SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  POINTL caret = {};
  ::SendMessageW(box, EM_POSFROMCHAR, reinterpret_cast<WPARAM>(&caret), selection.cpMax);
  RECT client;
  ::GetClientRect(box, &client);
  POINT point = {std::clamp<LONG>(caret.x, 0, client.right),
                 std::clamp<LONG>(caret.y + ::GetSystemMetrics(SM_CYMENU), 0, client.bottom)};
  ::ClientToScreen(box, &point);
  return point;
}

void ShowContextMenu(HWND box, LPARAM where) {
  POINT point = {GET_X_LPARAM(where), GET_Y_LPARAM(where)};
  if (point.x == -1 && point.y == -1) point = CaretPoint(box);

  CHARRANGE selection = {};
  ::SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const bool empty = ::GetWindowTextLengthW(box) == 0;
  const std::unique_ptr<std::remove_pointer_t<HMENU>, MenuDestroyer> menu(::CreatePopupMenu());
  ::AppendMenuW(menu.get(), selection.cpMin == selection.cpMax ? MF_GRAYED : MF_ENABLED,
                kCommandCopy, kMenuCopy);
  ::AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu.get(), empty ? MF_GRAYED : MF_ENABLED, kCommandSelectAll, kMenuSelectAll);
  switch (::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, point.x, point.y, 0, box,
                           nullptr)) {
    case kCommandCopy:
      ::SendMessageW(box, WM_COPY, 0, 0);
      break;
    case kCommandSelectAll: {
      CHARRANGE all = {0, -1};
      ::SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all));
      break;
    }
    default:
      break;
  }
}

// The selection as text and as RTF, put on the clipboard at once rather than left for the box to
// render on request: the box's thread ends with its box, and a later request would find no one.
// A copy that does not fit the memory there is is refused as a whole, never half made.
void CopySelection(HWND box, const CopyGuard* guard) {
  CHARRANGE selection = {};
  ::SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  if (selection.cpMin == selection.cpMax) return;
  const auto characters = static_cast<std::size_t>(selection.cpMax - selection.cpMin);
  const auto refuse = [guard] {
    if (guard != nullptr && guard->refused) guard->refused();
  };
  if (guard != nullptr && guard->fits && !guard->fits(characters)) {
    refuse();
    return;
  }
  std::wstring text;
  std::string rtf;
  try {
    // Each paragraph mark may become CR LF.
    text.assign(2 * characters + 1, L'\0');
    GETTEXTEX get = {};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_SELECTION | GT_USECRLF;
    get.codepage = 1200;  // UTF-16
    text.resize(static_cast<std::size_t>(::SendMessageW(
        box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()))));
    rtf = StreamOutRtf(box, SF_RTF | SFF_SELECTION);
  } catch (const std::bad_alloc&) {
    refuse();
    return;
  }

  // A format is offered only with its data: a null handle would promise to render it later.
  const auto offer = [](UINT format, const void* data, std::size_t size) {
    const HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) return false;
    void* const target = ::GlobalLock(memory);
    if (target != nullptr) {
      std::memcpy(target, data, size);
      ::GlobalUnlock(memory);
      if (::SetClipboardData(format, memory) != nullptr) return true;  // the clipboard owns it now
    }
    ::GlobalFree(memory);
    return false;
  };
  if (!::OpenClipboard(box)) return;
  ::EmptyClipboard();
  // Japanese: a program that asks for CF_TEXT gets the text converted through code page 932.
  const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
  const bool copied = offer(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t)) &&
                      offer(::RegisterClipboardFormatW(CF_RTF), rtf.c_str(), rtf.size() + 1) &&
                      offer(CF_LOCALE, &japanese, sizeof(japanese));
  if (!copied) ::EmptyClipboard();
  ::CloseClipboard();
  if (!copied) refuse();
}

bool IsCopyKey(WPARAM key) {
  return (::GetKeyState(VK_CONTROL) & 0x8000) != 0 && (key == 'C' || key == VK_INSERT);
}

bool IsMenuKey(WPARAM key) {
  return key == VK_APPS || (key == VK_F10 && (::GetKeyState(VK_SHIFT) & 0x8000) != 0);
}

LRESULT CALLBACK ReadOnlyBoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR data) {
  const auto* guard = reinterpret_cast<const CopyGuard*>(data);
  switch (message) {
    case WM_GETDLGCODE: {
      LRESULT code = ::DefSubclassProc(box, message, wParam, lParam);
      const auto* key = reinterpret_cast<const MSG*>(lParam);
      if (key != nullptr && key->message == WM_KEYDOWN &&
          (key->wParam == VK_TAB || key->wParam == VK_ESCAPE)) {
        // Left to the window's dialog keys, which move the focus on or ignore the key.
        code &= ~(DLGC_WANTTAB | DLGC_WANTALLKEYS);
      }
      return code;
    }
    case WM_KEYDOWN:
    case WM_CHAR:
      // Whatever still reaches the box of these keys: nothing to type in a read-only box,
      // and Esc must not turn into a close request.
      if (wParam == VK_ESCAPE || wParam == VK_TAB) return 0;
      if (message == WM_KEYDOWN && wParam == VK_APPS) {
        ShowContextMenu(box, -1);
        return 0;
      }
      if (message == WM_KEYDOWN && IsCopyKey(wParam)) {
        CopySelection(box, guard);
        return 0;
      }
      break;
    case WM_COPY:
      CopySelection(box, guard);
      return 0;
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_KEYUP:
      // The menu opens on the key going down; its release must neither open it a second
      // time nor, for F10, enter the window's menu.
      if (IsMenuKey(wParam)) {
        if (message == WM_SYSKEYDOWN) ShowContextMenu(box, -1);
        return 0;
      }
      break;
    case WM_CONTEXTMENU:
      ShowContextMenu(box, lParam);
      return 0;
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(box, ReadOnlyBoxProc, id);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(box, message, wParam, lParam);
}

void Stream(HWND box, std::string_view rtf, WPARAM format) {
  RtfSource source{rtf};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadRtf;
  ::SendMessageW(box, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
}

}  // namespace

void AttachReadOnlyBoxBehaviour(HWND box, const CopyGuard* guard) {
  ::SetWindowSubclass(box, ReadOnlyBoxProc, kReadOnlyBoxSubclass,
                      reinterpret_cast<DWORD_PTR>(guard));
}

RichEditLibrary::RichEditLibrary() {
  module_.reset(::LoadLibraryW(L"msftedit.dll"));
  if (module_) {
    className_ = MSFTEDIT_CLASS;
  } else {
    module_.reset(::LoadLibraryW(L"riched20.dll"));
    className_ = RICHEDIT_CLASSW;
  }
}

CHARFORMAT2W NormalCharFormat() {
  CHARFORMAT2W format = {};
  format.cbSize = sizeof(format);
  format.dwMask = CFM_FACE | CFM_SIZE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC |
                  CFM_UNDERLINE | CFM_STRIKEOUT;
  format.dwEffects = CFE_AUTOCOLOR;
  format.yHeight = 9 * 20;  // twips
  format.bCharSet = SHIFTJIS_CHARSET;
  format.bPitchAndFamily = FIXED_PITCH | FF_MODERN;
  std::wcsncpy(format.szFaceName, L"ＭＳ ゴシック", LF_FACESIZE - 1);
  return format;
}

std::string StreamOutRtf(HWND box, WPARAM format) {
  std::string rtf;
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&rtf);
  stream.pfnCallback = [](DWORD_PTR cookie, LPBYTE buffer, LONG size, LONG* taken) -> DWORD {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(buffer),
                                                   static_cast<std::size_t>(size));
    *taken = size;
    return 0;
  };
  ::SendMessageW(box, EM_STREAMOUT, format, reinterpret_cast<LPARAM>(&stream));
  return rtf;
}

void StreamInRtf(HWND box, std::string_view rtf) {
  Stream(box, rtf, SF_RTF);
}

void AppendRtf(HWND box, std::string_view rtf) {
  // Past the end: the box puts the caret before its final paragraph mark.
  CHARRANGE end = {LONG_MAX, LONG_MAX};
  ::SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
  Stream(box, rtf, SF_RTF | SFF_SELECTION);
}

void SetPlainText(HWND box, const wchar_t* text) {
  ::SetWindowTextW(box, text);
  CHARFORMAT2W format = NormalCharFormat();
  ::SendMessageW(box, EM_SETCHARFORMAT, SCF_ALL, reinterpret_cast<LPARAM>(&format));
}

}  // namespace vek::ui
