// The Windows file system of the search: folders are recognised by what they are, so that a
// link back up the tree does not make the walk go round.
#include "win_file_system.h"
#include "search_core.h"
#include "text_convert.h"
#include "ui_test_support.h"
#include "wide_text.h"

namespace vek::ui {
namespace {

TEST(WinFileSystemTest, SameFolderHasOneIdentityHoweverItIsSpelled) {
  test::TempTree tree;
  tree.Folder(L"a");
  tree.Folder(L"b");
  WinFileSystem fileSystem;
  const auto a = fileSystem.Identity(tree.root() / L"a");
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(fileSystem.Identity(tree.root() / L"b" / L".." / L"A"), a);
  EXPECT_NE(fileSystem.Identity(tree.root() / L"b"), a);
  EXPECT_FALSE(fileSystem.Identity(tree.root() / L"missing").has_value());
}

TEST(WinFileSystemTest, LinkBackUpTheTreeIsNotWalkedTwice) {
  test::TempTree tree;
  tree.File(L"a\\x.vek", {L"hit"});
  const std::wstring link = (tree.root() / L"a" / L"up").wstring();
  if (!::CreateSymbolicLinkW(link.c_str(), tree.Text().c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY))
    GTEST_SKIP() << "no symbolic links here (error " << ::GetLastError() << ")";
  WinFileSystem fileSystem;
  SearchState state;
  const SearchOutcome outcome = RunSearch(state, u"hit", ToU16(tree.Text()), true, fileSystem);
  EXPECT_EQ(outcome.results, (ResultList{u"x.vek(1)：hit", u""}));
}

}  // namespace
}  // namespace vek::ui
