// The window as it opens: captions, fonts, the status bar, tab order and focus, the keys that
// must not search, and the input-method state of the two boxes.
#include <windows.h>

#include <commctrl.h>
#include <imm.h>
#include <richedit.h>

#include "event_pump.h"
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

TEST_F(WindowSetupTest, TabOrderFollowsTheControlsFromTheCheckBox) {
  EXPECT_EQ(::GetFocus(), c().chkSubFolder);
  const std::vector<HWND> order = {c().chkSubFolder, c().txtFilePath, c().cmdDirectory,
                                   c().txtKeyWord,   c().cmdSearch,   c().rtbSearchResult};
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(::GetNextDlgTabItem(hwnd(), order[i], FALSE), order[(i + 1) % order.size()]) << i;
  }
}

TEST_F(WindowSetupTest, EnterAndEscapeInTheKeywordBoxDoNotSearch) {
  TempTree tree;
  tree.File(L"a.vek", {L"abc"});
  SetText(c().txtKeyWord, L"abc");
  SetText(c().txtFilePath, tree.Text());
  ::SetFocus(c().txtKeyWord);
  for (const WPARAM key : {VK_RETURN, VK_ESCAPE}) {
    // Through the program's own dispatch, where the dialog keys are handled.
    for (const UINT message : {WM_KEYDOWN, WM_CHAR, WM_KEYUP}) {
      MSG msg = {c().txtKeyWord,
                 message,
                 message == WM_CHAR ? (key == VK_RETURN ? L'\r' : 27) : key,
                 1,
                 0,
                 {}};
      DispatchWindowMessage(hwnd(), msg);
    }
    Pump();
  }
  EXPECT_EQ(RichText(c().rtbSearchResult), L"");
  EXPECT_EQ(Text(c().lblSearchCount), L"問");
  EXPECT_TRUE(::IsWindow(hwnd()));
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
