// Searches through the real window: what the result box, the count label and the message
// boxes show, and where the focus goes.
#include <windows.h>

#include <richedit.h>

#include "explorer.h"
#include "messages.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

constexpr wchar_t kColon = L'：';

std::wstring Hit(std::wstring_view file, int n, std::wstring_view line) {
  return std::wstring(file) + L"(" + std::to_wstring(n) + L")" + kColon + std::wstring(line);
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
  std::wstring text;
  for (const auto& line : lines) text += line + L"\r";
  return text;
}

class SearchWindowTest : public WindowTest {
 protected:
  void ExpectRedExactlyAt(const std::vector<std::wstring>& keywords) {
    const std::wstring text = RichText(c().rtbSearchResult);
    EXPECT_EQ(Colours(c().rtbSearchResult), ExpectedColours(text, keywords));
  }
  TempTree tree_;
};

TEST_F(SearchWindowTest, HitsAreListedWithEveryKeywordRedAndCounted) {
  tree_.File(L"検索メモ.vek",
             {L"第1問 検索の基本 abc", L"関係ない行", L"ABC 検索 大文字", L"abc検索"});
  tree_.File(L"sub\\b.vek", {L"検索abc結果"});
  tree_.File(L"other.txt", {L"検索 abc"});

  DialogWatcher watcher;
  Search(L"検索 abc", tree_.Text(), true);

  EXPECT_TRUE(watcher.Seen().empty());
  const std::vector<std::wstring> expected = {
      Hit(L"検索メモ.vek", 1, L"第1問 検索の基本 abc"),
      Hit(L"検索メモ.vek", 2, L"abc検索"),
      Hit(L"b.vek", 1, L"検索abc結果"),
  };
  EXPECT_EQ(RichText(c().rtbSearchResult), Joined(expected));
  // The file-name prefix is coloured like the line itself.
  ExpectRedExactlyAt({L"検索", L"abc"});
  // Shown in the box's font, red or not.
  for (const long at : {0L, 3L}) {
    ::SendMessageW(c().rtbSearchResult, EM_SETSEL, at, at + 1);
    CHARFORMAT2W format = {};
    format.cbSize = sizeof(format);
    ::SendMessageW(c().rtbSearchResult, EM_GETCHARFORMAT, SCF_SELECTION,
                   reinterpret_cast<LPARAM>(&format));
    EXPECT_STREQ(format.szFaceName, L"ＭＳ ゴシック");
    EXPECT_EQ(format.yHeight, 180);
  }
  EXPECT_EQ(Text(c().lblSearchCount), L"3問");
  EXPECT_EQ(::GetFocus(), c().rtbSearchResult);
}

TEST_F(SearchWindowTest, SubfoldersAreSearchedOnlyWhenTickedAndTheCaretShowsWhereAHitIs) {
  // Longer than the box is wide: a result line is one line of the box, never wrapped.
  const std::wstring rootHit = L"root hit " + std::wstring(300, L'w');
  const auto root = tree_.File(L"a.vek", {rootHit});
  const auto sub = tree_.File(L"sub\\a.vek", {L"x\ry", L"sub hit"});

  Search(L"hit", tree_.Text(), false);
  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{Hit(L"a.vek", 1, rootHit)}));

  Search(L"hit", tree_.Text(), true);
  // The same bare name for both files.
  EXPECT_EQ(ResultLines(),
            (std::vector<std::wstring>{Hit(L"a.vek", 1, rootHit), Hit(L"a.vek", 1, L"sub hit")}));

  // The caret on a result line: the file's full path and the line's number in it. Off the
  // result lines, the summary again.
  const HWND box = c().rtbSearchResult;
  const auto caretOnLine = [box](int line) {
    const LRESULT at = ::SendMessageW(box, EM_LINEINDEX, line, 0);
    ::SendMessageW(box, EM_SETSEL, at, at);
  };
  caretOnLine(1);
  EXPECT_EQ(StatusText(c().StatusBar1), sub.wstring() + L"　3行目");
  caretOnLine(0);
  EXPECT_EQ(StatusText(c().StatusBar1), root.wstring() + L"　1行目");
  caretOnLine(2);
  EXPECT_EQ(StatusText(c().StatusBar1).substr(0, 5), L"検索完了：");
  // A double-click shows the file in the file browser, selected.
  EXPECT_EQ(ExplorerSelectParameters(sub), L"/select,\"" + sub.wstring() + L"\"");
}

TEST_F(SearchWindowTest, KeywordsThatSpellRtfMarkupColourOnlyTheText) {
  tree_.File(L"rtf.vek", {L"compare the red pardon \\par {red}"});
  Search(L"par red", tree_.Text(), false);
  EXPECT_EQ(ResultLines(),
            (std::vector<std::wstring>{Hit(L"rtf.vek", 1, L"compare the red pardon \\par {red}")}));
  ExpectRedExactlyAt({L"par", L"red"});
}

TEST_F(SearchWindowTest, SpecialAndOverlappingKeywordsAreRedOverTheirWholeLength) {
  tree_.File(L"s.vek", {L"x a\\b{c} y ｶﾀｶﾅ z abcd-aaaa-abc ①"});
  const std::vector<std::wstring> keywords = {L"a\\b{c}", L"ｶﾀｶﾅ", L"abc", L"abcd", L"aaa", L"①"};
  Search(L"a\\b{c} ｶﾀｶﾅ abc abcd aaa ①", tree_.Text(), false);
  ASSERT_EQ(ResultLines().size(), 1u);
  ExpectRedExactlyAt(keywords);
}

