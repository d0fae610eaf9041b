#include "result_box_thread.h"

#include <commctrl.h>
#include <imm.h>
#include <richedit.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "event_pump.h"
#include "rich_edit.h"
#include "rtf.h"
#include "win32_handles.h"

namespace vek::ui {

// Posted to the box by the window's thread: wParam and lParam are the first and the end line.
constexpr UINT kLoadSlice = WM_APP + 1;
// Posted to the box by the window's thread: the box is done with.
constexpr UINT kRetire = WM_APP + 2;
// Posted to the box by the window's thread: wParam is the DPI of the window's monitor.
constexpr UINT kSetDpi = WM_APP + 3;
// Posted to the box by the window's thread: the box takes the focus, or draws itself again.
constexpr UINT kTakeFocus = WM_APP + 4;
constexpr UINT kRedraw = WM_APP + 5;
// Posted to the box by the window's thread: the plain text to show is in the state.
constexpr UINT kShowPlainText = WM_APP + 6;
// Loads a slice held back for input.
constexpr UINT_PTR kSliceTimer = 1;
constexpr UINT_PTR kBoxSubclass = 0x5654;  // 'VT'

struct BoxThreadState {
  HWND parent = nullptr;
  int id = 0;
  bool visible = false;
  MemoryBudget budget;
  UniqueHandle made{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<HWND> box = nullptr;
  std::atomic<bool> retired = false;
  std::atomic<bool> stopped = false;
  std::atomic<BoxPointer> pointer = BoxPointer::Arrow;
  std::atomic<UINT> dpi = USER_DEFAULT_SCREEN_DPI;
  std::atomic<std::int64_t> sliceMicroseconds = 0;

  std::mutex mutex;  // guards content and plainText, which the window's thread sets
  std::shared_ptr<const BoxContent> content;
  std::wstring plainText;

  // The box thread's own.
  std::size_t first = 0;
  std::size_t last = 0;
  // Where each result line in the box ends, its paragraph mark included, in the box's character
  // positions: a line is found by its paragraph, whatever the box makes of the characters in it
  // (a vertical tab ends a display line on some systems) or of its width.
  std::vector<std::uint64_t> lineEnds;
  int depth = 0;  // of BoxProc calls, so that the caret is looked at once a message is done
  LONG caret = -1;
  CopyGuard copyGuard;
};

namespace {

WPARAM LineAt(const BoxThreadState& state, LONG position) {
  const auto end = std::ranges::upper_bound(state.lineEnds, static_cast<std::uint64_t>(position));
  return end == state.lineEnds.end() ? kNoResultLine
                                     : static_cast<WPARAM>(end - state.lineEnds.begin());
}

// The box draws its points at the system's DPI: zoomed to the monitor's.
void ApplyDpi(HWND box, UINT dpi) {
  const HDC screen = ::GetDC(nullptr);
  const int system = ::GetDeviceCaps(screen, LOGPIXELSY);
  ::ReleaseDC(nullptr, screen);
  if (static_cast<int>(dpi) == system || system <= 0) {
    ::SendMessageW(box, EM_SETZOOM, 0, 0);
  } else {
    ::SendMessageW(box, EM_SETZOOM, dpi, system);
  }
}

CHARRANGE Selection(HWND box) {
  CHARRANGE selection = {};
  ::SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  return selection;
}

void LoadSlice(HWND box, BoxThreadState& state) {
  if (state.stopped) return;
  const auto start = std::chrono::steady_clock::now();
  std::shared_ptr<const BoxContent> content;
  {
    const std::lock_guard lock(state.mutex);
    content = state.content;
  }
  // Appending moves the selection to the end; the user's selection and view are put back
  // before anything is drawn.
  CHARRANGE selection = Selection(box);
  POINT view = {};
  ::SendMessageW(box, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&view));
  // Without redrawing inside the load, which would lay out and repaint the whole box each time.
  ::SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  AppendRtf(box, ResultRtfPiece(content->results, state.first, state.last, content->keywords));
  ::SendMessageW(box, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  ::SendMessageW(box, EM_SETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&view));
  ::SendMessageW(box, WM_SETREDRAW, TRUE, 0);
  // Painted now, and counted into the slice's time: a steady stream of slices would keep
  // WM_PAINT waiting.
  ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  if (state.first == state.lineEnds.size()) {
    for (std::size_t line = state.first; line < state.last; ++line) {
      const std::uint64_t before = state.lineEnds.empty() ? 0 : state.lineEnds.back();
      state.lineEnds.push_back(before + content->results[line].size() + 1);
    }
  }
  state.sliceMicroseconds = std::chrono::duration_cast<std::chrono::microseconds>(
                                std::chrono::steady_clock::now() - start)
                                .count();
  ::PostMessageW(state.parent, kBoxSliceLoaded, state.last, reinterpret_cast<LPARAM>(box));
}

// Input goes first (posted messages are fetched before it; a timer message comes after it),
// and so does a drag: the user is selecting or moving the scroll thumb.
bool UserBusy(HWND box) {
  return HIWORD(::GetQueueStatus(QS_INPUT)) != 0 || ::GetCapture() == box;
}

// Once a message is done: where the caret is, when it moved. Lines added under it do not move
// it: the caret stays where the user put it.
void ReportCaret(HWND box, BoxThreadState& state) {
  const LONG caret = Selection(box).cpMin;
  if (caret == std::exchange(state.caret, caret)) return;
  ::PostMessageW(state.parent, kBoxCaretLine, LineAt(state, caret), reinterpret_cast<LPARAM>(box));
}

LRESULT BoxMessage(HWND box, UINT message, WPARAM wParam, LPARAM lParam, BoxThreadState& state) {
  switch (message) {
    case kLoadSlice:
      state.first = wParam;
      state.last = static_cast<std::size_t>(lParam);
      if (UserBusy(box)) {
        ::SetTimer(box, kSliceTimer, USER_TIMER_MINIMUM, nullptr);
      } else {
        LoadSlice(box, state);
      }
      return 0;
    case WM_TIMER:
      if (wParam != kSliceTimer) break;
      if (!UserBusy(box)) {
        ::KillTimer(box, kSliceTimer);
        LoadSlice(box, state);
      }
      return 0;
    case kSetDpi:
      ApplyDpi(box, state.dpi);
      return 0;
    case kTakeFocus:
      ::SetFocus(box);
      return 0;
    case kShowPlainText: {
      std::wstring text;
      {
        const std::lock_guard lock(state.mutex);
        text = state.plainText;
      }
      SetPlainText(box, text.c_str());
      return 0;
    }
    case kRedraw:
      ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
      return 0;
    case kRetire:
      ::ShowWindow(box, SW_HIDE);
      ::SetParent(box, HWND_MESSAGE);
      ::PostMessageW(state.parent, kBoxLeft, 0, reinterpret_cast<LPARAM>(box));
      ::DestroyWindow(box);
      return 0;
    case WM_SETCURSOR:
      // Answered here, from what the window last said: asking the window's thread would make
      // every mouse move over the box wait for it.
      switch (state.pointer.load()) {
        case BoxPointer::Wait:
          ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
          return TRUE;
        case BoxPointer::AppStarting:
          ::SetCursor(::LoadCursorW(nullptr, IDC_APPSTARTING));
          return TRUE;
        case BoxPointer::Arrow:
          break;
      }
      break;
    case WM_LBUTTONDBLCLK: {
      // The box places the caret first.
      const LRESULT result = ::DefSubclassProc(box, message, wParam, lParam);
      ::PostMessageW(state.parent, kBoxDoubleClick, LineAt(state, Selection(box).cpMin),
                     reinterpret_cast<LPARAM>(box));
      return result;
    }
    default:
      break;
  }
  return ::DefSubclassProc(box, message, wParam, lParam);
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                         DWORD_PTR data) {
  BoxThreadState& state = *reinterpret_cast<BoxThreadState*>(data);
  if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(box, BoxProc, id);
    ::PostQuitMessage(0);
    return ::DefSubclassProc(box, message, wParam, lParam);
  }
  ++state.depth;
  const LRESULT result = BoxMessage(box, message, wParam, lParam, state);
  if (--state.depth == 0 && message != kRetire) ReportCaret(box, state);
  return result;
}

void Run(const std::shared_ptr<BoxThreadState>& state) {
  const ComApartment com;         // as on the window's thread, for the box's OLE parts
  const RichEditLibrary library;  // loaded until this thread's box is gone
  // Read-only: the result is for reading and copying, and a search replaces it anyway. Not
  // wrapped: a result line is one row, so that the list reads as one hit a row with the file
  // names at the left edge; a long line scrolls sideways instead.
  const HWND box = ::CreateWindowExW(
      WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, library.ClassName(), L"",
      WS_CHILD | WS_CLIPSIBLINGS | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY |
          WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | (state->visible ? WS_VISIBLE : 0),
      0, 0, 0, 0, state->parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(state->id)),
      ::GetModuleHandleW(nullptr), nullptr);
  if (box != nullptr) {
    ::SetWindowSubclass(box, BoxProc, kBoxSubclass, reinterpret_cast<DWORD_PTR>(state.get()));
    AttachReadOnlyBoxBehaviour(box, &state->copyGuard);
    // Large results must not be cut at the control's default limit of 32K characters.
    ::SendMessageW(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    // Nothing to undo in a read-only box: keeping the loads as undo steps only costs memory.
    ::SendMessageW(box, EM_SETUNDOLIMIT, 0, 0);
    // The box's own font for every character, Latin ones included, and no input method: there
    // is nothing to type in it.
    const auto options = ::SendMessageW(box, EM_GETLANGOPTIONS, 0, 0);
    ::SendMessageW(box, EM_SETLANGOPTIONS, 0, options & ~(IMF_AUTOFONT | IMF_DUALFONT));
    ::ImmAssociateContextEx(box, nullptr, 0);
    CHARFORMAT2W normal = NormalCharFormat();
    ::SendMessageW(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&normal));
  }
  state->box = box;
  ::SetEvent(state->made.get());
  if (box == nullptr) {
    ::PostMessageW(state->parent, kBoxLeft, 0, 0);
    return;
  }
  ApplyDpi(box, state->dpi);  // what the window said before the box was made
  if (state->retired) ::PostMessageW(box, kRetire, 0, 0);
  // The keys typed into the box come to this thread: the window's dialog keys apply to them.
  RunMessageLoop(state->parent);
}

}  // namespace

