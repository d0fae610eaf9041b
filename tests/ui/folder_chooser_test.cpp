// The "..." button and the shell's folder browser.
#include <windows.h>

#include <commctrl.h>

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

// The name of the folder the browser's tree shows selected.
std::wstring SelectedInTree(HWND browser) {
  const HWND tree = ::FindWindowExW(browser, nullptr, WC_TREEVIEWW, nullptr);
  TVITEMW item = {};
  wchar_t text[MAX_PATH] = {};
  item.mask = TVIF_TEXT;
  item.hItem = reinterpret_cast<HTREEITEM>(::SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (item.hItem == nullptr ||
      !::SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) {
    return {};
  }
  return text;
}

TEST_F(FolderChooserTest, OkTakesThePreselectedFolderEvenOutsideCp932) {
  // Hangul has no CP932 encoding: only the wide shell calls keep the name.
  const std::wstring folder = tree_.Folder(L"選択\\폴더").wstring();
  SetText(c().txtFilePath, folder + L"\\");
  // OK once the browser shows the folder selected, as a user would see it before choosing.
  DialogWatcher watcher(IDOK, nullptr,
                        [](HWND browser) { return SelectedInTree(browser) == L"폴더"; });
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

}  // namespace
}  // namespace vek::ui::test
