// What the GUI tests share: data trees on disk, the real window in this process, a watcher that
// reads and answers the dialogs and menus the window opens, and readers of what a user sees.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <imm.h>
#include <richedit.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "bas_vek_search.h"
#include "cp932.h"
#include "event_pump.h"
#include "frm_vek_search.h"
#include "test_support.h"
#include "wide_text.h"
#include "win32_handles.h"

namespace vek::ui::test {

// A folder under %TEMP%, removed again; its files written in CP932, each line ended with CR LF.
class TempTree : public vek::test::TempTree {
 public:
  std::wstring Text() const { return root().wstring(); }
  std::filesystem::path File(const std::wstring& name, const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) text += line + L"\r\n";
    return Write(name, ToU16(text));
  }
};

// A dialog as a user reads it: "title|static text|...|icon buttons", the icon "stop",
// "warning" or "icon" for any other, the buttons those shown.
inline std::wstring Describe(HWND dialog) {
  std::wstring texts = WindowText(dialog), icon, buttons;
  for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
    wchar_t name[16] = {};
    ::GetClassNameW(child, name, 16);
    const std::wstring_view kind = name;
    const auto handle = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    if (kind == L"Button" && ::IsWindowVisible(child)) {
      buttons += L" " + WindowText(child);
    } else if (kind == L"Static" && (::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      icon = handle == ::LoadIconW(nullptr, IDI_HAND)          ? L"stop"
             : handle == ::LoadIconW(nullptr, IDI_EXCLAMATION) ? L"warning"
                                                               : L"icon";
    } else if (kind == L"Static") {
      texts += L"|" + WindowText(child);
    }
  }
  return texts + L"|" + icon + buttons;
}

// What a Watcher looks for and how it answers.
struct Watch {
  const wchar_t* className = L"#32770";  // a dialog; "#32768" is a popup menu
  UINT message = WM_COMMAND;
  WPARAM answer = IDOK;
  std::function<std::optional<std::wstring>(HWND)> read = Describe;
};

// Watches this process from a second thread (the result box's menu comes from the box's own
// thread) for the visible windows of one class that a modal call opens: each new one is read,
// once `read` finds it showing what a user would wait for, and answered, so that the call returns.
class Watcher {
 public:
  explicit Watcher(Watch watch = {})
      : thread_([this, watch](std::stop_token stop) {
          for (std::vector<HWND> answered; !stop.stop_requested(); ::Sleep(10)) {
            HWND window = nullptr;
            while ((window = ::FindWindowExW(nullptr, window, watch.className, nullptr))) {
              DWORD process = 0;
              ::GetWindowThreadProcessId(window, &process);
              if (process != ::GetCurrentProcessId() || !::IsWindowVisible(window) ||
                  std::ranges::count(answered, window) != 0) {
                continue;
              }
              if (const std::optional<std::wstring> seen = watch.read(window)) {
                answered.push_back(window);
                const std::lock_guard lock(mutex_);
                seen_.push_back(*seen);
                ::PostMessageW(window, watch.message, watch.answer, 0);
              }
            }
          }
        }) {}

