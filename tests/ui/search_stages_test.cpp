// The window at each stage of a search (walk, matching, filling the result box): it answers,
// ignores a second search until the box fills, shows its progress, obeys a new search or Cancel
// during the fill and closes on request. A gated file system holds the search at a chosen point
// and a held thread stands for a busy result box, so every check follows from the order of
// events, not timing.
#include "messages.h"
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

// The window searching through the gate, with what the stages' tests do to it.
class GatedTest : public WindowTest {
 protected:
  GatedTest() { fileSystem_ = &gate_; }
  void TearDown() override {
    gate_.Release();  // a failed test must not leave the search thread waiting
    WindowTest::TearDown();
  }
  // A click in the status bar's panel.
  void ClickPanel(int panel) {
    RECT rect;
    ::SendMessageW(c().StatusBar1, SB_GETRECT, panel, reinterpret_cast<LPARAM>(&rect));
    const LPARAM point = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    ::SendMessageW(c().StatusBar1, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(c().StatusBar1, WM_LBUTTONUP, 0, point);
  }
  // Returns once a message posted now (one that checks 下位フォルダ or not) is handled.
  void PostedCheckHandled(WPARAM check) {
    ::PostMessageW(c().chkSubFolder, BM_SETCHECK, check, 0);
    PumpUntil(
        [&] { return ::SendMessageW(c().chkSubFolder, BM_GETCHECK, 0, 0) == LRESULT(check); });
  }
  void ChangeDpi(WORD dpi) {
    RECT suggested;
    ::GetWindowRect(hwnd(), &suggested);
    ::SendMessageW(hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                   reinterpret_cast<LPARAM>(&suggested));
  }

  GatedFileSystem gate_;
  TempTree tree_;
};

class SearchStagesTest : public GatedTest {
 protected:
  SearchStagesTest() {
    tree_.File(L"0.vek", {L"hit root"});
    for (int i = 0; i < 200; ++i) {  // d000 to d199
      tree_.File(L"d" + std::to_wstring(1000 + i).substr(1) + L"\\x.vek",
                 {L"hit " + std::to_wstring(i)});
    }
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
};

TEST_F(SearchStagesTest, WalkAndMatchingAnswerIgnoreButtonsShowProgressCancelAndClose) {
  SearchUntil(L"\\d000", L"ファイル収集中：1件");  // root listed, d000 about to be
  const HCURSOR hourglass = ::LoadCursorW(nullptr, IDC_WAIT);
  // The window and its 11 controls.
  const std::vector<HCURSOR> shown = Pointers();
  EXPECT_EQ(std::ranges::count(shown, hourglass), std::ssize(shown));
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
    ClickPanel(panel);
    EXPECT_EQ(module_.shared.gCancel.load(), panel == 0);
  }
  gate_.Release();
  PumpUntil([this] { return !form_->Searching(); });
  // d000 was listed, then the walk stopped: its hits and the root's, counted as ever.
  EXPECT_TRUE(Status().starts_with(L"収集を中止：見つけた2ファイルのみ検索　")) << Status();
  EXPECT_EQ(MarkedText(box()), L"0.vek(1)：[hit] root\rx.vek(1)：[hit] 0\r");
  EXPECT_EQ(WindowText(c().lblSearchCount), L"2問");
  EXPECT_EQ(std::ranges::count(Pointers(), hourglass), 0);

