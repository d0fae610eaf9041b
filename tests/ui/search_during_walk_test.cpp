// What the window does while a folder walk runs and pumps its events: the cancel panel, the
// buttons, closing the window, the pointer.
#include <windows.h>

#include <commctrl.h>

#include <array>

#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

constexpr int kSubfolders = 200;

class SearchDuringWalkTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    tree_.File(L"0.vek", {L"hit root"});
    for (int i = 0; i < kSubfolders; ++i) {
      wchar_t name[32];
      std::swprintf(name, 32, L"d%03d\\x.vek", i);
      tree_.File(name, {L"hit " + std::to_wstring(i)});
    }
  }

  void SearchTree() { Search(L"hit", tree_.Text(), true); }

  TempTree tree_;
};

TEST_F(SearchDuringWalkTest, CancelPanelStopsTheWalkAndShowsTheHitsFoundSoFar) {
  // Posted now, the click is handled by the walk's first event pump, before the first
  // subfolder: only the root folder's file has been collected by then.
  ClickPanel(c().StatusBar1, 0, /*post=*/true);
  SearchTree();

  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{L"0.vek(1)：hit root"}));
  EXPECT_EQ(Text(c().lblSearchCount), L"1問");
  EXPECT_EQ(module_.shared.gFileCount, 1);
}

TEST_F(SearchDuringWalkTest, SecondPanelDoesNotCancel) {
  ClickPanel(c().StatusBar1, 1, /*post=*/true);
  SearchTree();
  EXPECT_EQ(ResultLines().size(), kSubfolders + 1u);
  EXPECT_EQ(Text(c().lblSearchCount), L"201問");
}

TEST_F(SearchDuringWalkTest, CancelClickedBetweenSearchesIsForgottenByTheNextSearch) {
  ClickPanel(c().StatusBar1, 0, /*post=*/false);
  ASSERT_TRUE(module_.shared.gCancel);
  SearchTree();
  EXPECT_EQ(ResultLines().size(), kSubfolders + 1u);
}

TEST_F(SearchDuringWalkTest, SearchAndFolderButtonsAreIgnoredWhileTheWalkRuns) {
  DialogWatcher watcher(IDCANCEL);
  PumpedAction action;
  action.Post([this] {
    // Unchecked, an empty keyword would be refused with a message box, and the folder
    // button would open the folder browser.
    SetText(c().txtKeyWord, L"");
    Click(c().cmdSearch);
    Click(c().cmdDirectory);
  });
  SearchTree();

  ASSERT_TRUE(action.Ran());
  EXPECT_TRUE(watcher.Seen().empty());
  EXPECT_EQ(ResultLines().size(), kSubfolders + 1u);
  EXPECT_EQ(Text(c().lblSearchCount), L"201問");
}

TEST_F(SearchDuringWalkTest, ClosingDuringTheWalkCancelsItAndClosesOnceTheSearchReturns) {
  const HWND window = hwnd();
  bool openAfterClose = false;
  std::size_t listedAfterClose = 0;
  PumpedAction action;
  action.Post([&] {
    ::SendMessageW(window, WM_CLOSE, 0, 0);
    openAfterClose = ::IsWindow(window) != FALSE;
    listedAfterClose = module_.shared.gFileList.size();
  });
  SearchTree();

  ASSERT_TRUE(action.Ran());
  EXPECT_TRUE(openAfterClose);
  EXPECT_EQ(listedAfterClose, 2u);  // the walk's list is left alone while it runs
  EXPECT_EQ(module_.shared.gFileCount, 1);
  for (int i = 0; i < 100 && ::IsWindow(window); ++i) {
    Pump();
    ::Sleep(10);
  }
  EXPECT_FALSE(::IsWindow(window));
  EXPECT_TRUE(module_.shared.gFileList.empty());
}

TEST_F(SearchDuringWalkTest, HourglassOverEveryControlOnlyWhileTheWalkRuns) {
  const HCURSOR hourglass = ::LoadCursorW(nullptr, IDC_WAIT);
  const auto& k = c();
  const std::array controls = {hwnd(),           k.lblFilePath,     k.chkSubFolder,
                               k.txtFilePath,    k.cmdDirectory,    k.lblKeyWord,
                               k.txtKeyWord,     k.cmdSearch,       k.lblSearchResult,
                               k.lblSearchCount, k.rtbSearchResult, k.StatusBar1};
  const auto pointerOver = [&](HWND control) {
    ::SetCursor(nullptr);
    ::SendMessageW(control, WM_SETCURSOR, reinterpret_cast<WPARAM>(control),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ::GetCursor();
  };

  std::vector<HWND> withoutHourglass;
  PumpedAction action;
  action.Post([&] {
    for (const HWND control : controls) {
      if (pointerOver(control) != hourglass) withoutHourglass.push_back(control);
    }
  });
  SearchTree();

  ASSERT_TRUE(action.Ran());
  EXPECT_TRUE(withoutHourglass.empty()) << withoutHourglass.size() << " controls";
  for (const HWND control : controls) EXPECT_NE(pointerOver(control), hourglass);
}

}  // namespace
}  // namespace vek::ui::test
