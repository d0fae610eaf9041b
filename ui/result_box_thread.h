// The result box on a thread of its own. Only the thread that made a window can destroy it,
// and the RichEdit takes long to load and to destroy a large result: on a thread of its own
// it does both while the window's thread goes on answering. The window's thread never waits
// for a box thread, which may be sending to it at that moment.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>

#include "search_core.h"

namespace vek::ui {

// Posted to the box's parent when a slice is in the box: wParam is the number of result lines
// in the box now, lParam the microseconds the slice took, load and paint.
inline constexpr UINT kBoxSliceLoaded = WM_APP + 20;
// Sent to the parent for the pointer over the box: TRUE when the parent has set the cursor.
inline constexpr UINT kBoxSetCursor = WM_APP + 21;
// Sent to the parent when a double click has placed the caret.
inline constexpr UINT kBoxDoubleClick = WM_APP + 22;

// What a box shows: result lines with their keywords in red. Never changed once shared.
struct BoxContent {
  ResultList results;
  KeywordList keywords;
};

struct BoxThreadState;

class ResultBoxThread {
 public:
  // Starts the thread, which makes a read-only RichEdit as the child `id` of `parent`, in
  // `font` if one is given, and shown if `visible`.
  ResultBoxThread(HWND parent, int id, HFONT font, bool visible);
  // Hides the box, takes it out of the parent (a parent being destroyed would wait for it)
  // and has its thread destroy it and end; returns at once.
  ~ResultBoxThread();
  ResultBoxThread(const ResultBoxThread&) = delete;
  ResultBoxThread& operator=(const ResultBoxThread&) = delete;

  // The box, once made; what the box thread sends to this thread meanwhile is handled.
  HWND Box();
  // Adds lines [first, last) of `content` at the end of the box, on the box's thread; the
  // parent gets kBoxSliceLoaded when they are in. Input waiting for the box goes first.
  void Load(std::shared_ptr<const BoxContent> content, std::size_t first, std::size_t last);

 private:
  std::shared_ptr<BoxThreadState> state_;
};

}  // namespace vek::ui
