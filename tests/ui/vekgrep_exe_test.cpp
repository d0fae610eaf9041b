// vekgrep.exe as a script on Windows sees it, its output redirected to files: the same cases,
// and the same bytes, as vekgrep on Linux.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cp932.h"
#include "vekgrep_cases.h"
#include "wide_text.h"

namespace vek::ui::test {
namespace {

namespace fs = std::filesystem;
using vek::test::VekgrepRun;

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0),
                    L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), int(wide.size()));
  return wide;
}

std::string Slurp(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// Runs vekgrep.exe in `cwd` with standard output and error going to files beside it.
VekgrepRun Vekgrep(const fs::path& cwd, const std::vector<std::string>& args) {
  std::wstring exe = fs::path(VEKGREP_EXE).make_preferred().wstring();
  if (exe.starts_with(L"\\")) exe = L"Z:" + exe;  // a Unix path, reached through drive Z:
  std::wstring command = L"\"" + exe + L"\"";
  for (const std::string& arg : args) command += L" \"" + Wide(arg) + L"\"";  // no quotes in them
  SECURITY_ATTRIBUTES inherited = {sizeof(inherited), nullptr, TRUE};
  const auto create = [&](const wchar_t* name) {
    // Shared: the run before may not have let go of the files yet when this one starts.
    return ::CreateFileW((cwd.parent_path() / name).c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                         CREATE_ALWAYS, 0, nullptr);
  };
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = create(L"out.txt");
  startup.hStdError = create(L"err.txt");
  PROCESS_INFORMATION process = {};
  DWORD status = 125;
  if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                       nullptr, cwd.c_str(), &startup, &process)) {
    ::WaitForSingleObject(process.hProcess, 60'000);
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hProcess);
    ::CloseHandle(process.hThread);
  }
  ::CloseHandle(startup.hStdOutput);
  ::CloseHandle(startup.hStdError);
  return {Slurp(cwd.parent_path() / "out.txt"), Slurp(cwd.parent_path() / "err.txt"), int(status)};
}

TEST(VekgrepExeTest, GivesWhatVekgrepGivesOnLinux) {
  const fs::path root =
      fs::temp_directory_path() / (L"vekgrep-" + std::to_wstring(::GetTickCount64()));
  const fs::path tree = root / L"tree";
  for (const auto& [path, text] : vek::test::VekgrepTree()) {
    fs::create_directories((tree / path).parent_path());
    std::ofstream(tree / path, std::ios::binary) << EncodeCp932(text);
  }
  for (const vek::test::VekgrepCase& c : vek::test::VekgrepCases())
    EXPECT_EQ(Vekgrep(tree, c.args), c.run) << c.args.back();
  for (const std::vector<std::string>& args : vek::test::VekgrepMisuses()) {
    const VekgrepRun run = Vekgrep(tree, args);
    EXPECT_TRUE(vek::test::IsMisuse(run)) << run;
  }
  std::error_code ignored;
  fs::remove_all(root, ignored);
}

}  // namespace
}  // namespace vek::ui::test