  std::vector<std::wstring> Seen() const {
    const std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::wstring> seen_;
  std::jthread thread_;  // last: stopped and joined before the rest goes
};

// Handles this thread's messages, waiting for more, until `done` holds (asked after every
// message); with no condition, until none is waiting.
inline void PumpUntil(const std::function<bool()>& done = {}) {
  for (MSG message; done ? !done() : ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);) {
    if (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    } else {  // woken by the next message, or soon for a condition another thread changes
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
  }
}

// A key pressed and released on the focused control, Shift held if asked, handled as the
// program's own message loop handles it (dialog keys included), with what follows from it.
inline void PressKey(HWND window, WPARAM key, bool shift = false) {
  BYTE keys[256] = {};
  ::GetKeyboardState(keys);
  const BYTE before = std::exchange(keys[VK_SHIFT], shift ? 0x80 : 0);
  ::SetKeyboardState(keys);
  const UINT down = key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN;  // the key up is the next one
  for (const auto& [message, flags] : {std::pair<UINT, LPARAM>{down, 1}, {down + 1, 0xC0000001}}) {
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

// Once it returns, what this thread asked of another thread's window without waiting for it (a
// move, a show) is done: sent messages are handled in order.
inline void Settle(HWND window) {
  ::SendMessageW(window, WM_NULL, 0, 0);
}

// Holds the thread of a window (the result box's) inside a message of its own until released or
// destroyed, as a box busy laying out a large result would be: what the window does meanwhile is
// what it does without waiting for the box.
class ThreadHold {
 public:
  explicit ThreadHold(HWND window)
      : hook_(::SetWindowsHookExW(WH_GETMESSAGE, Hook, nullptr,
                                  ::GetWindowThreadProcessId(window, nullptr))) {
    current_ = this;
    ::PostMessageW(window, kHold, 0, 0);
    PumpUntil([this] { return ::WaitForSingleObject(entered_.get(), 0) == WAIT_OBJECT_0; });
  }
  ~ThreadHold() { Release(); }
  ThreadHold(const ThreadHold&) = delete;
  ThreadHold& operator=(const ThreadHold&) = delete;

  void Release() {
    ::SetEvent(release_.get());
    if (hook_ != nullptr) ::UnhookWindowsHookEx(std::exchange(hook_, nullptr));
  }

 private:
  static constexpr UINT kHold = WM_APP + 99;
  static LRESULT CALLBACK Hook(int code, WPARAM removed, LPARAM lParam) {
    const auto* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && removed == PM_REMOVE && message->message == kHold && current_) {
      ::SetEvent(current_->entered_.get());
      ::WaitForSingleObject(current_->release_.get(), INFINITE);
    }
    return ::CallNextHookEx(nullptr, code, removed, lParam);
  }

  inline static ThreadHold* current_ = nullptr;
  UniqueHandle entered_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle release_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HHOOK hook_;
};

using Box = std::array<int, 4>;  // left, top, width, height

// In the parent's client coordinates; for the window, its outer box on the screen.
inline Box BoxOf(HWND control) {
  RECT r;
  ::GetWindowRect(control, &r);
  ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// The result box's text, paragraphs ended by "\r", red runs in brackets, '?' after a character
// in another colour than red or automatic, or in another font than ＭＳ ゴシック 9 pt. Reading
// moves the caret to the start, and so the status text to the first line's file.
inline std::wstring MarkedText(HWND box) {
  std::wstring text = WindowText(box), marked;
  std::erase(text, L'\n');  // when the box gives paragraph ends as CR LF
  bool inRed = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    ::SendMessageW(box, EM_SETSEL, i, i + 1);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    format.dwMask = CFM_COLOR | CFM_FACE | CFM_SIZE;
    ::SendMessageW(box, EM_GETCHARFORMAT, SCF_SELECTION, reinterpret_cast<LPARAM>(&format));
    const bool automatic = (format.dwEffects & CFE_AUTOCOLOR) != 0;
    const bool red = !automatic && format.crTextColor == RGB(255, 0, 0);
    const bool ownFont = format.szFaceName == std::wstring_view(L"ＭＳ ゴシック") &&
                         format.yHeight == 180 && (format.dwMask & CFM_FACE) != 0;
    if (red != std::exchange(inRed, red)) marked += red ? L'[' : L']';
    marked += text[i];
    if (!ownFont || (!automatic && !red)) marked += L'?';
  }
  ::SendMessageW(box, EM_SETSEL, 0, 0);
  return marked + (inRed ? L"]" : L"");
}

// The real window, open in this process.
class WindowTest : public testing::Test {
 protected:
  void SetUp() override {
    module_.shared.gSearchPath = u"C:\\windows";
    form_.emplace(::GetModuleHandleW(nullptr), module_, fileSystem_, options_);
    form_->Show(SW_SHOWNORMAL);
    PumpUntil();
  }
  void TearDown() override {
    form_.reset();
    PumpUntil();
  }

  using Controls = frmVekSearch::Controls;
  const Controls& c() const { return form_->controls(); }
  HWND hwnd() const { return form_->hwnd(); }
  HWND box() const { return c().rtbSearchResult; }  // a new one for every search
  // Types the inputs and clicks 検索; Search then waits until the result box is filled.
  void StartSearch(const std::wstring& keywords, const std::wstring& folder, bool subFolders) {
    ::SetWindowTextW(c().txtKeyWord, keywords.c_str());
    ::SetWindowTextW(c().txtFilePath, folder.c_str());
    ::SendMessageW(c().chkSubFolder, BM_SETCHECK, subFolders ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(c().cmdSearch, BM_CLICK, 0, 0);
  }
  void Search(const std::wstring& keywords, const std::wstring& folder, bool subFolders = false) {
    StartSearch(keywords, folder, subFolders);
    PumpUntil([this] { return !form_->Searching(); });
  }
  // Where the focus is once the window is active again after a message box. Without a window
  // manager it is not always activated again, nor kept active: the test clicks it, as a user would.
  HWND FocusWhenActiveAgain() {
    PumpUntil([this] {
      if (::GetActiveWindow() != hwnd()) ::SetActiveWindow(hwnd());
      return ::GetFocus() != nullptr;
    });
    return ::GetFocus();
  }
  // The progress panel's text.
  std::wstring Status() const {
    std::wstring text(LOWORD(::SendMessageW(c().StatusBar1, SB_GETTEXTLENGTHW, 1, 0)) + 1, L'\0');
    ::SendMessageW(c().StatusBar1, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    return text;
  }

  // The pointer over the window and over each of its controls (the result box included).
  // A box being replaced, still a child until its thread has taken it out, is left out: it lies
  // under the new one.
  std::vector<HCURSOR> Pointers() const {
    std::vector<HCURSOR> cursors;
    const Controls& k = c();
    for (const HWND window : {hwnd(), k.lblFilePath, k.chkSubFolder, k.txtFilePath, k.cmdDirectory,
                              k.lblKeyWord, k.txtKeyWord, k.cmdSearch, k.lblSearchResult,
                              k.lblSearchCount, k.rtbSearchResult, k.StatusBar1}) {
      ::SetCursor(nullptr);
      ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      cursors.push_back(::GetCursor());
    }
    return cursors;
  }
  // The result lines in the box (the last paragraph mark ends no line).
  int BoxLines() const {
    return static_cast<int>(::SendMessageW(box(), EM_GETLINECOUNT, 0, 0)) - 1;
  }

  basVekSearch module_;
  FileSystem* fileSystem_ = nullptr;  // the window's own when not set before SetUp
  frmVekSearch::Options options_;
  std::optional<frmVekSearch> form_;
};

}  // namespace vek::ui::test