  // The cancel is forgotten: all 201 files are found. Held now while the matching reads d150.
  SearchUntil(L"\\d150\\x.vek", L"検索中：");
  EXPECT_NE(Progress().find(L"／201ファイル　ヒット"), std::wstring::npos) << Progress();
  // A message posted now is handled while the search goes on.
  PostedCheckHandled(BST_UNCHECKED);
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

TEST_F(SearchStagesTest, CaretLineIsCountedWhileTheWindowAnswersThoughItsFileIsHeldBack) {
  Search(L"hit", tree_.Text(), true);
  ASSERT_EQ(BoxLines(), 201);
  // The 7th result line is d005's: its path shows at once, its line number once the file could
  // be read, and the window answers meanwhile.
  gate_.Arm(L"\\d005\\x.vek");
  const LRESULT at = ::SendMessageW(box(), EM_LINEINDEX, 6, 0);
  ::SendMessageW(box(), EM_SETSEL, at + 2, at + 2);
  const std::wstring path = (tree_.root() / L"d005" / L"x.vek").wstring();
  PumpUntil([&] { return gate_.Held() && Status() == path; });
  PostedCheckHandled(BST_UNCHECKED);
  gate_.Release();
  PumpUntil([&] { return Status() == path + L"　1行目"; });
}

// A result of 3000 lines, large enough to fill in many slices whatever the speed of the machine.
class FillTest : public GatedTest {
 protected:
  FillTest() {
    std::vector<std::wstring> lines;
    for (int i = 0; i < 3000; ++i) {
      lines.push_back(L"第" + std::to_wstring(i) + L"行 検索 {abc} \\par ｶﾅ" +
                      std::wstring(static_cast<std::size_t>(i % 50), L'x'));
      results_.push_back(ToU16(L"big.vek(" + std::to_wstring(i + 1) + L")：" + lines.back()));
    }
    results_.emplace_back();
    tree_.File(L"big.vek", lines);
  }

  // Starts the large search and returns once the box shows at least `lines` of it.
  void FillUntil(int lines) {
    StartSearch(L"検索 abc", tree_.Text(), false);
    PumpUntil([&] { return form_->Filling() && BoxLines() >= lines; });
  }
  // The box's text, paragraphs ended by "\r", and the first `lines` result lines as it shows them.
  std::wstring BoxText() const {
    std::wstring text = WindowText(box());
    std::erase(text, L'\n');
    return text;
  }
  std::wstring FirstLines(int lines) const {
    std::wstring text;
    for (int line = 0; line < lines; ++line) text += ToWide(results_[line]) + L"\r";
    return text;
  }
  // Once a message posted to the box now is handled, so is every slice asked for before it. The
  // message changes the box's text limit, which nothing else looks at, and puts it back.
  void AfterQueuedSlices(HWND box) {
    const LRESULT limit = ::SendMessageW(box, EM_GETLIMITTEXT, 0, 0);
    ::SendMessageW(box, EM_EXLIMITTEXT, 0, limit - 1);
    ::PostMessageW(box, EM_EXLIMITTEXT, 0, limit);
    PumpUntil([box, limit] { return ::SendMessageW(box, EM_GETLIMITTEXT, 0, 0) == limit; });
  }

