// The real window as a user and a screen reader see it and as a user drives it: captions,
// geometry, names, input method, keys, the result box's menu and the "..." button, then searches
// and what they show. 96 DPI: 15 twips a pixel.
#include <windows.h>

#include <oleacc.h>

#include "messages.h"
#include "shell_item.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

// What a screen reader says of a control, asked through the system's accessibility interface,
// which names a box by the label just before it among its siblings.
std::wstring AccessibleName(HWND control) {
  IAccessible* object = nullptr;
  if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                          __uuidof(IAccessible),
                                          reinterpret_cast<void**>(&object))))
    return L"(no object)";
  VARIANT self = {};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR name = nullptr;
  const HRESULT result = object->get_accName(self, &name);
  object->Release();
  std::wstring text = result == S_OK && name ? std::wstring(name, ::SysStringLen(name)) : L"";
  ::SysFreeString(name);
  return text;
}

// Wine's interface names a RichEdit by its text, not by its label, and has no annotations: for
// the result box, the label before it is what the test can see.
TEST_F(WindowTest, EveryControlThatTakesTheFocusHasTheNameShownBesideIt) {
  const auto names = [this] {
    std::vector<std::wstring> seen;
    for (const HWND control :
         {c().chkSubFolder, c().txtFilePath, c().cmdDirectory, c().txtKeyWord, c().cmdSearch})
      seen.push_back(AccessibleName(control));
    seen.push_back(WindowText(::GetWindow(box(), GW_HWNDPREV)));
    return seen;
  };
  const std::vector<std::wstring> expected{L"サブフォルダを検索", L"Path：", L"...",
                                           L"検索文字列：",       L"検索",   L"検索結果："};
  EXPECT_EQ(names(), expected);
  // Above the boxes in the sibling order, the labels reach into none: every border is whole.
  for (const HWND label :
       {c().lblFilePath, c().lblKeyWord, c().lblSearchResult, c().lblSearchCount})
    for (HWND other = ::GetWindow(label, GW_HWNDNEXT); other;
         other = ::GetWindow(other, GW_HWNDNEXT)) {
      RECT a, b, both;
      ::GetWindowRect(label, &a);
      ::GetWindowRect(other, &b);
      EXPECT_FALSE(::IntersectRect(&both, &a, &b)) << WindowText(label) << " " << WindowText(other);
    }
  // Each search's result box takes the place of the one before, name included.
  TempTree tree;
  tree.File(L"a.vek", {L"abc"});
  const HWND first = box();
  Search(L"abc", tree.Text());
  PumpUntil([&] { return !::IsWindow(first); });
  EXPECT_EQ(names(), expected);
}

// The result box's menu, answered with an access key: its items, a grey one marked.
Watch Menu(wchar_t key) {
  return {L"#32768", WM_CHAR, key, [](HWND popup) -> std::optional<std::wstring> {
            const auto menu = reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
            std::wstring items;
            for (int i = 0; i < ::GetMenuItemCount(menu); ++i) {
              wchar_t text[64] = {};
              const bool grey = ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION) != 0 &&
                                (::GetMenuState(menu, i, MF_BYPOSITION) & MF_GRAYED) != 0;
              items += (i == 0 ? L"" : L"|") + std::wstring(*text ? text : L"-") +
                       (grey ? L" grey" : L"");
            }
            return items;
          }};
}

