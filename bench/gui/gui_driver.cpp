// Drives VekSearch.exe from a second process as a user would, and times what the user sees.
//
//   vek_gui_driver VekSearch.exe FOLDER CASE...
//
// CASE is "name|keywords", "name|keywords|keywords2" or "name|@maximise" / "name|@restore".
// Starts the program, types FOLDER (subfolders ticked), then for each case types the keywords,
// clicks 検索 and watches the window every 5 ms until the result box has stopped growing: the
// count label, the result box's handle and text length. With keywords2, once the first
// search's box has begun to fill, keywords2 are typed and 検索 clicked again, and the times
// count from that click. "@maximise" and "@restore" maximise or restore the window with the
// result shown and watch it for 5 s. Meanwhile a second thread measures how long the window
// leaves input unanswered: it posts EM_SETSEL to the folder box and waits until the box has the
// new selection (a posted message, as input is: a window blocked inside a SendMessage to another
// thread still answers sent messages). One line per case, times in ms from the click:
//   first   the first lines in the box      count   the count label set
//   full    the box at its final length     box     a new result box made (the search ended)
//   stall   the longest time a posted message waited (less the 5 ms pause)
//   at      when that longest wait began
//   boxwait the longest time the result box took to answer
//   single  one EM_STREAMIN of the same highlighted RTF, in a box of this process
//   MiB     the program's committed memory after the case, and its peak working set so far
//   panel   the status bar's second panel after the case
#include <windows.h>

#include <commctrl.h>
#include <psapi.h>
#include <richedit.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
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
constexpr int kStatusBar1 = 110;

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

// The status bar's second panel of another process, read through memory of that process.
std::wstring PanelText(HANDLE process, HWND bar) {
  constexpr std::size_t kChars = 512;
  void* remote =
      ::VirtualAllocEx(process, nullptr, kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
  if (remote == nullptr) return L"?";
  wchar_t text[kChars] = {};
  DWORD_PTR ignored = 0;
  if (::SendMessageTimeoutW(bar, SB_GETTEXTLENGTHW, 1, 0, SMTO_NORMAL, 60000, &ignored) != 0 &&
      LOWORD(ignored) < kChars) {
    ::SendMessageTimeoutW(bar, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(remote), SMTO_NORMAL, 60000,
                          &ignored);
    ::ReadProcessMemory(process, remote, text, sizeof(text) - sizeof(wchar_t), nullptr);
  }
  ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return text;
}

// Printed as UTF-8 whatever the console's code page, as the scripts read it.
std::string Utf8(const std::wstring& text) {
  std::string bytes(text.size() * 3, '\0');
  bytes.resize(static_cast<std::size_t>(
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                            static_cast<int>(bytes.size()), nullptr, nullptr)));
  return bytes;
}

// Committed memory and peak working set of the process, in MiB.
std::pair<double, double> MemoryMiB(HANDLE process) {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
  const double committed =
      static_cast<double>(std::max<SIZE_T>(counters.PrivateUsage, counters.PagefileUsage));
  return {committed / (1 << 20), static_cast<double>(counters.PeakWorkingSetSize) / (1 << 20)};
}

// Measures on a thread of its own how long the window leaves a posted message waiting: the
// longest wait, and when it began, in ms from `start`.
class AnswerProbe {
 public:
  AnswerProbe(HWND folderBox, Clock::time_point start)
      : thread_([this, folderBox, start](std::stop_token stop) {
          for (int at = 1; !stop.stop_requested(); at = 3 - at) {
            std::this_thread::sleep_for(5ms);
            const auto posted = Clock::now();
            ::PostMessageW(folderBox, EM_SETSEL, at, at);
            for (DWORD selection = 0; !stop.stop_requested();) {
              DWORD_PTR result = 0;
              ::SendMessageTimeoutW(folderBox, EM_GETSEL, reinterpret_cast<WPARAM>(&selection), 0,
                                    SMTO_NORMAL, 600000, &result);
              if (static_cast<int>(LOWORD(result)) == at) break;
              std::this_thread::sleep_for(1ms);
            }
            const double waited = Ms(Clock::now() - posted);
            const std::lock_guard lock(mutex_);
            if (waited > stall_) {
              stall_ = waited;
              stallAt_ = Ms(posted - start);
            }
          }
        }) {}
  std::pair<double, double> Stop() {
    thread_.request_stop();
    thread_.join();
    return {stall_, stallAt_};
  }

