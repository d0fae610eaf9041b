// The "..." button and the shell's folder browser.
#include "message_box.h"
#include "messages.h"
#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

class FolderChooserTest : public WindowTest {
 protected:
  bool SawBrowser(const DialogWatcher& watcher) const {
    const std::wstring title(kBrowseTitle.begin(), kBrowseTitle.end());
    for (const SeenDialog& dialog : watcher.Seen()) {
      for (const std::wstring& text : dialog.staticTexts) {
        if (text == title) return true;
      }
    }
    return false;
  }
  TempTree tree_;
};

TEST_F(FolderChooserTest, DoesNothingUnlessTheBoxNamesAnExistingFolder) {
  const auto file = tree_.File(L"a.vek", {L"abc"});
  for (const std::wstring& text : {std::wstring(), tree_.Text() + L"\\missing", file.wstring()}) {
    SetText(c().txtFilePath, text);
    DialogWatcher watcher(IDCANCEL);
    Click(c().cmdDirectory);
    EXPECT_TRUE(watcher.Seen().empty()) << text.size();
    EXPECT_EQ(Text(c().txtFilePath), text);
  }
}

TEST_F(FolderChooserTest, OkTakesThePreselectedFolderEvenOutsideCp932) {
  // Hangul has no CP932 encoding: only the wide shell calls keep the name.
  const std::wstring folder = tree_.Folder(L"選択\\폴더").wstring();
  SetText(c().txtFilePath, folder + L"\\");
  DialogWatcher watcher(IDOK);
  Click(c().cmdDirectory);
  EXPECT_TRUE(SawBrowser(watcher));
  EXPECT_EQ(Text(c().txtFilePath), folder);
}

TEST_F(FolderChooserTest, CancelLeavesTheBoxUnchanged) {
  const std::wstring text = tree_.Folder(L"sub").wstring() + L"\\";
  SetText(c().txtFilePath, text);
  DialogWatcher watcher(IDCANCEL);
  Click(c().cmdDirectory);
  EXPECT_TRUE(SawBrowser(watcher));
  EXPECT_EQ(Text(c().txtFilePath), text);
}

struct Kind {
  std::uint8_t kind;
  LPCWSTR icon;  // nullptr: none
  bool yesNo;
};

class MessageKindTest : public WindowTest, public testing::WithParamInterface<Kind> {};

TEST_P(MessageKindTest, IconAndButtonsFollowTheKind) {
  const Kind& kind = GetParam();
  const int answer = kind.yesNo ? IDNO : IDOK;
  DialogWatcher watcher(answer);
  const std::uint8_t pressed = ShowMessage(hwnd(), kind.kind, u"題名", u"本文", u"詳細");
  EXPECT_EQ(pressed, answer);
  const auto seen = watcher.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, L"題名");
  EXPECT_EQ(seen[0].text, L"本文\r\n詳細");
  EXPECT_EQ(seen[0].icon, kind.icon != nullptr ? ::LoadIconW(nullptr, kind.icon) : nullptr);
  EXPECT_EQ(seen[0].hasYes, kind.yesNo);
  EXPECT_EQ(seen[0].hasNo, kind.yesNo);
  EXPECT_EQ(seen[0].hasOk, !kind.yesNo);
  EXPECT_FALSE(seen[0].hasCancel);
}

INSTANTIATE_TEST_SUITE_P(Kinds, MessageKindTest,
                         testing::Values(Kind{1, IDI_HAND, false}, Kind{2, IDI_EXCLAMATION, true},
                                         Kind{3, IDI_EXCLAMATION, false},
                                         Kind{4, IDI_ASTERISK, false}, Kind{9, nullptr, false}),
                         [](const testing::TestParamInfo<Kind>& info) {
                           return "Kind" + std::to_string(info.param.kind);
                         });

}  // namespace
}  // namespace vek::ui::test
