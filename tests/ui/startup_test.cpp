// VekSearch.exe itself, started as a process: one instance at a time.
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

struct Process : PROCESS_INFORMATION {
  ~Process() {
    ::TerminateProcess(hProcess, 9);  // when a check failed before it ended
    ::CloseHandle(hProcess);
    ::CloseHandle(hThread);
  }
};

// The program at `path` started in the current folder.
bool Start(std::wstring path, PROCESS_INFORMATION& process) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  return ::CreateProcessW(path.c_str(), path.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process) != FALSE;
}

// The exit code once the process has ended within `wait` ms, 259 while it runs.
DWORD ExitCode(const PROCESS_INFORMATION& process, DWORD wait) {
  DWORD code = 0;
  ::WaitForSingleObject(process.hProcess, wait);
  ::GetExitCodeProcess(process.hProcess, &code);
  return code;
}

// A top-level window of the class and title, once it shows.
HWND WaitFor(const wchar_t* className, const wchar_t* title) {
  HWND window = nullptr;
  for (int i = 0; i < 2000 && !::IsWindowVisible(window = ::FindWindowW(className, title)); ++i)
    ::Sleep(10);
  return window;
}

// Another process's control, found by its class after `after` (or its text).
HWND Child(HWND window, const wchar_t* className, const wchar_t* text, HWND after = nullptr) {
  return ::FindWindowExW(window, after, className, text);
}

// Another process's control's text, as asked of it (GetWindowText only knows its caption).
std::wstring TextOf(HWND control) {
  std::wstring text(::SendMessageW(control, WM_GETTEXTLENGTH, 0, 0) + 1, L'\0');
  text.resize(
      ::SendMessageW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  return text;
}

TEST(StartupTest, SecondStartIsRefusedWithAMessageAndNoWindow) {
  // The program as the build wrote it; a Unix path under Wine is reached through drive Z:.
  std::wstring path = std::filesystem::path(VEKSEARCH_EXE).make_preferred().wstring();
  if (path.starts_with(L"\\")) path = L"Z:" + path;
  Process first = {}, second = {};

  ASSERT_TRUE(Start(path, first)) << ::GetLastError();
  const HWND window = WaitFor(L"frmVekSearch", nullptr);
  ASSERT_NE(window, nullptr);
  // The folder box starts at the program's own folder. Asked, as it is another process's box.
  EXPECT_EQ(TextOf(Child(window, L"Edit", nullptr)), path.substr(0, path.rfind(L'\\')));

  ASSERT_TRUE(Start(path, second));
  const HWND box = WaitFor(L"#32770", L"起動Error");
  ASSERT_NE(box, nullptr);
  const std::wstring shown = Describe(box);  // any icon: Wine cannot compare another process's
  EXPECT_TRUE(shown == L"起動Error|多重起動不可|icon OK" ||
              shown == L"起動Error|多重起動不可|warning OK")
      << shown;
  EXPECT_EQ(::FindWindowW(L"frmVekSearch", nullptr), window);  // the only one
  EXPECT_EQ(::FindWindowExW(nullptr, window, L"frmVekSearch", nullptr), nullptr);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(ExitCode(second, 20000), 0u);

  // The first instance is unaffected and ends normally when closed.
  EXPECT_EQ(ExitCode(first, 0), STILL_ACTIVE);
  EXPECT_TRUE(::IsWindowVisible(window));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCode(first, 20000), 0u);
}

// The release package as a user unpacks it (tools/package.sh --check names the folder): the
// program opens on its own folder, whatever the current one, and finds the samples below it.
TEST(PackageTest, StartsFromItsFolderAndFindsTheSamples) {
  const wchar_t* folder = _wgetenv(L"VEK_PACKAGE_DIR");
  if (folder == nullptr) GTEST_SKIP() << "run by tools/package.sh --check";
  // The version of its name is the one of the program's file properties.
  const std::wstring exe = std::wstring(folder) + L"\\VekSearch.exe";
  const std::string_view built = VEK_VERSION;
  const std::wstring expected(built.begin(), built.end());
  EXPECT_TRUE(std::wstring_view(folder).ends_with(L"\\VekSearch-" + expected + L"-win64"));
  std::vector<char> info(::GetFileVersionInfoSizeW(exe.c_str(), nullptr));
  wchar_t* version = nullptr;
  UINT length = 0;
  EXPECT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, info.size(), info.data()) &&
              ::VerQueryValueW(info.data(), L"\\StringFileInfo\\041104B0\\ProductVersion",
                               reinterpret_cast<void**>(&version), &length));
  EXPECT_EQ(std::wstring(version ? version : L""), expected);

  Process program = {};
  ASSERT_TRUE(Start(exe, program)) << ::GetLastError();
  const HWND window = WaitFor(L"frmVekSearch", nullptr);
  ASSERT_NE(window, nullptr);
  const HWND folderBox = Child(window, L"Edit", nullptr);
  EXPECT_EQ(TextOf(folderBox), folder);

  ::SendMessageW(Child(window, L"Button", L"サブフォルダを検索"), BM_CLICK, 0, 0);
  ::SendMessageW(Child(window, L"Edit", nullptr, folderBox), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(L"データ"));
  ::PostMessageW(Child(window, L"Button", L"検索"), BM_CLICK, 0, 0);
  const HWND count = Child(window, L"Static", L"問");
  for (int i = 0; i < 2000 && TextOf(count) == L"問"; ++i) ::Sleep(10);
  EXPECT_EQ(TextOf(count), L"6問");
  // The box that shows the result (a new one for each search) fills on its own thread.
  const auto shown = [&] {
    for (HWND box = nullptr; (box = ::FindWindowExW(window, box, nullptr, nullptr));) {
      wchar_t name[32] = {};
      ::GetClassNameW(box, name, 32);
      // Class names are compared as the system compares them, whatever their case.
      if ((_wcsicmp(name, L"RICHEDIT50W") == 0 || _wcsicmp(name, L"RichEdit20W") == 0) &&
          ::IsWindowVisible(box)) {
        return TextOf(box);
      }
    }
    return std::wstring();
  };
  std::wstring text;
  for (int i = 0; i < 2000 && (text = shown()).find(L"データベース.vek(1)：") == text.npos; ++i) {
    ::Sleep(10);
  }
  EXPECT_TRUE(text.starts_with(L"基本問題.vek(1)：") &&
              text.find(L"データベース.vek(1)：") != text.npos)
      << text;
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCode(program, 20000), 0u);
}

}  // namespace
}  // namespace vek::ui::test
