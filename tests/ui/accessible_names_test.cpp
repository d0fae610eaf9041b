// What a screen reader says of the controls that take the focus, asked through the system's
// accessibility interface, which names a box by the label just before it among its siblings.
#include <windows.h>

#include <oleacc.h>

#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

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

}  // namespace
}  // namespace vek::ui::test
