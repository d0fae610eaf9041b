// The window as it opens and as the keyboard drives it: captions, fonts, the status bar, the
// tab order, Esc and Enter, the result box's menu, and the input-method state of the two boxes.
#include <windows.h>

#include <commctrl.h>
#include <imm.h>
#include <richedit.h>

#include "messages.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

LOGFONTW FontOf(HWND control) {
  LOGFONTW font = {};
  const auto handle = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
  ::GetObjectW(handle, sizeof(font), &font);
  return font;
}

using WindowSetupTest = WindowTest;

TEST_F(WindowSetupTest, CaptionsAndStartingContents) {
  EXPECT_EQ(Text(hwnd()), L"VekSearch");
  EXPECT_EQ(Text(c().lblFilePath), L"Path：");
  EXPECT_EQ(Text(c().chkSubFolder), L"サブフォルダを検索");
  EXPECT_EQ(::SendMessageW(c().chkSubFolder, BM_GETCHECK, 0, 0), BST_UNCHECKED);
  EXPECT_EQ(Text(c().txtFilePath), L"C:\\windows");  // gSearchPath
  EXPECT_EQ(Text(c().cmdDirectory), L"...");
  EXPECT_EQ(Text(c().lblKeyWord), L"検索文字列：");
  EXPECT_EQ(Text(c().txtKeyWord), L"");
  EXPECT_EQ(Text(c().cmdSearch), L"検索");
  EXPECT_EQ(Text(c().lblSearchResult), L"検索結果：");
  EXPECT_EQ(Text(c().lblSearchCount), L"問");
  EXPECT_EQ(RichText(c().rtbSearchResult), L"");
  EXPECT_NE(::GetClassLongPtrW(hwnd(), GCLP_HICON), 0);
}

TEST_F(WindowSetupTest, FontsAreJapaneseGothicExceptTheFolderButton) {
  for (const HWND control : {c().lblFilePath, c().chkSubFolder, c().txtFilePath, c().txtKeyWord,
                             c().cmdSearch, c().lblSearchCount, c().StatusBar1}) {
    const LOGFONTW font = FontOf(control);
    EXPECT_STREQ(font.lfFaceName, L"ＭＳ ゴシック");
    EXPECT_EQ(font.lfHeight, -12);  // 9 pt at 96 DPI
    EXPECT_EQ(font.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
  }
  CHARFORMAT2W result = {};
  result.cbSize = sizeof(result);
  ::SendMessageW(c().rtbSearchResult, EM_GETCHARFORMAT, SCF_DEFAULT,
                 reinterpret_cast<LPARAM>(&result));
  EXPECT_STREQ(result.szFaceName, L"ＭＳ ゴシック");
  EXPECT_EQ(result.yHeight, 180);  // twips
  EXPECT_EQ(result.bCharSet, SHIFTJIS_CHARSET);

  const LOGFONTW directory = FontOf(c().cmdDirectory);
  EXPECT_STREQ(directory.lfFaceName, L"ＭＳ 明朝");
  EXPECT_EQ(directory.lfHeight, -8);  // 6 pt
}

TEST_F(WindowSetupTest, StatusBarHasARaisedCancelPanelAndAnEmptyOneToTheEnd) {
  int edges[4] = {};
  ASSERT_EQ(::SendMessageW(c().StatusBar1, SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 2);
  EXPECT_EQ(edges[0], 80);  // 1200 twips
  EXPECT_EQ(edges[1], -1);
  wchar_t text[32] = {};
  const auto first = ::SendMessageW(c().StatusBar1, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"Cancel");
  EXPECT_EQ(HIWORD(first) & SBT_POPOUT, SBT_POPOUT);
  const auto second =
      ::SendMessageW(c().StatusBar1, SB_GETTEXTW, 1, reinterpret_cast<LPARAM>(text));
  EXPECT_STREQ(text, L"");
  EXPECT_EQ(HIWORD(second), 0);
}

TEST_F(WindowSetupTest, TabWalksEveryControlBothWaysAndEscNeverCloses) {
  EXPECT_EQ(::GetFocus(), c().chkSubFolder);
  TempTree tree;
  tree.File(L"a.vek", {L"abc"});
  Search(L"abc", tree.Text(), false);
  const std::vector<std::wstring> result = ResultLines();
  ASSERT_EQ(::GetFocus(), c().rtbSearchResult);  // where a search with hits leaves it

  const std::vector<HWND> order = {c().chkSubFolder, c().txtFilePath, c().cmdDirectory,
                                   c().txtKeyWord,   c().cmdSearch,   c().rtbSearchResult};
  const std::size_t n = order.size();
  for (std::size_t step = 1; step <= n; ++step) {
    PressKey(hwnd(), VK_TAB);
    EXPECT_EQ(::GetFocus(), order[(n - 1 + step) % n]) << "Tab " << step;
  }
  for (std::size_t step = 1; step <= n; ++step) {
    PressKey(hwnd(), VK_TAB, true);
    EXPECT_EQ(::GetFocus(), order[(2 * n - 1 - step) % n]) << "Shift+Tab " << step;
  }

  for (const HWND control : order) {
    ::SetFocus(control);
    PressKey(hwnd(), VK_ESCAPE);
    ASSERT_TRUE(::IsWindow(hwnd())) << ::GetDlgCtrlID(control);
    EXPECT_EQ(::GetFocus(), control);
  }
  EXPECT_EQ(ResultLines(), result);
}

TEST_F(WindowSetupTest, EnterInEitherTextBoxSearchesAsTheButtonDoes) {
  TempTree tree;
  tree.File(L"a.vek", {L"abc", L"xyz"});
  SetText(c().txtFilePath, tree.Text());
  SetText(c().txtKeyWord, L"abc");
  ::SetFocus(c().txtKeyWord);
  PressKey(hwnd(), VK_RETURN);
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{L"a.vek(1)：abc"}));

  SetText(c().txtKeyWord, L"xyz");
  ::SetFocus(c().txtFilePath);
  PressKey(hwnd(), VK_RETURN);
  PumpUntil([this] { return !form_->Searching(); });
  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{L"a.vek(1)：xyz"}));

  // Refused as a click would be: the message, the focus on the faulty box, the result kept.
  SetText(c().txtKeyWord, L"ab");
  ::SetFocus(c().txtFilePath);
  DialogWatcher watcher;
  PressKey(hwnd(), VK_RETURN);
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"入力項目Check Error");
  EXPECT_EQ(seen[0].text, std::wstring(kMsgTooShortOne.begin(), kMsgTooShortOne.end()));
  // As the user's click would: without a window manager the window is not always
  // activated again when the box closes.
  ::SetActiveWindow(hwnd());
  Pump();
  EXPECT_EQ(::GetFocus(), c().txtKeyWord);
  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{L"a.vek(1)：xyz"}));
}

