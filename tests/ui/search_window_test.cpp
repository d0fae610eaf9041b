// Searches through the real window: what the result box, the count label, the status bar and
// the message boxes show, and where the focus goes.
#include "explorer.h"
#include "messages.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

std::wstring Hit(const std::wstring& file, int n, const std::wstring& line) {
  return file + L"(" + std::to_wstring(n) + L")：" + line;
}

// 'R' for every character inside any occurrence of a keyword, '.' elsewhere.
std::string ExpectedColours(const std::wstring& text, const std::vector<std::wstring>& keywords) {
  std::string colours(text.size(), '.');
  for (const std::wstring& keyword : keywords) {
    for (auto at = text.find(keyword); at != std::wstring::npos; at = text.find(keyword, at + 1)) {
      colours.replace(at, keyword.size(), keyword.size(), 'R');
    }
  }
  return colours;
}

using SearchWindowTest = WindowTest;

TEST_F(SearchWindowTest, HitsAreListedRedCountedAndTracedToTheirFilesAndProblemsReportedAfter) {
  TempTree tree;
  // Longer than the box is wide: a result line is one line of the box, never wrapped.
  const std::wstring wide = L"abc検索 " + std::wstring(300, L'w');
  const auto root = tree.File(L"検索メモ.vek",
                              {L"第1問 検索の基本 abc", L"関係ない行", L"ABC 検索 大文字", wide});
  const auto sub = tree.File(L"sub\\検索メモ.vek", {L"x\ry", L"検索abc結果"});
  tree.File(L"other.txt", {L"検索 abc"});
  // Every dialog the searches open, with the count as it opens.
  Watcher watcher({.read = [label = c().lblSearchCount](HWND box) -> std::optional<std::wstring> {
    return Describe(box) + L"|" + WindowText(label);
  }});

  Search(L"検索 abc", tree.Text());
  EXPECT_EQ(ResultLines(), (std::vector{Hit(L"検索メモ.vek", 1, L"第1問 検索の基本 abc"),
                                        Hit(L"検索メモ.vek", 2, wide)}));
  Search(L"検索 abc", tree.Text(), true);
  EXPECT_TRUE(watcher.Seen().empty());
  EXPECT_EQ(ResultLines(),
            (std::vector{Hit(L"検索メモ.vek", 1, L"第1問 検索の基本 abc"),
                         Hit(L"検索メモ.vek", 2, wide), Hit(L"検索メモ.vek", 1, L"検索abc結果")}));
  EXPECT_EQ(WindowText(c().lblSearchCount), L"3問");
  EXPECT_EQ(::GetFocus(), box());
  // The file-name prefix is coloured like the line itself; all in the box's font.
  EXPECT_EQ(Colours(box()), ExpectedColours(RichText(box()), {L"検索", L"abc"}));

  // The caret on a result line shows the file's full path and the line's number in it (a lone
  // CR ends a line too); off the result lines, the summary again.
  for (const auto& [line, status] :
       {std::pair{2, sub.wstring() + L"　3行目"}, std::pair{1, root.wstring() + L"　4行目"},
        std::pair{3, std::wstring(L"検索完了：2ファイル　")}}) {
    const LRESULT at = ::SendMessageW(box(), EM_LINEINDEX, line, 0);
    ::SendMessageW(box(), EM_SETSEL, at, at);
    EXPECT_PRED2(StartsWith, StatusText(c().StatusBar1), status);
  }
  // A double-click shows the file in the file browser, selected.
  EXPECT_EQ(ExplorerSelectParameters(sub), L"/select,\"" + sub.wstring() + L"\"");

  // Keywords that spell RTF markup, special, overlapping and double-byte ones are red over their
  // whole length and nowhere else; a single double-byte character is keyword enough.
  const std::vector<std::pair<std::wstring, std::vector<std::wstring>>> colourCases = {
      {L"compare the red pardon \\par {red}", {L"par", L"red"}},
      {L"x a\\b{c} y ｶﾀｶﾅ z abcd-aaaa-abc ①", {L"a\\b{c}", L"ｶﾀｶﾅ", L"abc", L"abcd", L"aaa", L"①"}},
      {L"漢字", {L"漢"}}};
  for (std::size_t i = 0; i < colourCases.size(); ++i) {
    const auto& [line, keywords] = colourCases[i];
    const auto file = tree.File(L"c" + std::to_wstring(i) + L"\\k.vek", {line, L"かな"});
    std::wstring typed;
    for (const std::wstring& keyword : keywords) typed += keyword + L" ";
    Search(typed, file.parent_path().wstring());
    EXPECT_EQ(ResultLines(), std::vector{Hit(L"k.vek", 1, line)});
    EXPECT_EQ(Colours(box()), ExpectedColours(RichText(box()), keywords));
  }
  EXPECT_TRUE(watcher.Seen().empty());

  // Nothing found: shown in the normal colour though red was there, no count, focus not moved.
  ::SetFocus(c().cmdSearch);
  Search(L"zzz", tree.Text());
  EXPECT_EQ(RichText(box()), L"Nothing");
  EXPECT_EQ(Colours(box()), ".......");
  EXPECT_EQ(WindowText(c().lblSearchCount), L"");
  EXPECT_EQ(::GetFocus(), c().cmdSearch);

  // The hint about the full-width space takes the summary's place only when nothing is found.
  const auto hinted = tree.File(L"h\\h.vek", {L"ファイル　システム", L"ファイル システム"});
  for (const auto& [keywords, status] :
       {std::pair{L"ファイル　ディスク",
                  L"キーワードの区切りは半角スペースです（全角スペース"
                  L"は区切りになりません）"},
        std::pair{L"ディスク", L"検索完了："}, std::pair{L"ファイル　システム", L"検索完了："}}) {
    Search(keywords, hinted.parent_path().wstring());
    EXPECT_PRED2(StartsWith, StatusText(c().StatusBar1), status) << keywords;
  }

  // A file that cannot be read is reported once the results are shown.
  tree.File(L"w\\a.vek", {L"abc 1"});
  const auto locked = tree.File(L"w\\b.vek", {L"abc 2"});
  const UniqueHandle lock(::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
  Search(L"abc", locked.parent_path().wstring());
  EXPECT_EQ(ResultLines(), std::vector{Hit(L"a.vek", 1, L"abc 1")});
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_PRED2(StartsWith, seen[0], L"検索Warning|");
  EXPECT_NE(seen[0].find(locked.wstring()), std::wstring::npos) << seen[0];
  EXPECT_TRUE(seen[0].ends_with(L"|warning OK|1問")) << seen[0];
}

TEST_F(SearchWindowTest, RefusedInputIsToldMovesTheFocusToTheFaultAndKeepsTheResult) {
  TempTree tree;
  const auto file = tree.File(L"a.vek", {L"abc ab"});
  Search(L"abc", tree.Text());
  const std::wstring result = RichText(box());
  const std::wstring folder = tree.Text(), none;
  for (const auto& [keywords, typedFolder, message, focus] :
       {std::tuple{L"", none, kMsgKeywordEmpty, c().txtKeyWord},
        std::tuple{L"ab", folder, kMsgTooShortOne, c().txtKeyWord},
        std::tuple{L"ab ", folder, kMsgTooShortMany, c().txtKeyWord},
        std::tuple{L"ab abc", folder, kMsgTooShortMany, c().txtKeyWord},
        std::tuple{L"abc", none, kMsgPathEmpty, c().txtFilePath},
        std::tuple{L"abc", file.wstring(), kMsgPathWrong, c().txtFilePath},
        std::tuple{L"abc", folder + L"\\missing", kMsgPathWrong, c().txtFilePath}}) {
    Watcher watcher;
    Search(keywords, typedFolder);
    EXPECT_EQ(watcher.Seen(), std::vector{L"入力項目Check Error|" + ToWide(message) + L"|stop OK"});
    EXPECT_EQ(FocusWhenActiveAgain(), focus) << keywords << L"|" << typedFolder;
    EXPECT_EQ(RichText(box()), result);
    EXPECT_EQ(WindowText(c().lblSearchCount), L"1問");
  }
}

}  // namespace
}  // namespace vek::ui::test
