// Drives VekSearch.exe from a second process as a user would, and times what the user sees.
//
//   vek_gui_driver VekSearch.exe FOLDER CASE...    CASE is "name|keywords"
//
// Starts the program, types FOLDER (subfolders ticked), then for each case types the keywords,
// clicks 検索 and watches the window every 5 ms until the result box has stopped growing:
// a WM_GETTEXT to the count label (how long the window took to answer it), the result box's
// handle and text length. One line per case, times in ms from the click:
//   first   the first lines in the box      count   the count label set
//   full    the box at its final length     box     a new result box made (the search ended)
//   stall   the longest time between two answers of the window (less the 5 ms pause)
//   at      when that longest wait began
//   boxwait the longest time the result box took to answer
//   single  one EM_STREAMIN of the same highlighted RTF, in a box of this process
#include <windows.h>

#include <richedit.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rich_edit.h"
#include "rtf.h"
#include "search_core.h"
#include "wide_text.h"
#include "win_file_system.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The window's control identifiers.
constexpr int kChkSubFolder = 101;
constexpr int kTxtFilePath = 102;
constexpr int kTxtKeyWord = 105;
constexpr int kCmdSearch = 106;
constexpr int kLblSearchCount = 108;
constexpr int kRtbSearchResult = 109;

constexpr wchar_t kUnset[] = L"-";  // put into the count label before each click

// The result box that shows: the box for the next result is made hidden while the search runs,
// under the same identifier.
HWND ResultBox(HWND window) {
  HWND found = nullptr;
  for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if (::GetDlgCtrlID(child) == kRtbSearchResult && ::IsWindowVisible(child)) found = child;
  }
  return found;
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Empty when the window did not answer.
std::optional<std::wstring> Text(HWND control) {
  wchar_t text[256] = {};
  DWORD_PTR ignored = 0;
  if (::SendMessageTimeoutW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                            600000, &ignored) == 0)
    return std::nullopt;
  return text;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  ::SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, 600000, &result);
  return static_cast<LRESULT>(result);
}

// One EM_STREAMIN of the whole result, as a box without slices would take it.
double SingleLoad(const std::wstring& folder, const std::wstring& keywords) {
  vek::SearchState state;
  vek::ui::WinFileSystem fileSystem;
  const vek::SearchOutcome outcome =
      vek::RunSearch(state, vek::ui::ToU16(keywords), vek::ui::ToU16(folder), true, fileSystem);
  if (vek::HitCount(outcome.results) == 0) return 0;
  const std::string rtf = vek::HighlightKeywords(vek::WriteRtf(vek::ResultText(outcome.results)),
                                                 vek::SplitKeywords(vek::ui::ToU16(keywords)));
  const vek::ui::RichEditLibrary library;
  const HWND box =
      ::CreateWindowExW(0, library.ClassName(), L"", WS_POPUP | ES_MULTILINE | WS_VSCROLL, 0, 0,
                        600, 300, nullptr, nullptr, nullptr, nullptr);
  ::SendMessageW(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
  CHARFORMAT2W normal = vek::ui::NormalCharFormat();
  ::SendMessageW(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&normal));
  const auto start = Clock::now();
  vek::ui::StreamInRtf(box, rtf);
  const double ms = Ms(Clock::now() - start);
  ::DestroyWindow(box);
  return ms;
}

void RunCase(HWND window, const std::wstring& name, const std::wstring& keywords,
             const std::wstring& folder) {
  const HWND label = ::GetDlgItem(window, kLblSearchCount);
  Send(::GetDlgItem(window, kTxtKeyWord), WM_SETTEXT, 0,
       reinterpret_cast<LPARAM>(keywords.c_str()));
  Send(label, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kUnset));
  const HWND oldBox = ResultBox(window);
  const LRESULT oldLength = Send(oldBox, WM_GETTEXTLENGTH, 0, 0);

  const auto click = Clock::now();
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(kCmdSearch, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(window, kCmdSearch)));
  // The label is asked on a thread of its own: a question to the result box waits for the
  // box's thread, which must not count against the window.
  std::mutex mutex;
  std::wstring shown = kUnset;
  double stall = 0, stallAt = 0;
  std::jthread prober([&](std::stop_token stop) {
    auto lastAnswer = click;
    while (!stop.stop_requested()) {
      std::this_thread::sleep_for(5ms);
      const std::optional<std::wstring> answer = Text(label);
      if (!answer) continue;
      // The time between two answers, less the pause between two questions.
      const auto answered = Clock::now();
      const std::lock_guard lock(mutex);
      if (Ms(answered - lastAnswer) - 5 > stall) {
        stall = Ms(answered - lastAnswer) - 5;
        stallAt = Ms(lastAnswer - click);
      }
      lastAnswer = answered;
      shown = *answer;
    }
  });
  double first = -1, count = -1, full = -1, box = -1, boxWait = 0;
  LRESULT length = oldLength;
  auto lastChange = click;
  while (Clock::now() - click < 300s) {  // reported as it stands after that
    std::this_thread::sleep_for(5ms);
    const HWND current = ResultBox(window);
    const auto asked = Clock::now();
    const LRESULT now = Send(current, WM_GETTEXTLENGTH, 0, 0);
    boxWait = std::max(boxWait, Ms(Clock::now() - asked));
    const double at = Ms(Clock::now() - click);
    bool counted = false;
    {
      const std::lock_guard lock(mutex);
      counted = shown != kUnset;
    }
    if (box < 0 && current != oldBox) box = at;
    if (count < 0 && counted) count = at;
    if (first < 0 && now > 0 && (current != oldBox || now != oldLength || count >= 0)) first = at;
    if (now != length) {
      length = now;
      lastChange = Clock::now();
      full = at;
    }
    // The box fills on a thread of its own: its first slice may come well after the count.
    if (count >= 0 && Clock::now() - lastChange > 5s) break;
  }
  prober.request_stop();
  prober.join();
  if (full < 0) full = count;  // the same length as before: full when the count was set
  const double single = SingleLoad(folder, keywords);
  std::printf(
      "%-8ls first %8.0f  count %8.0f  full %8.0f  box %8.0f  stall %7.0f  at %8.0f"
      "  boxwait %6.0f  single %7.0f  label %ls\n",
      name.c_str(), first, count, full, box, stall, stallAt, boxWait, single, shown.c_str());
  std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: vek_gui_driver VekSearch.exe FOLDER NAME|KEYWORDS...\n");
    return 2;
  }
  std::wstring command = L"\"" + std::wstring(argv[1]) + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(argv[1], command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "cannot start %ls\n", argv[1]);
    return 1;
  }
  // The window exists before its controls do, and what is typed before it shows would be
  // overwritten by its start-up: wait until it shows.
  HWND window = nullptr;
  for (int i = 0; i < 3000; ++i) {
    window = ::FindWindowW(L"frmVekSearch", nullptr);
    if (window != nullptr && ::IsWindowVisible(window)) break;
    window = nullptr;
    std::this_thread::sleep_for(10ms);
  }
  if (window == nullptr) return 1;
  const std::wstring folder = argv[2];
  Send(::GetDlgItem(window, kTxtFilePath), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  Send(::GetDlgItem(window, kChkSubFolder), BM_SETCHECK, BST_CHECKED, 0);
  for (int i = 3; i < argc; ++i) {
    const std::wstring spec = argv[i];
    const std::size_t bar = spec.find(L'|');
    RunCase(window, spec.substr(0, bar), spec.substr(bar + 1), folder);
  }
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(process.hProcess, 60000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return 0;
}