  ResultList results_;  // as the search lists them
};

TEST_F(FillTest, FillsBetweenOtherMessagesAsOneLoadWouldHoldsTheViewAndIsReplacedCleanly) {
  // Streamed out as RTF: equal for boxes that show the same.
  const auto rtf = [this] { return StreamOutRtf(box(), SF_RTF); };
  const auto selection = [this] {
    CHARRANGE range = {};
    ::SendMessageW(box(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range));
    return std::pair{range.cpMin, range.cpMax};
  };
  const auto firstVisible = [this] { return ::SendMessageW(box(), EM_GETFIRSTVISIBLELINE, 0, 0); };

  FillUntil(0);
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3,000問");  // known before the box is full
  EXPECT_TRUE(Status().starts_with(L"表示中：")) << Status();
  // The arrow with the small hourglass everywhere, the box included: the user may go on.
  const HCURSOR working = ::LoadCursorW(nullptr, IDC_APPSTARTING);
  const std::vector<HCURSOR> pointers = Pointers();
  EXPECT_EQ(std::ranges::count(pointers, working), std::ssize(pointers));
  // A message posted now is handled while the box fills.
  PostedCheckHandled(BST_CHECKED);
  EXPECT_TRUE(form_->Filling());
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(std::ranges::count(Pointers(), working), 0);
  const std::string filled = rtf();
  EXPECT_EQ(::GetFocus(), box());
  // The first lines in view and the caret on the first one, as before the first slice.
  EXPECT_EQ(firstVisible(), 0);
  EXPECT_EQ(selection(), std::pair(0L, 0L));

  // The same search again: a new box in the old one's place, the same content. A view and a
  // selection the user makes while it fills stay where they are.
  const HWND first = box();
  const Box place = BoxOf(first);
  FillUntil(125);
  ::SendMessageW(box(), EM_SETSEL, 40, 90);
  ::SendMessageW(box(), EM_LINESCROLL, 0, 30);
  const LRESULT moved = firstVisible();
  EXPECT_GT(moved, 0);
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(firstVisible(), moved);
  EXPECT_EQ(selection(), std::pair(40L, 90L));
  EXPECT_FALSE(::IsWindowVisible(first));
  EXPECT_NE(::GetParent(first), hwnd());  // the old box goes on its own thread
  PumpUntil([&] { return !::IsWindow(first); });
  EXPECT_TRUE(rtf() == filled);
  EXPECT_EQ(BoxOf(box()), place);
  // The box follows its label, and so 検索 in the tab order.
  EXPECT_EQ(::GetNextWindow(c().lblSearchResult, GW_HWNDNEXT), box());

  // The slices read back as one load of the whole document would, colours included.
  StreamInRtf(box(), HighlightKeywords(WriteRtf(ResultText(results_)), {u"検索", u"abc"}));
  EXPECT_TRUE(rtf() == filled);

  // Closing while the box fills ends the fill and the window.
  FillUntil(0);
  const HWND window = hwnd();
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(window));
  PumpUntil([&] { return !::IsWindow(window); });
}

TEST_F(FillTest, DuringTheFillANewSearchStartsAtOnceARefusedOneLetsItEndAndCancelStopsIt) {
  Watcher watcher;  // answers the refusal
  FillUntil(0);
  // Refused: the message, and the fill goes on to its end.
  ::SetWindowTextW(c().txtKeyWord, L"ab");
  ::SendMessageW(c().cmdSearch, BM_CLICK, 0, 0);
  EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"入力項目Check Error|" +
                                                      ToWide(kMsgTooShortOne) + L"|stop OK"});
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(BoxLines(), 3000);
  EXPECT_TRUE(Status().starts_with(L"検索完了：1ファイル　")) << Status();

  // Accepted: the fill stops at once, and the new search runs as any other (held here at its
  // file, so that the old box can be watched meanwhile).
  FillUntil(0);
  const HWND old = box();
  gate_.Arm(L"big.vek");
  StartSearch(L"第7行", tree_.Text(), false);
  EXPECT_TRUE(form_->Searching() && !form_->Filling());
  AfterQueuedSlices(old);
  PumpUntil([this] { return gate_.Held(); });
  const int shown = BoxLines();
  AfterQueuedSlices(old);
  EXPECT_EQ(BoxLines(), shown);
  EXPECT_LT(shown, 3000);
  gate_.Release();
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(MarkedText(box()), L"big.vek(1)：[第7行] 検索 {abc} \\par ｶﾅxxxxxxx\r");
  EXPECT_EQ(WindowText(c().lblSearchCount), L"1問");

  // Cancel: the box keeps what it shows, the count stays the whole count, and the panel says how
  // many lines are shown.
  FillUntil(25);
  ClickPanel(0);
  EXPECT_FALSE(form_->Searching());
  EXPECT_TRUE(module_.shared.gCancel);
  AfterQueuedSlices(box());
  PumpUntil();
  const int kept = BoxLines();
  EXPECT_LT(kept, 3000);
  EXPECT_EQ(BoxText(), FirstLines(kept));
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3,000問");
  EXPECT_TRUE(Status().starts_with(L"検索完了：1ファイル　"));
  EXPECT_TRUE(Status().ends_with(L"　表示を中止：3,000件中" + std::to_wstring(kept) + L"件を表示"))
      << Status();
}

