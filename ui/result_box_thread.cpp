#include "result_box_thread.h"

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

#include "event_pump.h"
#include "rich_edit.h"
#include "rtf.h"
#include "win32_handles.h"

namespace vek::ui {

// Posted to the box by the window's thread: wParam and lParam are the first and the end line.
constexpr UINT kLoadSlice = WM_APP + 1;
// Posted to the box by the window's thread: the box is done with.
constexpr UINT kRetire = WM_APP + 2;
// Loads a slice held back for input.
constexpr UINT_PTR kSliceTimer = 1;
constexpr UINT_PTR kBoxSubclass = 0x5654;  // 'VT'

struct BoxThreadState {
  HWND parent = nullptr;
  int id = 0;
  HFONT font = nullptr;
  bool visible = false;
  UniqueHandle made{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  std::atomic<HWND> box = nullptr;
  std::atomic<bool> retired = false;

  std::mutex mutex;  // guards content, which the window's thread sets
  std::shared_ptr<const BoxContent> content;

  // The box thread's own.
  std::size_t first = 0;
  std::size_t last = 0;
};

namespace {

void LoadSlice(HWND box, BoxThreadState& state) {
  const auto start = std::chrono::steady_clock::now();
  std::shared_ptr<const BoxContent> content;
  {
    const std::lock_guard lock(state.mutex);
    content = state.content;
  }
  // Without redrawing inside the load, which would lay out and repaint the whole box each time.
  ::SendMessageW(box, WM_SETREDRAW, FALSE, 0);
  AppendRtf(box, ResultRtfPiece(content->results, state.first, state.last, content->keywords));
  ::SendMessageW(box, WM_SETREDRAW, TRUE, 0);
  // Painted now, and counted into the slice's time: a steady stream of slices would keep
  // WM_PAINT waiting.
  ::RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - start);
  ::PostMessageW(state.parent, kBoxSliceLoaded, state.last, static_cast<LPARAM>(took.count()));
}

LRESULT CALLBACK BoxProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                         DWORD_PTR data) {
  BoxThreadState& state = *reinterpret_cast<BoxThreadState*>(data);
  switch (message) {
    case kLoadSlice:
      state.first = wParam;
      state.last = static_cast<std::size_t>(lParam);
      // Posted messages are fetched before input; a timer message comes after it.
      if (HIWORD(::GetQueueStatus(QS_INPUT)) != 0) {
        ::SetTimer(box, kSliceTimer, USER_TIMER_MINIMUM, nullptr);
      } else {
        LoadSlice(box, state);
      }
      return 0;
    case WM_TIMER:
      if (wParam != kSliceTimer) break;
      ::KillTimer(box, kSliceTimer);
      LoadSlice(box, state);
      return 0;
    case kRetire:
      ::ShowWindow(box, SW_HIDE);
      ::SetParent(box, HWND_MESSAGE);
      ::DestroyWindow(box);
      return 0;
    case WM_SETCURSOR:
      if (::SendMessageW(state.parent, kBoxSetCursor, wParam, lParam) != FALSE) return TRUE;
      break;
    case WM_LBUTTONDBLCLK: {
      // The box places the caret first.
      const LRESULT result = ::DefSubclassProc(box, message, wParam, lParam);
      ::SendMessageW(state.parent, kBoxDoubleClick, 0, 0);
      return result;
    }
    case WM_NCDESTROY:
      ::RemoveWindowSubclass(box, BoxProc, id);
      ::PostQuitMessage(0);
      break;
    default:
      break;
  }
  return ::DefSubclassProc(box, message, wParam, lParam);
}

void Run(const std::shared_ptr<BoxThreadState>& state) {
  const ComApartment com;         // as on the window's thread, for the box's OLE parts
  const RichEditLibrary library;  // loaded until this thread's box is gone
  // Read-only: the result is for reading and copying, and a search replaces it anyway.
  const HWND box = ::CreateWindowExW(
      WS_EX_CLIENTEDGE | WS_EX_NOPARENTNOTIFY, library.ClassName(), L"",
      WS_CHILD | WS_CLIPSIBLINGS | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY |
          WS_VSCROLL | WS_HSCROLL | WS_TABSTOP | (state->visible ? WS_VISIBLE : 0),
      0, 0, 0, 0, state->parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(state->id)),
      ::GetModuleHandleW(nullptr), nullptr);
  if (box != nullptr) {
    ::SetWindowSubclass(box, BoxProc, kBoxSubclass, reinterpret_cast<DWORD_PTR>(state.get()));
    AttachReadOnlyBoxBehaviour(box);
    // Large results must not be cut at the control's default limit of 32K characters.
    ::SendMessageW(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    // Nothing to undo in a read-only box: keeping the loads as undo steps only costs memory.
    ::SendMessageW(box, EM_SETUNDOLIMIT, 0, 0);
    // The caret's moves show where its result line comes from.
    ::SendMessageW(box, EM_SETEVENTMASK, 0, ENM_SELCHANGE);
    if (state->font != nullptr) {
      ::SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(state->font), FALSE);
    }
    CHARFORMAT2W normal = NormalCharFormat();
    ::SendMessageW(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&normal));
  }
  state->box = box;
  ::SetEvent(state->made.get());
  if (box == nullptr) return;
  if (state->retired) ::PostMessageW(box, kRetire, 0, 0);
  // The keys typed into the box come to this thread: the window's dialog keys apply to them.
  RunMessageLoop(state->parent);
}

}  // namespace

ResultBoxThread::ResultBoxThread(HWND parent, int id, HFONT font, bool visible)
    : state_(std::make_shared<BoxThreadState>()) {
  state_->parent = parent;
  state_->id = id;
  state_->font = font;
  state_->visible = visible;
  // Never joined: the thread ends once its box is destroyed, which the window's thread must
  // not wait for.
  std::thread([state = state_] { Run(state); }).detach();
}

ResultBoxThread::~ResultBoxThread() {
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

}  // namespace vek::ui
