// The window as it opens, is resized and is driven by keys and mouse: captions, geometry and
// painting, the input method, Enter, Tab and Esc, the result box's menu and the "..." button.
// 96 DPI: 15 twips a pixel.
#include <windows.h>

#include <imm.h>

#include "messages.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

using Box = std::array<int, 4>;  // left, top, width, height

// In the parent's client coordinates; for the window, its outer box on the screen.
Box BoxOf(HWND control) {
  RECT r;
  ::GetWindowRect(control, &r);
  if (::GetParent(control) != nullptr) {
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  }
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// What the window's surface holds where the control is, pixel by pixel: read through a window
// DC without child clipping, so that the children's pixels are there.
std::vector<COLORREF> ShownPixels(HWND control) {
  const HWND top = ::GetAncestor(control, GA_ROOT);
  RECT shown, frame;
  ::GetWindowRect(control, &shown);
  ::GetWindowRect(top, &frame);
  const HDC source = ::GetDCEx(top, nullptr, DCX_WINDOW | DCX_CACHE);
  std::vector<COLORREF> pixels;
  for (LONG y = shown.top - frame.top; y < shown.bottom - frame.top; ++y) {
    for (LONG x = shown.left - frame.left; x < shown.right - frame.left; ++x) {
      pixels.push_back(::GetPixel(source, x, y));
    }
  }
  ::ReleaseDC(top, source);
  return pixels;
}

using WindowLookTest = WindowTest;

TEST_F(WindowLookTest, OpensAsDesignedAndEveryResizeKeepsTheRulesAndEveryControlPainted) {
  const auto [barLeft, barTop, barWidth, barHeight] = BoxOf(c().StatusBar1);
  const std::tuple<HWND, const wchar_t*, Box> controls[] = {
      {c().lblFilePath, L"Path：", {10, 6, 73, 15}},
      {c().chkSubFolder, L"サブフォルダを検索", {52, 3, 127, 17}},
      {c().txtFilePath, L"C:\\windows", {10, 20, 571, 21}},  // gSearchPath
      {c().cmdDirectory, L"...", {591, 20, 25, 23}},
      {c().lblKeyWord, L"検索文字列：", {10, 48, 73, 17}},
      {c().txtKeyWord, L"", {10, 64, 539, 21}},
      {c().cmdSearch, L"検索", {559, 64, 57, 27}},
      {c().lblSearchResult, L"検索結果：", {10, 102, 73, 15}},
      {c().lblSearchCount, L"問", {545, 102, 69, 15}},
      // 480 px outer height less the box's top, the status bar and 40 px.
      {box(), L"", {10, 118, 606, 480 - 118 - barHeight - 40}},
      {hwnd(), L"VekSearch", {0, 0, 640, 480}}};
  for (const auto& [control, caption, place] : controls) {
    EXPECT_EQ(WindowText(control), caption);
    Box actual = BoxOf(control);
    if (control == hwnd()) actual[0] = actual[1] = 0;  // placed by the system
    EXPECT_EQ(actual, place) << caption;
  }
  // The status bar spans the client area's bottom edge; its first panel is Cancel.
  RECT client;
  ::GetClientRect(hwnd(), &client);
  EXPECT_EQ((Box{barLeft, barWidth, barTop + barHeight}), (Box{0, client.right, client.bottom}));
  EXPECT_EQ(WindowText(c().StatusBar1), L"Cancel");
  EXPECT_EQ(::SendMessageW(c().chkSubFolder, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_NE(::GetClassLongPtrW(hwnd(), GCLP_HICON), 0);

  // The rules, in pixels: window width - 660 twips is 44 px, 300 twips 20 px, 510 twips 34 px;
  // the result box ends 40 px above the status bar unless there is no room for it.
  const auto expectAligned = [this](bool heightFollows) {
    const auto [l, t, width, height] = BoxOf(hwnd());
    const Box keyword = BoxOf(c().txtKeyWord), search = BoxOf(c().cmdSearch);
    const Box folder = BoxOf(c().txtFilePath), directory = BoxOf(c().cmdDirectory);
    const Box result = BoxOf(box()), count = BoxOf(c().lblSearchCount);
    EXPECT_EQ(keyword[2], std::max(width - 44 - 57, 0)) << width;
    EXPECT_EQ(search[0], width - 44 - 57 + 20) << width;
    EXPECT_EQ(folder[2], std::max(width - 44 - 25, 0)) << width;
    EXPECT_EQ(directory[0], width - 44 - 25 + 20) << width;
    EXPECT_EQ(result[2], std::max(width - 34, 0)) << width;
    EXPECT_EQ(count[0] + count[2], result[0] + result[2] - 2) << width;
    EXPECT_TRUE(!heightFollows || result[3] == height - 118 - BoxOf(c().StatusBar1)[3] - 40);
  };
  // What the screen shows of each control must be what the control paints when asked alone:
  // no blank button, no stale size grip, no label drawn over a box.
  const auto expectPainted = [this](int step) {
    for (const HWND control : {c().chkSubFolder, c().txtFilePath, c().cmdDirectory, c().txtKeyWord,
                               c().cmdSearch, c().StatusBar1}) {
      const auto shown = ShownPixels(control);
      ::RedrawWindow(control, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
      EXPECT_TRUE(shown == ShownPixels(control)) << step << " " << ::GetDlgCtrlID(control);
    }
  };
  const auto all = [this] {  // the status bar aside, which a minimised window docks to nothing
    std::vector<Box> boxes;
    for (HWND child = ::GetWindow(hwnd(), GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
      if (child != c().StatusBar1) boxes.push_back(BoxOf(child));
    return boxes;
  };
  const auto resize = [this](int width, int height) {
    ::SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
  };
  expectPainted(0);
  for (const auto& [width, height] : {std::pair{900, 600}, {500, 300}, {1024, 700}, {330, 400}}) {
    resize(width, height);
    expectAligned(true);
    expectPainted(width);
  }
  for (const int command : {SW_MAXIMIZE, SW_RESTORE, SW_MINIMIZE, SW_RESTORE}) {
    const std::vector<Box> before = all();
    const bool wasMinimised = ::IsIconic(hwnd());
    ::ShowWindow(hwnd(), command);
    Pump();
    EXPECT_TRUE((command != SW_MINIMIZE && !wasMinimised) || all() == before);  // nothing moves
    if (command != SW_MINIMIZE) expectPainted(-command);
  }
  const int height = BoxOf(box())[3];
  resize(700, 150);
  ASSERT_EQ(BoxOf(hwnd())[3], 150);
  EXPECT_EQ(BoxOf(box())[3], height);
  expectAligned(false);
  // The platform keeps a minimum width (116 px under Wine), which may stop short of negative
  // widths; the layout's own tests cover those. The window still works.
  resize(60, 480);
  expectAligned(true);
  TempTree tree;
  tree.File(L"a.vek", {L"still works"});
  Search(L"works", tree.Text());
  EXPECT_EQ(WindowText(c().lblSearchCount), L"1問");
}

using WindowKeysTest = WindowTest;

TEST_F(WindowKeysTest, InputMethodEnterTabEscTheResultMenuAndTheFolderButtonWorkAsOnAForm) {
  EXPECT_EQ(::GetFocus(), c().chkSubFolder);
  // The keyword box opens hiragana input, the folder box closes the input method.
  for (const HWND control : {c().txtKeyWord, c().txtFilePath}) {
    ::SetFocus(control);
    const HIMC context = ::ImmGetContext(control);
    DWORD conversion = 0, sentence = 0;
    ::ImmGetConversionStatus(context, &conversion, &sentence);
    EXPECT_EQ(::ImmGetOpenStatus(context) != FALSE, control == c().txtKeyWord);
    if (control == c().txtKeyWord) {
      EXPECT_EQ(conversion & (IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE | IME_CMODE_KATAKANA),
                static_cast<DWORD>(IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE));
    }
    ::ImmReleaseContext(control, context);
  }

  // The result box's menu, answered with an access key or Esc: its items, a grey one marked.
  const auto menu = [](wchar_t key) {
    return Watch{L"#32768", key != 0 ? UINT{WM_CHAR} : UINT{WM_KEYDOWN},
                 key != 0 ? key : WPARAM{VK_ESCAPE}, [](HWND popup) -> std::optional<std::wstring> {
                   const auto menu =
                       reinterpret_cast<HMENU>(::SendMessageW(popup, MN_GETHMENU, 0, 0));
                   std::wstring items;
                   for (UINT i = 0; i < static_cast<UINT>(::GetMenuItemCount(menu)); ++i) {
                     wchar_t text[64] = {};
                     ::GetMenuStringW(menu, i, text, 64, MF_BYPOSITION);
                     const UINT state = ::GetMenuState(menu, i, MF_BYPOSITION);
                     items += (i == 0 ? L"" : L"|") + std::wstring(*text ? text : L"-") +
                              (*text && (state & (MF_GRAYED | MF_DISABLED)) != 0 ? L" grey" : L"");
                   }
                   return items;
                 }};
  };
  {
    // It opens by the menu key on an empty box too, with nothing to copy or select.
    Watcher watcher(menu(0));
    ::SetFocus(box());
    PressKey(hwnd(), VK_APPS);
    EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"コピー(&C) grey|-|すべて選択(&A) grey"});
  }

  // Enter in either text box searches as the button does, and is refused as a click would be.
  TempTree tree;
  const auto file = tree.File(L"a.vek", {L"abc 1", L"xyz", L"abc 2"});
  ::SetWindowTextW(c().txtFilePath, tree.Text().c_str());
  const std::vector<std::wstring> found = {L"a.vek(1)：abc 1", L"a.vek(2)：abc 2"};
  for (const auto& [keywords, focus, lines] :
       {std::tuple{L"xyz", c().txtFilePath, std::vector<std::wstring>{L"a.vek(1)：xyz"}},
        std::tuple{L"abc", c().txtKeyWord, found}, std::tuple{L"ab", c().txtFilePath, found}}) {
    ::SetWindowTextW(c().txtKeyWord, keywords);
    ::SetFocus(focus);
    Watcher watcher;
    PressKey(hwnd(), VK_RETURN);
    PumpUntil([this] { return !form_->Searching(); });
    EXPECT_EQ(ResultLines(), lines);
    if (keywords != std::wstring_view(L"ab")) {
      EXPECT_TRUE(watcher.Seen().empty());
      EXPECT_EQ(::GetFocus(), box());  // where a search with hits leaves it
      continue;
    }
    EXPECT_EQ(watcher.Seen(),
              std::vector{L"入力項目Check Error|" + ToWide(kMsgTooShortOne) + L"|stop OK"});
    EXPECT_EQ(FocusWhenActiveAgain(), c().txtKeyWord);
  }

  // Tab and Shift+Tab walk every control both ways; Esc closes nothing and moves nothing.
  const std::vector<HWND> order = {c().chkSubFolder, c().txtFilePath, c().cmdDirectory,
                                   c().txtKeyWord,   c().cmdSearch,   box()};
  const std::size_t n = order.size();
  ::SetFocus(box());
  for (std::size_t step = 1; step <= 2 * n; ++step) {
    PressKey(hwnd(), VK_TAB, step > n);
    EXPECT_EQ(::GetFocus(), order[step <= n ? (n - 1 + step) % n : (3 * n - 1 - step) % n]) << step;
  }
  for (const HWND control : order) {
    ::SetFocus(control);
    PressKey(hwnd(), VK_ESCAPE);
    ASSERT_TRUE(::IsWindow(hwnd())) << ::GetDlgCtrlID(control);
    EXPECT_EQ(::GetFocus(), control);
  }
  EXPECT_EQ(ResultLines(), found);

  // Then by a right click, Copy grey while nothing is selected, and by Shift+F10.
  {
    Watcher watcher(menu(L'a'));
    ::SendMessageW(box(), EM_SETSEL, 0, 0);  // a Tab into the box selected all
    const auto [left, top, width, height] = BoxOf(box());
    ::SendMessageW(box(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(width / 2, height / 2));
    ::SendMessageW(box(), WM_RBUTTONUP, 0, MAKELPARAM(width / 2, height / 2));
    EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"コピー(&C) grey|-|すべて選択(&A)"});
  }
  CHARRANGE selection = {};
  ::SendMessageW(box(), EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  EXPECT_EQ(selection.cpMin, 0);  // すべて選択 (&A)
  EXPECT_GE(selection.cpMax, static_cast<LONG>(RichText(box()).size()) - 1);
  ::OpenClipboard(nullptr);
  ::EmptyClipboard();
  ::CloseClipboard();
  {
    Watcher watcher(menu(L'c'));
    PressKey(hwnd(), VK_APPS);
    EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"コピー(&C)|-|すべて選択(&A)"});
  }
  ASSERT_TRUE(::OpenClipboard(nullptr));
  const HANDLE copied = ::GetClipboardData(CF_UNICODETEXT);
  EXPECT_STREQ(copied ? static_cast<const wchar_t*>(::GlobalLock(copied)) : L"",
               L"a.vek(1)：abc 1\r\na.vek(2)：abc 2\r\n");
  if (copied) ::GlobalUnlock(copied);
  ::CloseClipboard();
  {
    Watcher watcher(menu(0));
    PressKey(hwnd(), VK_F10, true);
    EXPECT_EQ(watcher.Seen(), std::vector<std::wstring>{L"コピー(&C)|-|すべて選択(&A)"});
  }
  EXPECT_EQ(::GetFocus(), box());

  // The "..." button browses from an existing folder only.
  // Hangul has no CP932 encoding: only the wide shell calls keep the name.
  const std::filesystem::path folder = tree.root() / L"選択" / L"폴더";
  std::filesystem::create_directories(folder);
  const std::wstring title = ToWide(kBrowseTitle);
  // OK once the browser shows the folder selected, as a user would see it before choosing.
  const auto okOnceSelected = [](HWND browser) -> std::optional<std::wstring> {
    const HWND view = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
    wchar_t text[MAX_PATH] = {};
    const auto selected = ::SendMessageW(view, TVM_GETNEXTITEM, TVGN_CARET, 0);
    TVITEMW item = {TVIF_TEXT, reinterpret_cast<HTREEITEM>(selected), 0, 0, text, MAX_PATH, 0, 0, 0,
                    0};
    ::SendMessageW(view, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    if (std::wstring_view(text) != L"폴더") return std::nullopt;
    return Describe(browser);
  };
  // The typed text, how the browser is answered, whether it opens, the text it leaves.
  for (const auto& [typed, watch, opens, left] :
       {std::tuple{std::wstring(), Watch{}, false, std::wstring()},
        std::tuple{tree.Text() + L"\\missing", Watch{}, false, tree.Text() + L"\\missing"},
        std::tuple{file.wstring(), Watch{}, false, file.wstring()},
        std::tuple{folder.wstring() + L"\\", Watch{.answer = IDCANCEL}, true,
                   folder.wstring() + L"\\"},
        std::tuple{folder.wstring() + L"\\", Watch{.read = okOnceSelected}, true,
                   folder.wstring()}}) {
    ::SetWindowTextW(c().txtFilePath, typed.c_str());
    Watcher watcher(watch);
    ::SendMessageW(c().cmdDirectory, BM_CLICK, 0, 0);
    const auto seen = watcher.Seen();
    EXPECT_EQ(seen.size(), opens ? 1u : 0u) << typed;
    EXPECT_TRUE(!opens || seen.at(0).find(title) != std::wstring::npos);
    EXPECT_EQ(WindowText(c().txtFilePath), left);
  }
}

}  // namespace
}  // namespace vek::ui::test