TEST_F(FillTest, ResizeMaximiseAndDpiChangeNeverWaitForTheBox) {
  FillUntil(25);
  const Box before = BoxOf(box());
  {
    // The box busy, as with a large result laid out again: the window lays itself out, paints
    // and answers; the box follows once its thread is free. (Minimising and restoring move the
    // focus out of the box and back, which waits for the box's thread; they never make the box
    // lay itself out again.)
    ThreadHold hold(box());
    for (const auto& [width, height] : {std::pair{900, 700}, {400, 250}, {800, 600}}) {
      ::SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
      EXPECT_EQ(BoxOf(c().cmdSearch)[0], width - 44 - 57 + 20);
      EXPECT_EQ(BoxOf(box()), before);
    }
    for (const int show : {SW_MAXIMIZE, SW_RESTORE}) {
      ::ShowWindow(hwnd(), show);
      PumpUntil();  // painted too
    }
    ChangeDpi(144);
    ChangeDpi(96);
    PostedCheckHandled(BST_CHECKED);
    EXPECT_TRUE(form_->Filling());
  }
  Settle(box());
  const Box bar = BoxOf(c().StatusBar1);
  EXPECT_EQ(BoxOf(box()), (Box{10, 118, 800 - 34, 600 - 118 - bar[3] - 40}));
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(BoxLines(), 3000);

  // On a monitor of another DPI the box's text keeps its size in points.
  const auto zoom = [this] {
    WPARAM numerator = 0;
    LPARAM denominator = 0;
    ::SendMessageW(box(), EM_GETZOOM, reinterpret_cast<WPARAM>(&numerator),
                   reinterpret_cast<LPARAM>(&denominator));
    return std::pair<WPARAM, LPARAM>(numerator, denominator);
  };
  ChangeDpi(144);
  PumpUntil([&] { return zoom() == std::pair<WPARAM, LPARAM>(144, 96); });
  ChangeDpi(96);
}

TEST_F(FillTest, CloseGivesUpTheSingleInstanceLockBeforeTheBoxIsGone) {
  const std::wstring lock = L"Local\\vekui-lock-" + std::to_wstring(::GetCurrentProcessId());
  module_.instanceLock.reset(::CreateMutexW(nullptr, FALSE, lock.c_str()));
  Search(L"検索 abc", tree_.Text());
  const HWND window = hwnd(), shown = box();
  ::SetFocus(c().txtKeyWord);
  ThreadHold hold(shown);  // as a box that takes long to be destroyed
  ::SendMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_FALSE(::IsWindowVisible(window));
  const UniqueHandle again(::OpenMutexW(SYNCHRONIZE, FALSE, lock.c_str()));
  EXPECT_FALSE(again);
  EXPECT_TRUE(::IsWindow(shown));
  hold.Release();
  PumpUntil([&] { return !::IsWindow(window); });
}

// The memory budget met: a meter that grows with every look.
class BoundTest : public FillTest {
 protected:
  BoundTest() {
    options_.memory = {.bytes = std::uint64_t{6} << 20,
                       .inUse = [this] { return used_ += std::uint64_t{1} << 20; }};
  }
  std::atomic<std::uint64_t> used_ = 0;
};

TEST_F(BoundTest, FillStopsAtTheBudgetWithRoomToCopyItAllAndACopyThatWouldNotFitIsRefused) {
  Search(L"検索 abc", tree_.Text());
  const int shown = BoxLines();
  EXPECT_GT(shown, 0);
  EXPECT_LT(shown, 3000);
  EXPECT_EQ(BoxText(), FirstLines(shown));
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3,000問");
  EXPECT_TRUE(Status().ends_with(L"　表示の上限：3,000件中" + std::to_wstring(shown) + L"件を表示"))
      << Status();

  // All the box shows fits on the clipboard, in Japanese for the programs that read CF_TEXT.
  ::SendMessageW(box(), EM_SETSEL, 0, -1);
  ::SendMessageW(box(), WM_COPY, 0, 0);
  ASSERT_TRUE(::OpenClipboard(nullptr));
  const HANDLE text = ::GetClipboardData(CF_UNICODETEXT), locale = ::GetClipboardData(CF_LOCALE);
  std::wstring copied = text ? static_cast<const wchar_t*>(::GlobalLock(text)) : L"";
  std::erase(copied, L'\n');
  EXPECT_EQ(copied, FirstLines(shown));
  EXPECT_EQ(locale ? *static_cast<const LCID*>(::GlobalLock(locale)) : 0, 0x0411u);
  ::CloseClipboard();

  // Once memory has grown, a copy that would not fit is refused with a message, not half made.
  used_ = std::uint64_t{64} << 20;
  Watcher watcher;
  ::SendMessageW(box(), WM_COPY, 0, 0);
  PumpUntil([&] { return !watcher.Seen().empty(); });
  EXPECT_EQ(watcher.Seen()[0], L"コピーError|" + ToWide(kMsgCopyTooLarge) + L"|warning OK");
}

}  // namespace
}  // namespace vek::ui::test
