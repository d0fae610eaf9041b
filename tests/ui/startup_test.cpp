// VekSearch.exe itself, started as a process: one instance at a time.
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

TEST(StartupTest, SecondStartIsRefusedWithAMessageAndNoWindow) {
  // The program as the build wrote it; a Unix path under Wine is reached through drive Z:.
  std::wstring path = std::filesystem::path(VEKSEARCH_EXE).make_preferred().wstring();
  if (path.starts_with(L"\\")) path = L"Z:" + path;
  struct Process : PROCESS_INFORMATION {
    ~Process() {
      ::TerminateProcess(hProcess, 9);  // when a check failed before it ended
      ::CloseHandle(hProcess);
      ::CloseHandle(hThread);
    }
  } first = {}, second = {};
  const auto start = [&path](PROCESS_INFORMATION& process) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    return ::CreateProcessW(path.c_str(), path.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process) != FALSE;
  };
  // The exit code once the process has ended within `wait` ms, 259 while it runs.
  const auto exitCode = [](const PROCESS_INFORMATION& process, DWORD wait) {
    DWORD code = 0;
    ::WaitForSingleObject(process.hProcess, wait);
    ::GetExitCodeProcess(process.hProcess, &code);
    return code;
  };
  // A top-level window of the class and title, once it shows.
  const auto waitFor = [](const wchar_t* className, const wchar_t* title) {
    HWND window = nullptr;
    for (int i = 0; i < 2000 && !::IsWindowVisible(window = ::FindWindowW(className, title)); ++i)
      ::Sleep(10);
    return window;
  };

  ASSERT_TRUE(start(first)) << ::GetLastError();
  const HWND window = waitFor(L"frmVekSearch", nullptr);
  ASSERT_NE(window, nullptr);
  // The folder box starts at the program's own folder. Asked, as it is another process's box.
  wchar_t folder[MAX_PATH] = {};
  ::SendMessageW(::FindWindowExW(window, nullptr, L"Edit", nullptr), WM_GETTEXT, MAX_PATH,
                 reinterpret_cast<LPARAM>(folder));
  EXPECT_EQ(folder, path.substr(0, path.rfind(L'\\')));

  ASSERT_TRUE(start(second));
  const HWND box = waitFor(L"#32770", L"起動Error");
  ASSERT_NE(box, nullptr);
  const std::wstring shown = Describe(box);  // any icon: Wine cannot compare another process's
  EXPECT_TRUE(shown == L"起動Error|多重起動不可|icon OK" ||
              shown == L"起動Error|多重起動不可|warning OK")
      << shown;
  EXPECT_EQ(::FindWindowW(L"frmVekSearch", nullptr), window);  // the only one
  EXPECT_EQ(::FindWindowExW(nullptr, window, L"frmVekSearch", nullptr), nullptr);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(exitCode(second, 20000), 0u);

  // The first instance is unaffected and ends normally when closed.
  EXPECT_EQ(exitCode(first, 0), STILL_ACTIVE);
  EXPECT_TRUE(::IsWindowVisible(window));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(exitCode(first, 20000), 0u);
}

}  // namespace
}  // namespace vek::ui::test
