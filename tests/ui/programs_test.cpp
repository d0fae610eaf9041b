// The programs started as processes: VekSearch.exe, one instance at a time, and vekgrep.exe as a
// script on Windows sees it, its output redirected to files: the same cases, and the same bytes,
// as vekgrep on Linux.
#include "text_convert.h"
#include "ui_test_support.h"
#include "vekgrep_cases.h"

namespace vek::ui::test {
namespace {

struct Process : PROCESS_INFORMATION {
  ~Process() {
    ::TerminateProcess(hProcess, 9);  // when a check failed before it ended
    ::CloseHandle(hProcess);
    ::CloseHandle(hThread);
  }
};

// The program at `path` started with `command` (the path alone if none), in `cwd` (the current
// folder if none).
bool Start(std::wstring path, PROCESS_INFORMATION& process, STARTUPINFOW startup = {},
           std::wstring command = {}, const wchar_t* cwd = nullptr) {
  startup.cb = sizeof(startup);
  if (command.empty()) command = path;
  const bool redirected = (startup.dwFlags & STARTF_USESTDHANDLES) != 0;  // handles to inherit
  return ::CreateProcessW(path.c_str(), command.data(), nullptr, nullptr, redirected,
                          redirected ? CREATE_NO_WINDOW : 0, nullptr, cwd, &startup,
                          &process) != FALSE;
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

// The program as the build wrote it (a Unix path under Wine is reached through drive Z:), or the
// release package as a user unpacks it (tools/package.sh names its folder): it opens on its own
// folder, whatever the current one, a package finds the samples below it, and a second start is
// refused with a message and no window.
TEST(StartupTest, OpensOnItsFolderFindsTheSamplesAndRefusesASecondStart) {
  const wchar_t* package = _wgetenv(L"VEK_PACKAGE_DIR");
  std::wstring exe = package ? std::wstring(package) + L"\\VekSearch.exe"
                             : std::filesystem::path(VEKSEARCH_EXE).make_preferred().wstring();
  if (exe.starts_with(L"\\")) exe = L"Z:" + exe;
  const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
  if (package) {
    // The version of its name is the one of the program's file properties.
    const std::string_view built = VEK_VERSION;
    const std::wstring expected(built.begin(), built.end());
    EXPECT_TRUE(folder.ends_with(L"\\VekSearch-" + expected + L"-win64"));
    std::vector<char> info(::GetFileVersionInfoSizeW(exe.c_str(), nullptr));
    wchar_t* version = nullptr;
    UINT length = 0;
    EXPECT_TRUE(::GetFileVersionInfoW(exe.c_str(), 0, info.size(), info.data()) &&
                ::VerQueryValueW(info.data(), L"\\StringFileInfo\\041104B0\\ProductVersion",
                                 reinterpret_cast<void**>(&version), &length));
    EXPECT_EQ(std::wstring(version ? version : L""), expected);
  }
  Process first = {}, second = {};
  ASSERT_TRUE(Start(exe, first)) << ::GetLastError();
  const HWND window = WaitFor(L"frmVekSearch", nullptr);
  ASSERT_NE(window, nullptr);
  const HWND folderBox = Child(window, L"Edit", nullptr);
  EXPECT_EQ(TextOf(folderBox), folder);  // asked, as it is another process's box

  if (package) {
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
    for (int i = 0; i < 2000 && (text = shown()).find(L"データベース.vek(1)：") == text.npos; ++i)
      ::Sleep(10);
    EXPECT_TRUE(text.starts_with(L"基本問題.vek(1)：") &&
                text.find(L"データベース.vek(1)：") != text.npos)
        << text;
  }

  ASSERT_TRUE(Start(exe, second));
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

// Runs vekgrep.exe in `cwd` with standard output and error going to files beside it.
vek::test::VekgrepRun Vekgrep(const fs::path& cwd, const std::vector<std::string>& args) {
  std::wstring exe = fs::path(VEKGREP_EXE).make_preferred().wstring();
  if (exe.starts_with(L"\\")) exe = L"Z:" + exe;  // a Unix path, reached through drive Z:
  std::wstring command = L"\"" + exe + L"\"";
  for (const std::string& arg : args)
    command += L" \"" + ToWide(Utf8ToUtf16(arg)) + L"\"";  // no quotes in them
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  const auto create = [&](const wchar_t* name) {
    // Shared: the run before may not have let go of the files yet when this one starts.
    return ::CreateFileW((cwd.parent_path() / name).c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                         CREATE_ALWAYS, 0, nullptr);
  };
  STARTUPINFOW startup = {};
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = create(L"out.txt");
  startup.hStdError = create(L"err.txt");
  Process process = {};
  const DWORD status =
      Start(exe, process, startup, command, cwd.c_str()) ? ExitCode(process, 60'000) : 125;
  ::CloseHandle(startup.hStdOutput);
  ::CloseHandle(startup.hStdError);
  return {vek::test::Slurp(cwd.parent_path() / "out.txt"),
          vek::test::Slurp(cwd.parent_path() / "err.txt"), int(status)};
}

TEST(VekgrepExeTest, GivesWhatVekgrepGivesOnLinux) {
  vek::test::TempTree root;
  for (const auto& [path, text] : vek::test::VekgrepTree()) root.Write("tree/" + path, text);
  const fs::path tree = root / "tree";
  for (const vek::test::VekgrepCase& c : vek::test::VekgrepCases())
    EXPECT_EQ(Vekgrep(tree, c.args), c.run) << c.args.back();
  for (const std::vector<std::string>& args : vek::test::VekgrepMisuses()) {
    const vek::test::VekgrepRun run = Vekgrep(tree, args);
    EXPECT_TRUE(vek::test::IsMisuse(run)) << run;
  }
}

}  // namespace
}  // namespace vek::ui::test
