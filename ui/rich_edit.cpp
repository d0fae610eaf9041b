#include "rich_edit.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <cwchar>

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

void Stream(HWND box, std::string_view rtf, WPARAM format) {
  RtfSource source{rtf};
  EDITSTREAM stream = {};
  stream.dwCookie = reinterpret_cast<DWORD_PTR>(&source);
  stream.pfnCallback = ReadRtf;
  ::SendMessageW(box, EM_STREAMIN, format, reinterpret_cast<LPARAM>(&stream));
}

}  // namespace

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