 private:
  std::mutex mutex_;
  double stall_ = 0, stallAt_ = 0;
  std::jthread thread_;
};

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
  if (std::getenv("VEK_GUI_NO_SINGLE") != nullptr) return -1;  // asked for a quicker run
  // A box of a million lines would take longer than the run and more memory than the machine.
  if (vek::HitCount(outcome.results) == 0 || vek::HitCount(outcome.results) > 100'000) return 0;
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

void Click(HWND window, const std::wstring& keywords) {
  Send(::GetDlgItem(window, kTxtKeyWord), WM_SETTEXT, 0,
       reinterpret_cast<LPARAM>(keywords.c_str()));
  Send(::GetDlgItem(window, kLblSearchCount), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(kUnset));
  ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(kCmdSearch, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(window, kCmdSearch)));
}

void Report(const std::wstring& name, HANDLE process, HWND window, double first, double count,
            double full, double box, std::pair<double, double> stall, double boxWait,
            double single) {
  const std::wstring label = Text(::GetDlgItem(window, kLblSearchCount)).value_or(L"?");
  const auto [committed, peak] = MemoryMiB(process);
  std::printf(
      "%-10ls first %8.0f  count %8.0f  full %8.0f  box %8.0f  stall %7.0f  at %8.0f"
      "  boxwait %6.0f  single %7.0f  MiB %6.0f %6.0f  label %s  panel %s\n",
      name.c_str(), first, count, full, box, stall.first, stall.second, boxWait, single, committed,
      peak, Utf8(label).c_str(),
      Utf8(PanelText(process, ::GetDlgItem(window, kStatusBar1))).c_str());
  std::fflush(stdout);
}

// Maximises or restores the window with its result shown, and watches it for 5 s.
void RunShow(HANDLE process, HWND window, const std::wstring& name, int show) {
  const auto start = Clock::now();
  AnswerProbe probe(::GetDlgItem(window, kTxtFilePath), start);
  ::ShowWindowAsync(window, show);
  double boxWait = 0;
  while (Clock::now() - start < 5s) {
    std::this_thread::sleep_for(5ms);
    const auto asked = Clock::now();
    Send(ResultBox(window), WM_GETTEXTLENGTH, 0, 0);
    boxWait = std::max(boxWait, Ms(Clock::now() - asked));
  }
  Report(name, process, window, -1, -1, -1, -1, probe.Stop(), boxWait, 0);
}

void RunCase(HANDLE process, HWND window, const std::wstring& name, const std::wstring& keywords,
             const std::wstring& interrupt, const std::wstring& folder) {
  const HWND label = ::GetDlgItem(window, kLblSearchCount);
  HWND oldBox = ResultBox(window);
  LRESULT oldLength = Send(oldBox, WM_GETTEXTLENGTH, 0, 0);
  Click(window, keywords);
  if (!interrupt.empty()) {
    // The first search's box begins to fill: the second search is clicked over it.
    for (const auto started = Clock::now(); Clock::now() - started < 300s;) {
      std::this_thread::sleep_for(5ms);
      const HWND current = ResultBox(window);
      if (current != oldBox && Text(label) != std::optional<std::wstring>(kUnset) &&
          Send(current, WM_GETTEXTLENGTH, 0, 0) > 0) {
        break;
      }
    }
    oldBox = ResultBox(window);
    oldLength = Send(oldBox, WM_GETTEXTLENGTH, 0, 0);
    Click(window, interrupt);
  }
  const auto click = Clock::now();
  AnswerProbe probe(::GetDlgItem(window, kTxtFilePath), click);
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
    const bool counted = Text(label) != std::optional<std::wstring>(kUnset);
    if (box < 0 && current != oldBox) box = at;
    if (count < 0 && counted) count = at;
    if (first < 0 && now > 0 && (current != oldBox || now != oldLength || count >= 0)) first = at;
    if (now != length) {
      length = now;
      lastChange = Clock::now();
      full = at;
    }
    // The box fills on a thread of its own: its first slice may come well after the count.
    if (count >= 0 && current != oldBox && Clock::now() - lastChange > 5s) break;
  }
  const auto stall = probe.Stop();
  if (full < 0) full = count;  // the same length as before: full when the count was set
  const double single =
      interrupt.empty() ? SingleLoad(folder, keywords) : SingleLoad(folder, interrupt);
  Report(name, process, window, first, count, full, box, stall, boxWait, single);
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
    const std::wstring name = spec.substr(0, bar), rest = spec.substr(bar + 1);
    const std::size_t second = rest.find(L'|');
    if (rest == L"@maximise" || rest == L"@restore") {
      RunShow(process.hProcess, window, name, rest == L"@maximise" ? SW_MAXIMIZE : SW_RESTORE);
    } else {
      RunCase(process.hProcess, window, name, rest.substr(0, second),
              second == std::wstring::npos ? L"" : rest.substr(second + 1), folder);
    }
  }
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  ::WaitForSingleObject(process.hProcess, 60000);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return 0;
}