ResultBoxThread::ResultBoxThread(HWND parent, int id, bool visible, const MemoryBudget& budget)
    : state_(std::make_shared<BoxThreadState>()) {
  state_->parent = parent;
  state_->id = id;
  state_->visible = visible;
  state_->budget = budget;
  state_->copyGuard = {
      .fits =
          [state = state_.get()](std::uint64_t characters) {
            const MemoryBudget& budget = state->budget;
            return !budget.inUse ||
                   budget.inUse() + characters * kCopyBytesPerCharacter <= budget.bytes;
          },
      .refused =
          [state = state_.get()] {
            ::PostMessageW(state->parent, kBoxCopyRefused, 0,
                           reinterpret_cast<LPARAM>(state->box.load()));
          },
  };
  // Never joined: the thread ends once its box is destroyed, which the window's thread must
  // not wait for.
  std::thread([state = state_] { Run(state); }).detach();
}

ResultBoxThread::~ResultBoxThread() {
  state_->stopped = true;
  state_->retired = true;
  if (const HWND box = state_->box) ::PostMessageW(box, kRetire, 0, 0);
}

HWND ResultBoxThread::Box() {
  const HANDLE made = state_->made.get();
  while (::MsgWaitForMultipleObjects(1, &made, FALSE, INFINITE, QS_SENDMESSAGE) ==
         WAIT_OBJECT_0 + 1) {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  return state_->box;
}

void ResultBoxThread::Load(std::shared_ptr<const BoxContent> content, std::size_t first,
                           std::size_t last) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->content = std::move(content);
  }
  ::PostMessageW(Box(), kLoadSlice, first, static_cast<LPARAM>(last));
}

void ResultBoxThread::StopLoading() {
  state_->stopped = true;
}

std::chrono::microseconds ResultBoxThread::SliceTime() const {
  return std::chrono::microseconds(state_->sliceMicroseconds.load());
}

void ResultBoxThread::SetPointer(BoxPointer pointer) {
  state_->pointer = pointer;
}

// None of these waits for the box to be made: the window's thread never waits for a box.
void ResultBoxThread::SetDpi(UINT dpi) {
  state_->dpi = dpi;
  if (const HWND box = state_->box) ::PostMessageW(box, kSetDpi, 0, 0);
}

void ResultBoxThread::TakeFocus() {
  if (const HWND box = state_->box) ::PostMessageW(box, kTakeFocus, 0, 0);
}

void ResultBoxThread::ShowPlainText(std::wstring text) {
  {
    const std::lock_guard lock(state_->mutex);
    state_->plainText = std::move(text);
  }
  if (const HWND box = state_->box) ::PostMessageW(box, kShowPlainText, 0, 0);
}

void ResultBoxThread::Redraw() {
  if (const HWND box = state_->box) ::PostMessageW(box, kRedraw, 0, 0);
}

}  // namespace vek::ui
