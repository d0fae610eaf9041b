// What the window does at each stage of a search (the walk, the matching, the filling of the
// result box): it goes on handling messages, ignores a second search, shows its progress and
// closes on request. The search is held at a chosen point through a gated file system, so
// every check follows from the order of events, not from timing.
#include <windows.h>

#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <array>

#include "rich_edit.h"
#include "rtf.h"
#include "ui_test_support.h"
#include "wide_text.h"

namespace vek::ui::test {
namespace {

constexpr int kSubfolders = 200;

bool StartsWith(const std::wstring& text, std::wstring_view start) {
  return text.starts_with(start);
}

// Where two box contents first differ (they are too long to print): npos when equal.
std::size_t FirstDifference(const std::string& a, const std::string& b) {
  if (a == b) return std::string::npos;
  return static_cast<std::size_t>(std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first -
                                  a.begin());
}

class SearchStagesTest : public WindowTest {
 protected:
  explicit SearchStagesTest(GatedFileSystem::Kind kind = GatedFileSystem::Kind::Listing,
                            std::wstring gateAt = L"d000")
      : gate_(kind, std::move(gateAt)) {
    fileSystem_ = &gate_;
  }

  void SetUp() override {
    WindowTest::SetUp();
    tree_.File(L"0.vek", {L"hit root"});
    for (int i = 0; i < kSubfolders; ++i) {
      wchar_t name[32];
      std::swprintf(name, 32, L"d%03d\\x.vek", i);
      tree_.File(name, {L"hit " + std::to_wstring(i)});
    }
  }
  void TearDown() override {
    gate_.Release();  // a failed test must not leave the search thread waiting
    WindowTest::TearDown();
  }

  // Starts a search of the whole tree and returns once it waits at the gate.
  void SearchUntilTheGate() {
    StartSearch(L"hit", tree_.Text(), true);
    PumpUntil([this] { return gate_.Held(); });
  }
  std::wstring Progress() {
    ::SendMessageW(hwnd(), WM_TIMER, frmVekSearch::kProgressTimer, 0);
    return StatusText(c().StatusBar1);
  }

  GatedFileSystem gate_;
  TempTree tree_;
};

TEST_F(SearchStagesTest, DuringTheWalkButtonsAreIgnoredTheHourglassShowsAndCancelEndsTheWalk) {
  SearchUntilTheGate();  // root listed, d000 about to be
  EXPECT_EQ(Progress(), L"ファイル収集中：1件");

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
  for (const HWND control : controls) EXPECT_EQ(pointerOver(control), hourglass);

  {
    // Unchecked, an empty keyword would be refused with a message box, and the folder button
    // would open the folder browser.
    DialogWatcher watcher(IDCANCEL);
    SetText(c().txtKeyWord, L"");
    Click(c().cmdSearch);
    Click(c().cmdDirectory);
    Pump();
    EXPECT_TRUE(watcher.Seen().empty());
  }
  ClickPanel(c().StatusBar1, 1, /*post=*/false);
  EXPECT_FALSE(module_.shared.gCancel);
  ClickPanel(c().StatusBar1, 0, /*post=*/false);
  EXPECT_TRUE(module_.shared.gCancel);
  gate_.Release();
  PumpUntil([this] { return !form_->Searching(); });

  // d000 was listed, then the walk stopped: its hits and the root's, counted as ever.
  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{L"0.vek(1)：hit root", L"x.vek(1)：hit 0"}));
  EXPECT_EQ(Text(c().lblSearchCount), L"2問");
  EXPECT_PRED2(StartsWith, StatusText(c().StatusBar1), L"収集を中止：見つけた2ファイルのみ検索　");
  for (const HWND control : controls) EXPECT_NE(pointerOver(control), hourglass);

  Search(L"hit", tree_.Text(), true);  // the cancel is forgotten
  EXPECT_EQ(Text(c().lblSearchCount), L"201問");
  EXPECT_PRED2(StartsWith, StatusText(c().StatusBar1), L"検索完了：201ファイル　");
}

TEST_F(SearchStagesTest, ClosingDuringTheWalkEndsItAndShowsNoResult) {
  SearchUntilTheGate();
  const HWND window = hwnd();
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_EQ(module_.shared.gFileList.size(), 2u);  // left alone while the walk runs
  gate_.Release();
  PumpUntil([&] { return !::IsWindow(window); });
  EXPECT_EQ(module_.shared.gFileCount, 2);
  EXPECT_TRUE(module_.shared.gFileList.empty());
}

class MatchingStageTest : public SearchStagesTest {
 protected:
  MatchingStageTest() : SearchStagesTest(GatedFileSystem::Kind::Reading, L"d150") {}
};