TEST_F(WindowTest, OpensAsDesignedFollowsResizesAndAnswersKeysMouseAndMenuAsAForm) {
  const Box frame = BoxOf(hwnd()), bar = BoxOf(c().StatusBar1);
  for (const auto& [control, caption, place] :
       {std::tuple{c().lblFilePath, L"Path：", Box{10, 6, 41, 13}},
        {c().chkSubFolder, L"サブフォルダを検索", {52, 3, 127, 17}},
        {c().txtFilePath, L"C:\\windows", {10, 20, 571, 21}},  // gSearchPath
        {c().cmdDirectory, L"...", {591, 20, 25, 23}},
        {c().lblKeyWord, L"検索文字列：", {10, 48, 73, 15}},
        {c().txtKeyWord, L"", {10, 64, 539, 21}},
        {c().cmdSearch, L"検索", {559, 64, 57, 27}},
        {c().lblSearchResult, L"検索結果：", {10, 102, 73, 15}},
        {c().lblSearchCount, L"問", {545, 102, 69, 15}},
        // 480 px outer height less the box's top, the status bar and 40 px.
        {box(), L"", {10, 118, 606, 480 - 118 - bar[3] - 40}},
        {c().StatusBar1, L"Cancel", bar},                           // its first panel
        {hwnd(), L"VekSearch", {frame[0], frame[1], 640, 480}}}) {  // placed by the system
    EXPECT_EQ(WindowText(control), caption);
    EXPECT_EQ(BoxOf(control), place) << caption;
  }
  EXPECT_EQ(::SendMessageW(c().chkSubFolder, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_NE(::GetClassLongPtrW(hwnd(), GCLP_HICON), 0);

  // Resized, what is on the right follows the right edge (window width - 660 twips is 44 px,
  // 300 twips 20 px), the result box the bottom unless no room is left for it.
  ::SetWindowPos(hwnd(), nullptr, 0, 0, 700, 150, SWP_NOMOVE | SWP_NOZORDER);
  PumpUntil();
  Settle(box());  // moved by its own thread
  EXPECT_EQ(BoxOf(c().cmdSearch), (Box{700 - 44 - 57 + 20, 64, 57, 27}));
  EXPECT_EQ(BoxOf(box()), (Box{10, 118, 700 - 34, 480 - 118 - bar[3] - 40}));
  RECT client;  // the status bar docked to the bottom edge
  ::GetClientRect(hwnd(), &client);
  EXPECT_EQ(BoxOf(c().StatusBar1), (Box{0, client.bottom - bar[3], client.right, bar[3]}));
  EXPECT_EQ(::GetFocus(), c().chkSubFolder);

  // The keyword box opens hiragana input, the folder box closes the input method; Enter in
  // either searches as the button does.
  TempTree tree;
  tree.File(L"a.vek", {L"abc 1", L"xyz", L"abc 2"});
  ::SetWindowTextW(c().txtFilePath, tree.Text().c_str());
  constexpr DWORD kHiragana = IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE;
  for (const auto& [keywords, focus, count] :
       {std::tuple{L"xyz", c().txtKeyWord, L"1問"}, {L"abc", c().txtFilePath, L"2問"}}) {
    ::SetWindowTextW(c().txtKeyWord, keywords);
    ::SetFocus(focus);
    const HIMC context = ::ImmGetContext(focus);
    DWORD mode = 0, sentence = 0;
    ::ImmGetConversionStatus(context, &mode, &sentence);
    EXPECT_EQ(::ImmGetOpenStatus(context) && (mode & (kHiragana | IME_CMODE_KATAKANA)) == kHiragana,
              focus == c().txtKeyWord);
    ::ImmReleaseContext(focus, context);
    PressKey(hwnd(), VK_RETURN);
    PumpUntil([this] { return !form_->Searching(); });
    EXPECT_EQ(WindowText(c().lblSearchCount), count);
    EXPECT_EQ(::GetFocus(), box());  // where a search with hits leaves it
  }

  // Tab and Shift+Tab walk every control both ways; Esc closes nothing and moves nothing.
  const std::vector<HWND> order = {c().chkSubFolder, c().txtFilePath, c().cmdDirectory,
                                   c().txtKeyWord,   c().cmdSearch,   box()};
  const std::size_t n = order.size();
  for (std::size_t step = 1; step <= 2 * n; ++step) {
    PressKey(hwnd(), VK_TAB, step > n);
    EXPECT_EQ(::GetFocus(), order[step <= n ? (n - 1 + step) % n : (3 * n - 1 - step) % n]) << step;
  }
  for (const HWND control : order) {
    ::SetFocus(control);
    PressKey(hwnd(), VK_ESCAPE);
    EXPECT_EQ(::GetFocus(), control) << ::GetDlgCtrlID(control);
  }

  // By a right click, Copy grey while nothing is selected; by Shift+F10 or the menu key it copies
  // the selection.
  {
    Watcher watcher(Menu(L'a'));
    ::SendMessageW(box(), EM_SETSEL, 0, 0);  // a Tab into the box selected all
    const auto [left, top, width, height] = BoxOf(box());
    ::SendMessageW(box(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(width / 2, height / 2));
    ::SendMessageW(box(), WM_RBUTTONUP, 0, MAKELPARAM(width / 2, height / 2));
    EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"コピー(&C) grey|-|すべて選択(&A)"});
  }
  for (const auto& [key, shift] : {std::pair{VK_F10, true}, {VK_APPS, false}}) {
    if (::OpenClipboard(nullptr) && ::EmptyClipboard()) ::CloseClipboard();
    {
      Watcher watcher(Menu(L'c'));
      PressKey(hwnd(), key, shift);
      EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"コピー(&C)|-|すべて選択(&A)"}) << key;
    }
    ASSERT_TRUE(::OpenClipboard(nullptr));
    const HANDLE copied = ::GetClipboardData(CF_UNICODETEXT);
    EXPECT_STREQ(copied ? static_cast<const wchar_t*>(::GlobalLock(copied)) : L"",
                 L"a.vek(1)：abc 1\r\na.vek(2)：abc 2\r\n");
    if (copied) ::GlobalUnlock(copied);
    ::CloseClipboard();
  }
  EXPECT_EQ(::GetFocus(), box());

  // The "..." button browses from an existing folder only, and takes the folder chosen.
  // Hangul has no CP932 encoding: only the wide shell calls keep the name.
  const std::filesystem::path folder = tree.root() / L"選択" / L"폴더";
  std::filesystem::create_directories(folder);
  // OK once the browser shows the folder selected, as a user would see it before choosing.
  const auto okOnceSelected = [](HWND browser) -> std::optional<std::wstring> {
    const HWND view = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    wchar_t text[MAX_PATH] = {};
    const auto selected = ::SendMessageW(view, TVM_GETNEXTITEM, TVGN_CARET, 0);
    TVITEMW item = {TVIF_TEXT, reinterpret_cast<HTREEITEM>(selected), 0, 0, text, MAX_PATH, 0, 0, 0,
                    0};
    ::SendMessageW(view, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return std::wstring_view(text) == L"폴더" ? std::optional(Describe(browser)) : std::nullopt;
  };
  Watcher browser({.read = okOnceSelected});
  ::SetWindowTextW(c().txtFilePath, (tree.Text() + L"\\missing").c_str());
  ::SendMessageW(c().cmdDirectory, BM_CLICK, 0, 0);
  EXPECT_TRUE(browser.Seen().empty());
  ::SetWindowTextW(c().txtFilePath, (folder.wstring() + L"\\").c_str());
  ::SendMessageW(c().cmdDirectory, BM_CLICK, 0, 0);
  ASSERT_EQ(browser.Seen().size(), 1u);
  EXPECT_NE(browser.Seen()[0].find(ToWide(kBrowseTitle)), std::wstring::npos);
  EXPECT_EQ(WindowText(c().txtFilePath), folder.wstring());
}

