// The window at each stage of a search (walk, matching, filling the result box): it answers,
// ignores a second search, shows its progress and closes on request. A gated file system holds
// the search at a chosen point, so every check follows from the order of events, not timing.
#include "rich_edit.h"
#include "rtf.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

// Listing the folder or opening the file whose path ends in the armed text waits until Release().
// The test's thread arms and releases it between searches.
class GatedFileSystem final : public StdFileSystem {
 public:
  void Arm(std::wstring at) {
    at_ = std::move(at);
    held_ = false;
    armed_.emplace(gate_);
  }
  void Release() { armed_.reset(); }
  bool Held() const { return held_; }

  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override {
    Pass(folder);
    return StdFileSystem::ListFolder(folder, listing);
  }
  std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override {
    Pass(file);
    return StdFileSystem::Open(file, reader);
  }

 private:
  void Pass(const std::filesystem::path& path) {
    if (at_.empty() || !path.native().ends_with(at_)) return;
    held_ = true;
    const std::lock_guard wait(gate_);
  }

  std::wstring at_;
  std::atomic<bool> held_ = false;
  std::mutex gate_;
  std::optional<std::unique_lock<std::mutex>> armed_;  // the gate closed
};

class SearchStagesTest : public WindowTest {
 protected:
  SearchStagesTest() {
    fileSystem_ = &gate_;
    tree_.File(L"0.vek", {L"hit root"});
    for (int i = 0; i < 200; ++i) {  // d000 to d199
      tree_.File(L"d" + std::to_wstring(1000 + i).substr(1) + L"\\x.vek",
                 {L"hit " + std::to_wstring(i)});
    }
  }
  void TearDown() override {
    gate_.Release();  // a failed test must not leave the search thread waiting
    WindowTest::TearDown();
  }

  // Starts a search of the whole tree and returns once it waits at the gate and its progress
  // shows what it has got to.
  void SearchUntil(std::wstring gate, std::wstring_view progress) {
    gate_.Arm(std::move(gate));
    StartSearch(L"hit", tree_.Text(), true);
    PumpUntil([&] { return gate_.Held() && Progress().starts_with(progress); });
  }
  std::wstring Progress() {
    ::SendMessageW(hwnd(), WM_TIMER, frmVekSearch::kProgressTimer, 0);
    return Status();
  }

  GatedFileSystem gate_;
  TempTree tree_;
};

TEST_F(SearchStagesTest, WalkAndMatchingAnswerIgnoreButtonsShowProgressCancelAndClose) {
  SearchUntil(L"\\d000", L"ファイル収集中：1件");  // root listed, d000 about to be
  // The pointer over the window and over each of its controls.
  const auto pointers = [this] {
    std::vector<HCURSOR> cursors;
    for (HWND window = hwnd(); window != nullptr;
         window = ::GetWindow(window, window == hwnd() ? GW_CHILD : GW_HWNDNEXT)) {
      ::SetCursor(nullptr);
      ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
      cursors.push_back(::GetCursor());
    }
    return cursors;
  };
  const HCURSOR hourglass = ::LoadCursorW(nullptr, IDC_WAIT);
  // The window and its 11 controls, and the box made for the result once its thread has made it.
  const std::vector<HCURSOR> shown = pointers();
  EXPECT_TRUE(shown.size() >= 12 && std::ranges::count(shown, hourglass) == std::ssize(shown));
  {
    // Unchecked, an empty keyword would be refused with a message box, and the folder button
    // would open the folder browser.
    Watcher watcher({.answer = IDCANCEL});
    ::SetWindowTextW(c().txtKeyWord, L"");
    ::SendMessageW(c().cmdSearch, BM_CLICK, 0, 0);
    ::SendMessageW(c().cmdDirectory, BM_CLICK, 0, 0);
    PumpUntil();
    EXPECT_TRUE(watcher.Seen().empty());
  }
  // A click in the first panel cancels, in the second not.
  for (const int panel : {1, 0}) {
    RECT rect;
    ::SendMessageW(c().StatusBar1, SB_GETRECT, panel, reinterpret_cast<LPARAM>(&rect));
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::SendMessageW(c().StatusBar1, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(c().StatusBar1, WM_LBUTTONUP, 0, point);
    EXPECT_EQ(module_.shared.gCancel.load(), panel == 0);
  }
  gate_.Release();
  PumpUntil([this] { return !form_->Searching(); });
  // d000 was listed, then the walk stopped: its hits and the root's, counted as ever.
  EXPECT_TRUE(Status().starts_with(L"収集を中止：見つけた2ファイルのみ検索　")) << Status();
  EXPECT_EQ(MarkedText(box()), L"0.vek(1)：[hit] root\rx.vek(1)：[hit] 0\r");
  EXPECT_EQ(WindowText(c().lblSearchCount), L"2問");
  EXPECT_EQ(std::ranges::count(pointers(), hourglass), 0);

  // The cancel is forgotten: all 201 files are found. Held now while the matching reads d150.
  SearchUntil(L"\\d150\\x.vek", L"検索中：");
  EXPECT_NE(Progress().find(L"／201ファイル　ヒット"), std::wstring::npos) << Progress();
  // A message posted now is handled while the search goes on.
  ::PostMessageW(c().chkSubFolder, BM_SETCHECK, BST_UNCHECKED, 0);
  PumpUntil([this] { return ::SendMessageW(c().chkSubFolder, BM_GETCHECK, 0, 0) == 0; });
  EXPECT_TRUE(form_->Searching());

  // Closed now, the window leaves the screen at once and, once the search has stopped, the
  // program, without showing a result on the way.
  const HWND window = hwnd(), countLabel = c().lblSearchCount;
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(window));
  EXPECT_FALSE(module_.shared.gFileList.empty());  // left alone while the search runs
  gate_.Release();
  PumpUntil([&] {
    if (!::IsWindow(window)) return true;
    EXPECT_EQ(WindowText(countLabel), L"2問");
    return false;
  });
  EXPECT_TRUE(module_.shared.gFileList.empty());
}

