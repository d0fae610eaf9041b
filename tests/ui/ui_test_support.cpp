#include "ui_test_support.h"

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <fstream>

#include "event_pump.h"
#include "rich_edit.h"

namespace vek::ui::test {
namespace {

std::string Cp932(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
  return bytes;
}

std::wstring ClassName(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}

// The thread's windows, or with no thread, those of every thread of this process.
std::vector<HWND> VisibleThreadWindows(DWORD thread, std::wstring_view className) {
  struct Search {
    std::wstring_view className;
    std::vector<HWND> found;
  } search{className, {}};
  const WNDENUMPROC collect = [](HWND window, LPARAM data) {
    auto& search = *reinterpret_cast<Search*>(data);
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId() && ClassName(window) == search.className &&
        ::IsWindowVisible(window)) {
      search.found.push_back(window);
    }
    return TRUE;
  };
  if (thread != 0) {
    ::EnumThreadWindows(thread, collect, reinterpret_cast<LPARAM>(&search));
  } else {
    ::EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

}  // namespace

TempTree::TempTree() {
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  wchar_t longTemp[MAX_PATH + 1] = {};
  ::GetLongPathNameW(temp, longTemp, MAX_PATH + 1);
  const std::wstring name = L"vekui-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(::GetTickCount64());
  root_ = std::filesystem::path(longTemp[0] != 0 ? longTemp : temp) / name;
  std::filesystem::create_directories(root_);
}

TempTree::~TempTree() {
  std::error_code ignored;
  std::filesystem::remove_all(root_, ignored);
}

std::filesystem::path TempTree::Folder(std::wstring_view relative) const {
  const std::filesystem::path folder = root_ / relative;
  std::filesystem::create_directories(folder);
  return folder;
}

std::filesystem::path TempTree::File(std::wstring_view relative,
                                     const std::vector<std::wstring>& lines) {
  const std::filesystem::path file = root_ / relative;
  std::filesystem::create_directories(file.parent_path());
  std::wstring text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i != 0) text += L"\r\n";
    text += lines[i];
  }
  std::ofstream(file, std::ios::binary) << Cp932(text);
  return file;
}

DialogWatcher::DialogWatcher(int answer, HWND countLabel, std::function<bool(HWND)> ready)
    : uiThread_(::GetCurrentThreadId()),
      answer_(answer),
      countLabel_(countLabel),
      ready_(std::move(ready)),
      thread_([this](std::stop_token stop) { Watch(stop); }) {}

DialogWatcher::~DialogWatcher() {
  thread_.request_stop();
  thread_.join();
}

std::vector<SeenDialog> DialogWatcher::Seen() const {
  const std::lock_guard lock(mutex_);
  return seen_;
}

