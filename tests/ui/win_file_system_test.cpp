// The Windows file system of the search: folders are recognised by what they are, so that a
// link back up the tree does not make the walk go round, and files are read to their end.
#include <windows.h>

#include <winioctl.h>

#include "search_core.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

TEST(WinFileSystemTest, FolderHasOneIdentityHoweverItIsReachedAndIsWalkedOnce) {
  TempTree tree;
  tree.File(L"a\\x.vek", {L"hit"});
  WinFileSystem fileSystem;
  EXPECT_EQ(fileSystem.Identity(tree.root() / L"a" / L".." / L"A"),
            fileSystem.Identity(tree.root() / L"a"));
  if (!::CreateSymbolicLinkW((tree.root() / L"a" / L"up").c_str(), tree.root().c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "no symbolic links here (error " << ::GetLastError() << ")";
  SearchState state;
  const SearchOutcome outcome = RunSearch(state, u"hit", ToU16(tree.Text()), true, fileSystem);
  EXPECT_EQ(outcome.results, (ResultList{u"x.vek(1)：hit", u""}));
}

// Past what one ReadFile call can count: the hits at the start, past 4 GiB and at the end.
TEST(WinFileSystemTest, FilesPastFourGibibytesAreReadToTheirEnd) {
  TempTree tree;
  {
    const UniqueHandle file(::CreateFileW((tree.root() / L"big.vek").c_str(), GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE);
    DWORD unused = 0;
    ::DeviceIoControl(file.get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &unused, nullptr);
    // Writes `bytes` at `offset`, leaving a hole before them where the file system can.
    const auto writeAt = [&file](std::uint64_t offset, std::string_view bytes) {
      const LARGE_INTEGER at = {.QuadPart = static_cast<LONGLONG>(offset)};
      DWORD written = 0;
      ASSERT_TRUE(::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN) &&
                  ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                              nullptr));
    };
    constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;
    writeAt(0, EncodeCp932(u"猫1\r\n"));
    // Holes with a line end every 16 MiB, so that no line is longer than that.
    for (std::uint64_t at = 16 << 20; at < 4 * kGiB + (64 << 20); at += 16 << 20) writeAt(at, "\n");
    writeAt(4 * kGiB + 10, EncodeCp932(u"\r\n猫2\r\n"));
    writeAt(4 * kGiB + (64 << 20), EncodeCp932(u"\r\n猫3"));
  }
  WinFileSystem fileSystem;
  SearchState state;
  const SearchOutcome outcome = RunSearch(state, u"猫", ToU16(tree.Text()), false, fileSystem);
  EXPECT_EQ(outcome.results,
            (ResultList{u"big.vek(1)：猫1", u"big.vek(2)：猫2", u"big.vek(3)：猫3", u""}));
  EXPECT_TRUE(outcome.problems.empty());
}

}  // namespace
}  // namespace vek::ui::test