TEST_F(WindowTest, HitsAreListedRedCountedAndTracedToTheirFilesProblemsReportedAndInputRefused) {
  TempTree tree;
  // Longer than the box is wide: a result line is one line of the box, never wrapped.
  const std::wstring wide = L"abc検索 " + std::wstring(300, L'w');
  // A vertical tab or a form feed in a line leaves it one result line.
  const auto root = tree.File(L"検索メモ.vek", {L"第1問 検索の基本 abc", L"関係ない行",
                                                L"ABC 検索 大文字", L"\v検索\fabc", wide});
  const auto sub = tree.File(L"sub\\検索メモ.vek", {L"x\ry", L"検索abc結果"});
  tree.File(L"other.txt", {L"検索 abc"});
  // Every dialog the searches open, with the count as it opens.
  Watcher watcher({.read = [label = c().lblSearchCount](HWND box) -> std::optional<std::wstring> {
    return Describe(box) + L"|" + WindowText(label);
  }});

  Search(L"検索 abc", tree.Text());
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3問");
  Search(L"検索 abc", tree.Text(), true);
  // The file-name prefix is coloured like the line itself; all in the box's font.
  EXPECT_EQ(MarkedText(box()),
            L"[検索]メモ.vek(1)：第1問 [検索]の基本 [abc]\r[検索]メモ.vek(2)：\v[検索]\f[abc]\r"
            L"[検索]メモ.vek(3)：[abc検索] " +
                std::wstring(300, L'w') + L"\r[検索]メモ.vek(1)：[検索abc]結果\r");
  EXPECT_EQ(WindowText(c().lblSearchCount), L"4問");
  EXPECT_EQ(::GetFocus(), box());

  // The caret on a result line shows the file's full path and the line's number in it (a lone
  // CR ends a line too); off the result lines, the summary again. The box has no word of its own
  // on what a line is: it stays in its font, and takes no input method.
  const std::vector<std::wstring> shown = {
      L"検索メモ.vek(1)：第1問 検索の基本 abc", L"検索メモ.vek(2)：\v検索\fabc",
      L"検索メモ.vek(3)：abc検索 " + std::wstring(300, L'w'), L"検索メモ.vek(1)：検索abc結果"};
  for (const auto& [line, status] :
       {std::pair{3, sub.wstring() + L"　3行目"}, std::pair{2, root.wstring() + L"　5行目"},
        std::pair{4, std::wstring(L"検索完了：2ファイル　")}}) {
    LONG at = 0;  // each line and its paragraph mark
    for (int before = 0; before < line; ++before) at += static_cast<LONG>(shown[before].size()) + 1;
    ::SendMessageW(box(), EM_SETSEL, at, at);
    PumpUntil([&] { return Status().starts_with(status); });
  }
  EXPECT_EQ(::SendMessageW(box(), EM_GETLANGOPTIONS, 0, 0) & (IMF_AUTOFONT | IMF_DUALFONT), 0);
  EXPECT_EQ(::ImmGetContext(box()), nullptr);
  // A double-click shows the file in the file browser, selected: the shell's item of its path.
  EXPECT_EQ(PathOfItem(ItemOfPath(sub.wstring()).get()), sub.wstring());

  // Nothing found: shown in the normal colour though red was there, no count, focus not moved;
  // the hint about the full-width space takes the summary's place.
  ::SetFocus(c().cmdSearch);
  Search(L"ファイル　ディスク", tree.Text());
  PumpUntil([this] { return WindowText(box()) == L"Nothing"; });  // shown by the box's thread
  EXPECT_EQ(MarkedText(box()), L"Nothing");
  EXPECT_EQ(WindowText(c().lblSearchCount), L"");
  EXPECT_EQ(::GetFocus(), c().cmdSearch);
  EXPECT_EQ(Status(), L"キーワードの区切りは半角スペースです（全角スペースは区切りになりません）");

  // A file that cannot be read is reported once the results are shown.
  tree.File(L"w\\a.vek", {L"abc 1"});
  const auto locked = tree.File(L"w\\b.vek", {L"abc 2"});
  const UniqueHandle lock(::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  Search(L"abc", locked.parent_path().wstring());
  ASSERT_EQ(watcher.Seen().size(), 1u);
  const std::wstring warning = watcher.Seen()[0];
  EXPECT_TRUE(warning.starts_with(L"検索Warning|")) << warning;
  EXPECT_NE(warning.find(locked.wstring()), std::wstring::npos) << warning;
  EXPECT_TRUE(warning.ends_with(L"|warning OK|1問")) << warning;

  // Refused input is told, moves the focus to the fault and keeps the result.
  const std::wstring result = MarkedText(box());
  for (const auto& [keywords, folder, message, focus] :
       {std::tuple{L"ab", tree.Text(), kMsgTooShortOne, c().txtKeyWord},
        std::tuple{L"abc", tree.Text() + L"\\missing", kMsgPathWrong, c().txtFilePath}}) {
    Search(keywords, folder);
    EXPECT_EQ(watcher.Seen().back(), L"入力項目Check Error|" + ToWide(message) + L"|stop OK|1問");
    EXPECT_EQ(FocusWhenActiveAgain(), focus) << keywords;
    EXPECT_EQ(MarkedText(box()), result);
  }
}

}  // namespace
}  // namespace vek::ui::test