TEST_F(SearchWindowTest, NoHitsShowNothingInTheNormalColourAndAnEmptyCount) {
  tree_.File(L"abc.vek", {L"abc"});
  Search(L"abc", tree_.Text(), false);
  ASSERT_EQ(Colours(c().rtbSearchResult).substr(0, 3), "RRR");  // the name starts red

  Search(L"zzz", tree_.Text(), false);
  EXPECT_EQ(RichText(c().rtbSearchResult), L"Nothing");
  EXPECT_EQ(Colours(c().rtbSearchResult), ".......");
  EXPECT_EQ(Text(c().lblSearchCount), L"");
  EXPECT_EQ(::GetFocus(), c().cmdSearch);  // not moved
}

TEST_F(SearchWindowTest, FullWidthSpaceHintOnlyWhenItFindsNothing) {
  tree_.File(L"h.vek", {L"ファイル　システム", L"ファイル システム"});
  const std::wstring hint =
      L"キーワードの区切りは半角スペースです（全角スペースは区切りになりません）";
  Search(L"ファイル　ディスク", tree_.Text(), false);
  EXPECT_EQ(StatusText(c().StatusBar1), hint);
  Search(L"ディスク", tree_.Text(), false);
  EXPECT_EQ(StatusText(c().StatusBar1).substr(0, 5), L"検索完了：");
  Search(L"ファイル　システム", tree_.Text(), false);
  EXPECT_EQ(StatusText(c().StatusBar1).substr(0, 5), L"検索完了：");
}

TEST_F(SearchWindowTest, UnreadableFileIsReportedAfterTheResults) {
  tree_.File(L"a.vek", {L"abc 1"});
  const auto locked = tree_.File(L"b.vek", {L"abc 2"});
  const UniqueHandle lock(::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_NE(lock.get(), INVALID_HANDLE_VALUE);

  DialogWatcher watcher(IDOK, c().lblSearchCount);
  Search(L"abc", tree_.Text(), false);

  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{Hit(L"a.vek", 1, L"abc 1")}));
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"検索Warning");
  EXPECT_NE(seen[0].text.find(locked.wstring()), std::wstring::npos) << seen[0].text;
  EXPECT_EQ(seen[0].icon, ::LoadIconW(nullptr, IDI_EXCLAMATION));
  EXPECT_TRUE(seen[0].hasOk);
  EXPECT_FALSE(seen[0].hasCancel);
  EXPECT_EQ(seen[0].countLabelAtTheTime, L"1問");  // the results were already shown
}

TEST_F(SearchWindowTest, SingleDoubleByteCharacterIsAccepted) {
  tree_.File(L"k.vek", {L"漢字", L"かな"});
  DialogWatcher watcher;
  Search(L"漢", tree_.Text(), false);
  EXPECT_TRUE(watcher.Seen().empty());
  EXPECT_EQ(ResultLines(), (std::vector<std::wstring>{Hit(L"k.vek", 1, L"漢字")}));
}

enum class Folder { Empty, Existing, File, Missing };

struct Refusal {
  const wchar_t* keywords;
  Folder folder;
  std::u16string_view message;
  bool focusOnKeywords;
};

std::string RefusalName(const testing::TestParamInfo<Refusal>& info) {
  constexpr const char* kFolders[] = {"NoFolder", "Folder", "File", "MissingFolder"};
  return "Case" + std::to_string(info.index) + "_" +
         std::to_string(std::wstring_view(info.param.keywords).size()) + "CharKeywords_" +
         kFolders[static_cast<int>(info.param.folder)];
}

class RefusedSearchTest : public SearchWindowTest, public testing::WithParamInterface<Refusal> {};

TEST_P(RefusedSearchTest, ShowsTheMessageMovesTheFocusAndKeepsTheResult) {
  const Refusal& refusal = GetParam();
  const auto file = tree_.File(L"a.vek", {L"abc ab"});
  std::wstring folder;
  switch (refusal.folder) {
    case Folder::Empty:
      break;
    case Folder::Existing:
      folder = tree_.Text();
      break;
    case Folder::File:
      folder = file.wstring();
      break;
    case Folder::Missing:
      folder = tree_.Text() + L"\\missing";
      break;
  }
  const std::wstring resultBefore = RichText(c().rtbSearchResult);
  const std::wstring countBefore = Text(c().lblSearchCount);

  DialogWatcher watcher;
  Search(refusal.keywords, folder, false);

  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"入力項目Check Error");
  EXPECT_EQ(seen[0].text, std::wstring(refusal.message.begin(), refusal.message.end()));
  EXPECT_EQ(seen[0].icon, ::LoadIconW(nullptr, IDI_HAND));
  EXPECT_TRUE(seen[0].hasOk);
  EXPECT_FALSE(seen[0].hasCancel || seen[0].hasYes || seen[0].hasNo);
  EXPECT_EQ(::GetFocus(), refusal.focusOnKeywords ? c().txtKeyWord : c().txtFilePath);
  EXPECT_EQ(RichText(c().rtbSearchResult), resultBefore);
  EXPECT_EQ(Text(c().lblSearchCount), countBefore);
}

INSTANTIATE_TEST_SUITE_P(Inputs, RefusedSearchTest,
                         testing::Values(Refusal{L"", Folder::Empty, kMsgKeywordEmpty, true},
                                         Refusal{L"ab", Folder::Existing, kMsgTooShortOne, true},
                                         Refusal{L"ab ", Folder::Existing, kMsgTooShortMany, true},
                                         Refusal{L"ab abc", Folder::Existing, kMsgTooShortMany,
                                                 true},
                                         Refusal{L"abc", Folder::Empty, kMsgPathEmpty, false},
                                         Refusal{L"abc", Folder::File, kMsgPathWrong, false},
                                         Refusal{L"abc", Folder::Missing, kMsgPathWrong, false}),
                         RefusalName);

}  // namespace
}  // namespace vek::ui::test
