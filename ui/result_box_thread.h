// The result box on a thread of its own. Only the thread that made a window can destroy it,
// and the RichEdit takes long to load, to lay out and to destroy a large result: on a thread of
// its own it does all of that while the window's thread goes on answering. Neither thread ever
// waits for the other: the window's thread only posts to the box (and moves it with
// SWP_ASYNCWINDOWPOS), and the box tells its parent what the user did there by posted messages.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "search_core.h"

namespace vek::ui {

// Posted to the box's parent, each with the box's handle as lParam, so that a parent can tell
// a box it has replaced from the one it shows:
// a slice is in the box; wParam is the number of result lines in the box now.
inline constexpr UINT kBoxSliceLoaded = WM_APP + 20;
// the caret moved; wParam is the result line it is on, or kNoResultLine.
inline constexpr UINT kBoxCaretLine = WM_APP + 21;
// a double click placed the caret; wParam as for kBoxCaretLine.
inline constexpr UINT kBoxDoubleClick = WM_APP + 22;
// a copy was refused: it would not fit the memory budget.
inline constexpr UINT kBoxCopyRefused = WM_APP + 23;
// the box has left its parent, which may now be destroyed without waiting for the box.
inline constexpr UINT kBoxLeft = WM_APP + 24;

inline constexpr WPARAM kNoResultLine = static_cast<WPARAM>(-1);

// What copying a character out of the box may cost at most: the text twice in UTF-16 (ours and
// the clipboard's), the RTF with a \'xx\'xx escape for most characters, grown in our buffer and
// copied to the clipboard.
inline constexpr std::uint64_t kCopyBytesPerCharacter = 40;

// What a box shows: result lines with their keywords in red. Never changed once shared.
struct BoxContent {
  ResultList results;
  KeywordList keywords;
};

// The pointer over the box, as the window's stage wants it.
enum class BoxPointer { Arrow, Wait, AppStarting };

// The process's committed memory against what it may use; shared by the window and its boxes,
// so `inUse` must allow calls from several threads.
struct MemoryBudget {
  std::uint64_t bytes = std::uint64_t{1} << 30;
  std::function<std::uint64_t()> inUse;
};

struct BoxThreadState;

class ResultBoxThread {
 public:
  // Starts the thread, which makes a read-only RichEdit as the child `id` of `parent`, shown if
  // `visible`. A copy out of the box is refused when it
  // would take the process past `budget`.
  ResultBoxThread(HWND parent, int id, bool visible, const MemoryBudget& budget);
  // Has the box hide, leave the parent (kBoxLeft), be destroyed and its thread end; returns at
  // once.
  ~ResultBoxThread();
  ResultBoxThread(const ResultBoxThread&) = delete;
  ResultBoxThread& operator=(const ResultBoxThread&) = delete;

  // The box, once made; what the box thread sends to this thread meanwhile is handled.
  HWND Box();
  // Adds lines [first, last) of `content` at the end of the box, on the box's thread, leaving
  // the user's view and selection where they are; the parent gets kBoxSliceLoaded when they
  // are in. Input waiting for the box goes first, and no slice is added while the user drags
  // in the box.
  void Load(std::shared_ptr<const BoxContent> content, std::size_t first, std::size_t last);
  // No slice is added after the one the box may be adding now.
  void StopLoading();
  // How long the last slice took, load and paint.
  std::chrono::microseconds SliceTime() const;
  void SetPointer(BoxPointer pointer);
  // The box's text keeps its size in points on a monitor of `dpi`.
  void SetDpi(UINT dpi);
  // The box takes the focus, on its own thread.
  void TakeFocus();
  // Replaces the whole content with plain text in the normal format, on the box's thread.
  void ShowPlainText(std::wstring text);
  // The box draws itself again, frame included, on its own thread.
  void Redraw();

 private:
  std::shared_ptr<BoxThreadState> state_;
};

}  // namespace vek::ui