void DialogWatcher::Watch(std::stop_token stop) {
  while (!stop.stop_requested()) {
    for (const HWND box : VisibleThreadWindows(uiThread_, L"#32770")) {
      {
        const std::lock_guard lock(mutex_);
        if (std::find(answered_.begin(), answered_.end(), box) != answered_.end()) continue;
      }
      if (ready_ && !ready_(box)) continue;
      SeenDialog dialog;
      dialog.title = Text(box);
      wchar_t text[4096] = {};
      ::GetDlgItemTextW(box, 0xFFFF, text, 4096);
      dialog.text = text;
      for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
           child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassName(child) != L"Static") continue;
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
          dialog.icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
        } else {
          dialog.staticTexts.push_back(Text(child));
        }
      }
      const auto visible = [box](int id) {
        const HWND button = ::GetDlgItem(box, id);
        return button != nullptr && ::IsWindowVisible(button);
      };
      dialog.hasOk = visible(IDOK);
      dialog.hasCancel = visible(IDCANCEL);
      dialog.hasYes = visible(IDYES);
      dialog.hasNo = visible(IDNO);
      if (countLabel_ != nullptr) dialog.countLabelAtTheTime = Text(countLabel_);
      {
        const std::lock_guard lock(mutex_);
        seen_.push_back(dialog);
        answered_.push_back(box);
      }
      ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(::GetDlgItem(box, answer_)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

MenuWatcher::MenuWatcher(wchar_t pick)
    : pick_(pick), thread_([this](std::stop_token stop) { Watch(stop); }) {}

MenuWatcher::~MenuWatcher() {
  thread_.request_stop();
  thread_.join();
}

std::vector<std::vector<MenuWatcher::Item>> MenuWatcher::Seen() const {
  const std::lock_guard lock(mutex_);
  return seen_;
}

void MenuWatcher::Watch(std::stop_token stop) {
  while (!stop.stop_requested()) {
    // The result box, and so its menu, has a thread of its own.
    for (const HWND popup : VisibleThreadWindows(0, L"#32768")) {
      if (std::find(answered_.begin(), answered_.end(), popup) != answered_.end()) continue;
      const auto menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
      std::vector<Item> items;
      for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        ::GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        const UINT state = ::GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
        const bool enabled = (state & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR)) == 0;
        items.push_back({text, enabled});
      }
      {
        const std::lock_guard lock(mutex_);
        seen_.push_back(items);
      }
      answered_.push_back(popup);
      if (pick_ != 0) {
        ::PostMessageW(popup, WM_CHAR, pick_, 0);
      } else {
        ::PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

GatedFileSystem::GatedFileSystem(Kind kind, std::wstring folderName)
    : kind_(kind), folderName_(std::move(folderName)) {}

bool GatedFileSystem::Held() const {
  const std::lock_guard lock(mutex_);
  return held_;
}

void GatedFileSystem::Release() {
  {
    const std::lock_guard lock(mutex_);
    open_ = true;
  }
  opened_.notify_all();
}

void GatedFileSystem::Pass(Kind kind, const std::filesystem::path& folder) {
  if (kind != kind_ || folder.filename() != folderName_) return;
  std::unique_lock lock(mutex_);
  held_ = true;
  opened_.wait(lock, [this] { return open_; });
}

std::error_code GatedFileSystem::ListFolder(const std::filesystem::path& folder,
                                            FolderListing& listing) {
  Pass(Kind::Listing, folder);
  return real_.ListFolder(folder, listing);
}

std::error_code GatedFileSystem::Open(const std::filesystem::path& file,
                                      std::unique_ptr<FileReader>& reader) {
  Pass(Kind::Reading, file.parent_path());
  return real_.Open(file, reader);
}

std::optional<FolderIdentity> GatedFileSystem::Identity(const std::filesystem::path& folder) {
  return real_.Identity(folder);
}

bool GatedFileSystem::IsFolder(const std::filesystem::path& path) {
  return real_.IsFolder(path);
}

PumpedAction::PumpedAction() {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = Proc;
  windowClass.hInstance = ::GetModuleHandleW(nullptr);
  windowClass.lpszClassName = L"VekTestPumpedAction";
  ::RegisterClassExW(&windowClass);
  window_ = ::CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                              nullptr, windowClass.hInstance, nullptr);
  ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

PumpedAction::~PumpedAction() {
  ::DestroyWindow(window_);
}

void PumpedAction::Post(std::function<void()> action) {
  action_ = std::move(action);
  ::PostMessageW(window_, WM_APP, 0, 0);
}

LRESULT CALLBACK PumpedAction::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    auto* self = reinterpret_cast<PumpedAction*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    self->ran_ = true;
    self->action_();
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG message;
  while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

void PumpUntil(const std::function<bool()>& done, bool oneByOne) {
  while (!done()) {
    MSG message;
    if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
      if (!oneByOne) Pump();
    } else {
      // Woken by the next message, or soon for a condition that another thread changes.
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
  }
}

void SetText(HWND control, std::wstring_view text) {
  const std::wstring value(text);
  ::SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(value.c_str()));
}

std::wstring Text(HWND control) {
  wchar_t text[4096] = {};
  ::SendMessageW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
  return text;
}

void Click(HWND button) {
  ::SendMessageW(button, BM_CLICK, 0, 0);
}

void PressKey(HWND window, WPARAM key, bool shift) {
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  const BYTE before = keys[VK_SHIFT];
  keys[VK_SHIFT] = shift ? 0x80 : 0;
  ::SetKeyboardState(keys);
  const bool system = key == VK_F10;
  for (const UINT message :
       {system ? WM_SYSKEYDOWN : WM_KEYDOWN, system ? WM_SYSKEYUP : WM_KEYUP}) {
    const LPARAM flags = message == WM_KEYDOWN || message == WM_SYSKEYDOWN ? 1 : 0xC0000001;
    MSG msg = {::GetFocus(), message, key, flags, 0, {}};
    if (::GetWindowThreadProcessId(msg.hwnd, nullptr) != ::GetCurrentThreadId() && key != VK_TAB &&
        key != VK_RETURN && key != VK_ESCAPE) {
      // A control of another thread (the result box) has the key from that thread's loop,
      // which handles the dialog keys as this one does.
      ::SendMessageW(msg.hwnd, message, key, flags);
      continue;
    }
    DispatchWindowMessage(window, msg);
    // What the key left in the queue (its character, a posted command) goes the same way.
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchWindowMessage(window, msg);
  }
  keys[VK_SHIFT] = before;
  ::SetKeyboardState(keys);
}

void ClickPanel(HWND statusBar, int part, bool post) {
  RECT rect;
  ::SendMessageW(statusBar, SB_GETRECT, part, reinterpret_cast<LPARAM>(&rect));
  const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  if (post) {
    ::PostMessageW(statusBar, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::PostMessageW(statusBar, WM_LBUTTONUP, 0, point);
  } else {
    ::SendMessageW(statusBar, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(statusBar, WM_LBUTTONUP, 0, point);
  }
}

std::wstring RichText(HWND box) {
  GETTEXTLENGTHEX lengthQuery = {GTL_DEFAULT | GTL_NUMCHARS, 1200};
  const auto length =
      ::SendMessageW(box, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthQuery), 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  GETTEXTEX query = {};
  query.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  query.flags = GT_DEFAULT;
  query.codepage = 1200;
  const auto copied = ::SendMessageW(box, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&query),
                                     reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

std::string RtfOf(HWND box) {
  return StreamOutRtf(box, SF_RTF);
}

std::wstring StatusText(HWND statusBar) {
  wchar_t text[512] = {};
  ::SendMessageW(statusBar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string Colours(HWND box) {
  const std::wstring text = RichText(box);
  std::string colours;
  for (std::size_t i = 0; i < text.size(); ++i) {
    ::SendMessageW(box, EM_SETSEL, i, i + 1);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR;
    ::SendMessageW(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    if ((format.dwEffects & CFE_AUTOCOLOR) != 0) {
      colours += '.';
    } else if (format.crTextColor == RGB(255, 0, 0)) {
      colours += 'R';
    } else {
      colours += '?';
    }
  }
  ::SendMessageW(box, EM_SETSEL, 0, 0);
  return colours;
}

std::string ExpectedColours(std::wstring_view text, const std::vector<std::wstring>& keywords) {
  std::string colours(text.size(), '.');
  for (const std::wstring& keyword : keywords) {
    if (keyword.empty()) continue;
    for (std::size_t at = text.find(keyword); at != std::wstring_view::npos;
         at = text.find(keyword, at + 1)) {
      std::fill_n(colours.begin() + static_cast<std::ptrdiff_t>(at), keyword.size(), 'R');
    }
  }
  return colours;
}

RECT ClientRect(HWND control) {
  RECT rect;
  ::GetWindowRect(control, &rect);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT OuterRect(HWND window) {
  RECT rect;
  ::GetWindowRect(window, &rect);
  return rect;
}

std::vector<std::uint32_t> ShownPixels(HWND control) {
  const HWND top = ::GetAncestor(control, GA_ROOT);
  const RECT rect = OuterRect(control);
  const RECT frame = OuterRect(top);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * height);
  // A window DC without child clipping, so that the children's pixels can be read back.
  const HDC source = ::GetDCEx(top, nullptr, DCX_WINDOW | DCX_CACHE);
  const HDC memory = ::CreateCompatibleDC(source);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  const HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, source, rect.left - frame.left, rect.top - frame.top,
           SRCCOPY);
  ::GdiFlush();
  std::copy_n(static_cast<const std::uint32_t*>(bits), pixels.size(), pixels.begin());
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(top, source);
  return pixels;
}

void WindowTest::SetUp() {
  module_.shared.gSearchPath = u"C:\\windows";
  form_.emplace(::GetModuleHandleW(nullptr), module_, fileSystem_);
  form_->Show(SW_SHOWNORMAL);
  Pump();
}

void WindowTest::TearDown() {
  form_.reset();
  Pump();
}

void WindowTest::StartSearch(std::wstring_view keywords, std::wstring_view folder,
                             bool subFolders) {
  SetText(c().txtKeyWord, keywords);
  SetText(c().txtFilePath, folder);
  ::SendMessageW(c().chkSubFolder, BM_SETCHECK, subFolders ? BST_CHECKED : BST_UNCHECKED, 0);
  Click(c().cmdSearch);
}

void WindowTest::Search(std::wstring_view keywords, std::wstring_view folder, bool subFolders) {
  StartSearch(keywords, folder, subFolders);
  PumpUntil([this] { return !form_->Searching(); });
}

std::vector<std::wstring> WindowTest::ResultLines() const {
  const std::wstring text = RichText(c().rtbSearchResult);
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(L'\r', start)) != std::wstring::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

}  // namespace vek::ui::test