TEST_F(WindowTest, LargeResultFillsBetweenOtherMessagesAsOneLoadWouldAndIsReplacedCleanly) {
  TempTree tree;
  // Large enough to fill in several slices, whatever the speed of the machine.
  std::vector<std::wstring> lines;
  ResultList results;  // as the search lists them
  for (int i = 0; i < 3000; ++i) {
    lines.push_back(L"第" + std::to_wstring(i) + L"行 検索 {abc} \\par ｶﾅ" +
                    std::wstring(static_cast<std::size_t>(i % 50), L'x'));
    results.push_back(ToU16(L"big.vek(" + std::to_wstring(i + 1) + L")：" + lines.back()));
  }
  results.emplace_back();
  tree.File(L"big.vek", lines);
  // Streamed out as RTF: equal for boxes that show the same.
  const auto rtf = [this] { return StreamOutRtf(box(), SF_RTF); };

  StartSearch(L"検索 abc", tree.Text(), false);
  PumpUntil([this] { return form_->Filling(); });
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3,000問");  // known before the box is full
  EXPECT_TRUE(Status().starts_with(L"表示中：")) << Status();
  // A message posted now is handled while the box fills.
  ::PostMessageW(c().chkSubFolder, BM_SETCHECK, BST_CHECKED, 0);
  PumpUntil([this] { return ::SendMessageW(c().chkSubFolder, BM_GETCHECK, 0, 0) != 0; });
  EXPECT_TRUE(form_->Filling());
  PumpUntil([this] { return !form_->Searching(); });
  const std::string filled = rtf();
  EXPECT_EQ(::GetFocus(), box());

  // The same search again: a new box in the old one's place, the same content.
  const HWND first = box();
  const Box place = BoxOf(first);
  Search(L"検索 abc", tree.Text());
  EXPECT_FALSE(::IsWindowVisible(first));
  EXPECT_NE(::GetParent(first), hwnd());  // the old box goes on its own thread
  PumpUntil([&] { return !::IsWindow(first); });
  EXPECT_TRUE(rtf() == filled);
  EXPECT_EQ(BoxOf(box()), place);
  // The box follows its label, and so 検索 in the tab order.
  EXPECT_EQ(::GetNextWindow(c().lblSearchResult, GW_HWNDNEXT), box());

  // The slices read back as one load of the whole document would, colours included.
  StreamInRtf(box(), HighlightKeywords(WriteRtf(ResultText(results)), {u"検索", u"abc"}));
  EXPECT_TRUE(rtf() == filled);

  // Closing while the box fills ends the fill and the window at once.
  StartSearch(L"検索 abc", tree.Text(), false);
  PumpUntil([this] { return form_->Filling(); });
  const HWND window = hwnd();
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindow(window));
}

}  // namespace
}  // namespace vek::ui::test