TEST_F(WindowSetupTest, ResultBoxMenuOpensByMouseAndKeysAndCopiesOrSelectsAll) {
  TempTree tree;
  tree.File(L"a.vek", {L"abc 1", L"abc 2"});
  Search(L"abc", tree.Text(), false);
  const HWND box = c().rtbSearchResult;
  const auto menu = [](bool canCopy) {
    return std::vector<MenuWatcher::Item>{
        {L"コピー(&C)", canCopy}, {L"", false}, {L"すべて選択(&A)", true}};
  };

  {
    MenuWatcher watcher(L'a');
    RECT client;
    ::GetClientRect(box, &client);
    const LPARAM middle = MAKELPARAM(client.right / 2, client.bottom / 2);
    ::SendMessageW(box, WM_RBUTTONDOWN, MK_RBUTTON, middle);
    ::SendMessageW(box, WM_RBUTTONUP, 0, middle);
    EXPECT_EQ(watcher.Seen(), (std::vector<std::vector<MenuWatcher::Item>>{menu(false)}));
  }
  CHARRANGE selection = {};
  ::SendMessageW(box, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  EXPECT_EQ(selection.cpMin, 0);
  EXPECT_GE(selection.cpMax, static_cast<LONG>(RichText(box).size()) - 1);

  ::OpenClipboard(nullptr);
  ::EmptyClipboard();
  ::CloseClipboard();
  {
    MenuWatcher watcher(L'c');
    PressKey(hwnd(), VK_APPS);
    EXPECT_EQ(watcher.Seen(), (std::vector<std::vector<MenuWatcher::Item>>{menu(true)}));
  }
  std::wstring copied;
  ASSERT_TRUE(::OpenClipboard(nullptr));
  if (const HANDLE data = ::GetClipboardData(CF_UNICODETEXT)) {
    copied = static_cast<const wchar_t*>(::GlobalLock(data));
    ::GlobalUnlock(data);
  }
  ::CloseClipboard();
  EXPECT_EQ(copied, L"a.vek(1)：abc 1\r\na.vek(2)：abc 2\r\n");

  {
    MenuWatcher watcher(0);
    PressKey(hwnd(), VK_F10, true);
    EXPECT_EQ(watcher.Seen().size(), 1u);
  }
  EXPECT_EQ(::GetFocus(), box);
}

TEST_F(WindowSetupTest, KeywordBoxOpensHiraganaInputAndFolderBoxClosesIt) {
  ::SetFocus(c().txtKeyWord);
  const HIMC keyword = ::ImmGetContext(c().txtKeyWord);
  ASSERT_NE(keyword, nullptr);
  EXPECT_TRUE(::ImmGetOpenStatus(keyword));
  DWORD conversion = 0;
  DWORD sentence = 0;
  ::ImmGetConversionStatus(keyword, &conversion, &sentence);
  EXPECT_EQ(conversion & (IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE | IME_CMODE_KATAKANA),
            static_cast<DWORD>(IME_CMODE_NATIVE | IME_CMODE_FULLSHAPE));
  ::ImmReleaseContext(c().txtKeyWord, keyword);

  ::SetFocus(c().txtFilePath);
  const HIMC folder = ::ImmGetContext(c().txtFilePath);
  ASSERT_NE(folder, nullptr);
  EXPECT_FALSE(::ImmGetOpenStatus(folder));
  ::ImmReleaseContext(c().txtFilePath, folder);
}

}  // namespace
}  // namespace vek::ui::test