TEST_F(MatchingStageTest, MessagesAreHandledAndACloseEndsTheSearchWithoutAResult) {
  SearchUntilTheGate();
  PumpUntil([this] { return StartsWith(Progress(), L"検索中："); });
  EXPECT_NE(Progress().find(L"／201ファイル　ヒット"), std::wstring::npos) << Progress();

  bool searchingWhenHandled = false;
  PumpedAction action;
  action.Post([&] { searchingWhenHandled = form_->Searching(); });
  PumpUntil([&] { return action.Ran(); });
  EXPECT_TRUE(searchingWhenHandled);

  const HWND window = hwnd();
  const HWND countLabel = c().lblSearchCount;
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  gate_.Release();
  PumpUntil(
      [&] {
        if (!::IsWindow(window)) return true;
        EXPECT_EQ(Text(countLabel), L"問");  // no result shown on the way out
        return false;
      },
      /*oneByOne=*/true);
}

// A result large enough to fill in several slices, whatever the speed of the machine.
class FillStageTest : public WindowTest {
 protected:
  static constexpr int kLines = 3000;
  void SetUp() override {
    WindowTest::SetUp();
    std::vector<std::wstring> lines;
    for (int i = 0; i < kLines; ++i) {
      lines.push_back(L"第" + std::to_wstring(i) + L"行 検索 {abc} \\par ｶﾅ" +
                      std::wstring(static_cast<std::size_t>(i % 50), L'x'));
    }
    tree_.File(L"big.vek", lines);
  }

  // The result as one load of the whole document showed it, in a box set up as the window's.
  std::string SingleLoad() {
    SearchState state;
    WinFileSystem fileSystem;
    const SearchOutcome outcome =
        RunSearch(state, u"検索 abc", ToU16(tree_.Text()), false, fileSystem);
    RichEditLibrary library;
    const HWND box = ::CreateWindowExW(0, library.ClassName(), L"", WS_CHILD | ES_MULTILINE, 0, 0,
                                       100, 100, hwnd(), nullptr, nullptr, nullptr);
    ::SendMessageW(box, EM_EXLIMITTEXT, 0, 0x7FFFFFFE);
    CHARFORMAT2W normal = NormalCharFormat();
    ::SendMessageW(box, EM_SETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&normal));
    StreamInRtf(box, HighlightKeywords(WriteRtf(ResultText(outcome.results)), {u"検索", u"abc"}));
    std::string rtf = RtfOf(box);
    ::DestroyWindow(box);
    return rtf;
  }

  TempTree tree_;
};

TEST_F(FillStageTest, BoxFillsBetweenOtherMessagesAsOneLoadWouldAndIsReplacedCleanly) {
  const std::string expected = SingleLoad();
  StartSearch(L"検索 abc", tree_.Text(), false);
  PumpUntil([this] { return form_->Filling(); }, /*oneByOne=*/true);
  EXPECT_EQ(Text(c().lblSearchCount), L"3,000問");  // known before the box is full
  EXPECT_PRED2(StartsWith, StatusText(c().StatusBar1), L"表示中：");
  bool fillingWhenHandled = false;
  PumpedAction action;
  action.Post([&] { fillingWhenHandled = form_->Filling(); });
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_TRUE(fillingWhenHandled);
  EXPECT_EQ(FirstDifference(RtfOf(c().rtbSearchResult), expected), std::string::npos);
  EXPECT_EQ(ResultLines().size(), static_cast<std::size_t>(kLines));
  EXPECT_EQ(::GetFocus(), c().rtbSearchResult);

  // The same search again: a new box in the old one's place, the same content.
  const HWND first = c().rtbSearchResult;
  const RECT place = ClientRect(first);
  Search(L"検索 abc", tree_.Text(), false);
  EXPECT_FALSE(::IsWindowVisible(first));
  EXPECT_NE(::GetParent(first), hwnd());  // the old box goes on its own thread
  PumpUntil([&] { return !::IsWindow(first); });
  EXPECT_EQ(FirstDifference(RtfOf(c().rtbSearchResult), expected), std::string::npos);
  const RECT replaced = ClientRect(c().rtbSearchResult);
  EXPECT_TRUE(::EqualRect(&place, &replaced));
  // The labels lie below every other control: the box follows 検索 in the tab order.
  EXPECT_EQ(::GetNextWindow(c().cmdSearch, GW_HWNDNEXT), c().rtbSearchResult);

  // Closing while the box fills ends the fill and the window at once.
  StartSearch(L"検索 abc", tree_.Text(), false);
  PumpUntil([this] { return form_->Filling(); }, /*oneByOne=*/true);
  const HWND window = hwnd();
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(window));
  Pump();
}

}  // namespace
}  // namespace vek::ui::test
