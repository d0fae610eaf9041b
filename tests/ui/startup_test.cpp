// VekSearch.exe itself, started as a process: one instance at a time.
#include <functional>

#include "messages.h"
#include "ui_test_support.h"
#include "win32_handles.h"

namespace vek::ui::test {
namespace {

// The program as the build wrote it; a Unix path under Wine is reached through drive Z:.
std::wstring ProgramPath() {
  std::string path = VEKSEARCH_EXE;
  if (!path.empty() && path.front() == '/') path = "Z:" + path;
  std::wstring wide(path.begin(), path.end());
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

class Program {
 public:
  explicit Program(const std::wstring& path) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (::CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         nullptr, &startup, &info)) {
      process_.reset(info.hProcess);
      ::CloseHandle(info.hThread);
      id_ = info.dwProcessId;
    }
  }
  ~Program() {
    if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_.get(), 9);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool Started() const { return static_cast<bool>(process_); }
  DWORD Id() const { return id_; }
  std::optional<DWORD> WaitForExit(DWORD milliseconds) const {
    if (::WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
  }

 private:
  UniqueHandle process_;
  DWORD id_ = 0;
};

// A visible top-level window of `process` with the class `className`.
HWND FindWindowOf(DWORD process, const wchar_t* className) {
  struct Query {
    DWORD process;
    const wchar_t* className;
    HWND found;
  } query{process, className, nullptr};
  ::EnumWindows(
      [](HWND window, LPARAM parameter) {
        auto& q = *reinterpret_cast<Query*>(parameter);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(window, &owner);
        wchar_t name[64] = {};
        ::GetClassNameW(window, name, 64);
        if (owner == q.process && std::wstring_view(name) == q.className &&
            ::IsWindowVisible(window)) {
          q.found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&query));
  return query.found;
}

HWND WaitFor(const std::function<HWND()>& find) {
  for (int i = 0; i < 2000; ++i) {
    if (const HWND window = find()) return window;
    ::Sleep(10);
  }
  return nullptr;
}

TEST(StartupTest, SecondStartIsRefusedWithAMessageAndNoWindow) {
  const std::wstring path = ProgramPath();
  const Program first(path);
  ASSERT_TRUE(first.Started()) << ::GetLastError();
  const HWND window = WaitFor([&] { return FindWindowOf(first.Id(), L"frmVekSearch"); });
  ASSERT_NE(window, nullptr);
  // The folder box starts at the program's own folder.
  const HWND folderBox = ::FindWindowExW(window, nullptr, L"Edit", nullptr);
  EXPECT_EQ(Text(folderBox), path.substr(0, path.rfind(L'\\')));

  const Program second(path);
  ASSERT_TRUE(second.Started());
  const HWND box = WaitFor([&] { return FindWindowOf(second.Id(), L"#32770"); });
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(Text(box), L"起動Error");
  wchar_t text[256] = {};
  ::GetDlgItemTextW(box, 0xFFFF, text, 256);
  EXPECT_STREQ(text, L"多重起動不可");
  // Kind 3: an icon and OK only. Icon handles of another process cannot be compared under
  // Wine; the window's own boxes check theirs.
  HICON icon = nullptr;
  for (HWND child = ::GetWindow(box, GW_CHILD); child != nullptr;
       child = ::GetWindow(child, GW_HWNDNEXT)) {
    if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      icon = reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0));
    }
  }
  EXPECT_NE(icon, nullptr);
  EXPECT_NE(::GetDlgItem(box, IDOK), nullptr);
  EXPECT_EQ(::GetDlgItem(box, IDCANCEL), nullptr);
  EXPECT_EQ(FindWindowOf(second.Id(), L"frmVekSearch"), nullptr);
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
  EXPECT_EQ(second.WaitForExit(20000), std::optional<DWORD>(0));

  // The first instance is unaffected and ends normally when closed.
  EXPECT_FALSE(first.WaitForExit(0));
  EXPECT_TRUE(::IsWindowVisible(window));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.WaitForExit(20000), std::optional<DWORD>(0));
}

}  // namespace
}  // namespace vek::ui::test
