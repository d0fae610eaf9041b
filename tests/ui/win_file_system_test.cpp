// The Windows file system of the search: folders are listed natively and recognised by what they
// are, so that a link back up the tree does not make the walk go round; paths work at any
// length; files not on this computer are left alone.
#include <windows.h>

#include <winioctl.h>

#include "file_collection.h"
#include "input_rules.h"
#include "search_core.h"
#include "shell_item.h"
#include "system_error_text.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

std::wstring Extended(const std::wstring& path) {
  return L"\\\\?\\" + path;
}

// Counts the looks the listing takes at an entry of its own: only links should cost one.
struct CountingFileSystem final : WinFileSystem {
  int looks = 0;
  std::optional<std::uint32_t> TargetAttributes(const std::wstring& path) override {
    ++looks;
    return WinFileSystem::TargetAttributes(path);
  }
};

// A junction at `link` to `target`, as the system makes one. Wine makes none (nor symbolic
// links), but lists a Unix symbolic link as a reparse point: one is made with ln.
bool MakeFolderLink(const std::filesystem::path& link, const std::filesystem::path& target) {
  if (::CreateDirectoryW(link.c_str(), nullptr)) {
    const UniqueHandle handle(
        ::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    const std::wstring substitute = L"\\??\\" + target.wstring();
    const auto bytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
    struct {
      DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
      WORD length = 0, reserved = 0, substituteOffset = 0, substituteLength = 0, printOffset = 0,
           printLength = 0;
      wchar_t names[2048] = {};
    } data;
    data.substituteLength = bytes;
    data.printOffset = bytes + sizeof(wchar_t);
    std::copy(substitute.begin(), substitute.end(), data.names);
    data.length = static_cast<WORD>(4 * sizeof(WORD) + bytes + 2 * sizeof(wchar_t));
    DWORD unused = 0;
    if (handle.get() != INVALID_HANDLE_VALUE &&
        ::DeviceIoControl(handle.get(), FSCTL_SET_REPARSE_POINT, &data, 8 + data.length, nullptr, 0,
                          &unused, nullptr))
      return true;
    ::RemoveDirectoryW(link.c_str());
  }
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (unixName == nullptr) return false;
  const auto unix = [unixName](const std::filesystem::path& path) {
    const std::string name = unixName(path.c_str());
    return std::wstring(name.begin(), name.end());  // ASCII: the temporary folder's names
  };
  std::wstring command =
      L"ln -s " + unix(target) + L" " + unix(link.parent_path()) + L"/" + link.filename().wstring();
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessW(L"Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
    return false;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  for (int i = 0; i < 500 && ::GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
    ::Sleep(10);
  return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A link goes before the tree does, which would otherwise be removed through it.
void RemoveLink(const std::filesystem::path& link) {
  if (!::RemoveDirectoryW(link.c_str())) ::DeleteFileW(link.c_str());
}

TEST(WinFileSystemTest, FolderHasOneIdentityHoweverItIsReachedAndALinkBackUpIsNotEntered) {
  TempTree tree;
  tree.File(L"a\\x.vek", {L"hit"});
  WinFileSystem fileSystem;
  const std::optional<FolderIdentity> identity = fileSystem.Identity(tree.root() / L"a");
  ASSERT_TRUE(identity && identity->Known());
  EXPECT_EQ(fileSystem.Identity(tree.root() / L"a" / L".." / L"A"), identity);
  EXPECT_NE(fileSystem.Identity(tree.root()), identity);
  // A folder that is gone, or a file, lists with an error.
  FolderListing listing;
  EXPECT_TRUE(fileSystem.ListFolder(tree.root() / L"gone", listing));
  EXPECT_TRUE(fileSystem.ListFolder(tree.root() / L"a" / L"x.vek", listing));
  const std::filesystem::path up = tree.root() / L"a" / L"up";
  if (!MakeFolderLink(up, tree.root())) GTEST_SKIP() << "no folder links here";
  CountingFileSystem counting;
  SearchState state;
  const SearchOutcome outcome = RunSearch(state, u"hit", ToU16(tree.Text()), true, counting);
  EXPECT_EQ(outcome.results, (ResultList{u"x.vek(1)：hit", u""}));
  EXPECT_EQ(counting.looks, 1);  // the link's target; no other entry took a look of its own
  RemoveLink(up);
}

// Folder names of 60 characters, a third of them double-byte: the deepest of the 17 levels
// lies past 1,000 characters. Files at the top, just past MAX_PATH and at the bottom.
TEST_F(WindowTest, TreesPastMaxPathAndAThousandCharactersAreSearchedToTheirEnd) {
  TempTree tree;
  std::deque<NativePath> expected{{}};
  std::vector<std::wstring> folders;
  const auto write = [&expected](const std::wstring& folder, const wchar_t* name) {
    const std::wstring path = folder + L"\\" + name;
    const UniqueHandle file(::CreateFileW(Extended(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), "x\r\nhit\r\n", 8, &written, nullptr)) << path.size();
    expected.push_back(path);
  };
  write(tree.Text(), L"a.vek");
  std::wstring folder = tree.Text();
  for (int level = 10; level < 27; ++level) {
    folder += L"\\" + std::wstring(20, L'階') + std::wstring(38, L'x') + std::to_wstring(level);
    ASSERT_TRUE(::CreateDirectoryW(Extended(folder).c_str(), nullptr)) << folder.size();
    folders.push_back(folder);
    if (folder.size() > MAX_PATH && expected.size() == 2) write(folder, L"b.vek");
  }
  write(folder, L"c.vek");
  ASSERT_GT(expected.back().size(), 1000u);

  const ResultList hits{u"a.vek(1)：hit", u"b.vek(1)：hit", u"c.vek(1)：hit", u""};
  CountingFileSystem fileSystem;
  // Typed as a user may: with "/", "." and ".." inside, a trailing separator, relative to the
  // current folder.
  const std::wstring first = folders[0].substr(tree.Text().size() + 1);
  wchar_t current[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, current);
  ::SetCurrentDirectoryW(folders[1].c_str());
  for (const std::wstring& typed : {tree.Text(), tree.Text() + L"/" + first + L"/.././",
                                    tree.Text() + L"\\", std::wstring(L"..\\..")}) {
    SearchState state;
    const SearchOutcome outcome = RunSearch(state, u"hit", ToU16(typed), true, fileSystem);
    EXPECT_EQ(outcome.results, hits);
    EXPECT_TRUE(outcome.problems.empty()) << outcome.problems[0].path;
    // Shown as typed: the folder text, then the names found.
    EXPECT_EQ(state.gFileList.back(),
              typed + expected.back().substr(tree.Text().size() +
                                             (typed.back() == L'\\' || typed.back() == L'/')));
  }
  ::SetCurrentDirectoryW(current);
  EXPECT_EQ(fileSystem.looks, 0);
  // The folder test of the input rules and the shell's items, at the same depths.
  EXPECT_TRUE(FolderExists(ToU16(folder), fileSystem));
  EXPECT_FALSE(FolderExists(ToU16(expected.back()), fileSystem));
  // Wine's shell parses no path past MAX_PATH characters: there only the start is checked.
  const bool wine = ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version");
  EXPECT_EQ(PathOfItem(ItemOfPath(folders[2]).get()), folders[2]);
  if (!wine) {
    EXPECT_EQ(PathOfItem(ItemOfPath(expected[2]).get()), expected[2]);
    EXPECT_EQ(PathOfItem(ItemOfPath(expected.back()).get()), expected.back());
  }

  // And so through the window: no problems, the caret's line traced to its file.
  Watcher warnings;
  Search(L"hit", tree.Text(), true);
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3問");
  const LRESULT last = ::SendMessageW(box(), EM_LINEINDEX, 2, 0);
  ::SendMessageW(box(), EM_SETSEL, last, last);
  PumpUntil([&] { return Status().starts_with(expected.back() + L"　2行目"); });
  EXPECT_TRUE(warnings.Seen().empty());

  // Removed here: the standard library's removal stops at MAX_PATH.
  for (auto at = folders.rbegin(); at != folders.rend(); ++at) {
    for (const wchar_t* name : {L"b.vek", L"c.vek"})
      ::DeleteFileW(Extended(*at + L"\\" + name).c_str());
    ::RemoveDirectoryW(Extended(*at).c_str());
  }
}

// A placeholder of a synced folder is reported as such, never opened.
TEST(WinFileSystemTest, FilesNotOnThisComputerAreReportedNotRead) {
  EXPECT_EQ(SystemErrorText(NotOnThisComputer()),
            u"このコンピューター上にありません（クラウド上のファイル）");
  TempTree tree;
  tree.File(L"local.vek", {L"hit"});
  const auto remote = tree.File(L"remote.vek", {L"hit"});
  ::SetFileAttributesW(remote.c_str(), FILE_ATTRIBUTE_OFFLINE);
  if ((::GetFileAttributesW(remote.c_str()) & FILE_ATTRIBUTE_OFFLINE) == 0)
    GTEST_SKIP() << "the offline attribute is not kept here";
  WinFileSystem fileSystem;
  SearchState state;
  const SearchOutcome outcome = RunSearch(state, u"hit", ToU16(tree.Text()), false, fileSystem);
  EXPECT_EQ(outcome.results, (ResultList{u"local.vek(1)：hit", u""}));
  ASSERT_EQ(outcome.problems.size(), 1u);
  EXPECT_EQ(outcome.problems[0].path, remote);
  EXPECT_EQ(outcome.problems[0].error, NotOnThisComputer());
}

}  // namespace
}  // namespace vek::ui::test
