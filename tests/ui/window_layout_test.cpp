// Where the controls are and that they are drawn whole: at the opening size, after resizing,
// maximising and restoring, when too narrow or too short, and while minimised. 96 DPI, so 15
// twips are one pixel.
#include <algorithm>
#include <array>

#include "ui_test_support.h"

namespace vek::ui::test {
namespace {

struct Box {
  int left, top, width, height;
  bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Box& box) {
  return out << "{" << box.left << ", " << box.top << ", " << box.width << ", " << box.height
             << "}";
}

Box BoxOf(HWND control) {
  const RECT rect = ClientRect(control);
  return {rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
}

class WindowLayoutTest : public WindowTest {
 protected:
  void Resize(int width, int height) {
    ::SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
    Pump();
  }
  int OuterWidth() const {
    const RECT rect = OuterRect(hwnd());
    return rect.right - rect.left;
  }
  int OuterHeight() const {
    const RECT rect = OuterRect(hwnd());
    return rect.bottom - rect.top;
  }
  std::vector<Box> AllBoxes() const {
    const auto& k = c();
    std::vector<Box> boxes;
    for (const HWND control :
         {k.lblFilePath, k.chkSubFolder, k.txtFilePath, k.cmdDirectory, k.lblKeyWord, k.txtKeyWord,
          k.cmdSearch, k.lblSearchResult, k.lblSearchCount, k.rtbSearchResult}) {
      boxes.push_back(BoxOf(control));
    }
    return boxes;
  }
  // The rules that hold after every resize, in pixels: window width - 660 twips is 44 px,
  // 300 twips 20 px, 510 twips 34 px.
  void ExpectAligned() {
    const int width = OuterWidth();
    const Box keyword = BoxOf(c().txtKeyWord);
    const Box search = BoxOf(c().cmdSearch);
    const Box folder = BoxOf(c().txtFilePath);
    const Box directory = BoxOf(c().cmdDirectory);
    const Box result = BoxOf(c().rtbSearchResult);
    const Box count = BoxOf(c().lblSearchCount);
    EXPECT_EQ(keyword.width + search.width, width - 44) << width;
    EXPECT_EQ(search.left, keyword.width + 20) << width;
    EXPECT_EQ(folder.width + directory.width, width - 44) << width;
    EXPECT_EQ(directory.left, folder.width + 20) << width;
    EXPECT_EQ(result.width, width - 34) << width;
    EXPECT_EQ(count.left + count.width, result.left + result.width - 2) << width;
  }
};

TEST_F(WindowLayoutTest, OpensAt640By480WithTheDesignedGeometry) {
  EXPECT_EQ(OuterWidth(), 640);
  EXPECT_EQ(OuterHeight(), 480);
  const int statusBar = BoxOf(c().StatusBar1).height;
  EXPECT_EQ(BoxOf(c().lblFilePath), (Box{10, 6, 73, 15}));
  EXPECT_EQ(BoxOf(c().chkSubFolder), (Box{52, 3, 127, 17}));
  EXPECT_EQ(BoxOf(c().txtFilePath), (Box{10, 20, 571, 21}));
  EXPECT_EQ(BoxOf(c().cmdDirectory), (Box{591, 20, 25, 23}));
  EXPECT_EQ(BoxOf(c().lblKeyWord), (Box{10, 48, 73, 17}));
  EXPECT_EQ(BoxOf(c().txtKeyWord), (Box{10, 64, 539, 21}));
  EXPECT_EQ(BoxOf(c().cmdSearch), (Box{559, 64, 57, 27}));
  EXPECT_EQ(BoxOf(c().lblSearchResult), (Box{10, 102, 73, 15}));
  EXPECT_EQ(BoxOf(c().lblSearchCount), (Box{545, 102, 69, 15}));
  // 480 px outer height less the result box's top (118), the status bar and 40 px.
  EXPECT_EQ(BoxOf(c().rtbSearchResult), (Box{10, 118, 606, 480 - 118 - statusBar - 40}));
  ExpectAligned();

  // The status bar spans the client area's bottom edge.
  RECT client;
  ::GetClientRect(hwnd(), &client);
  const Box bar = BoxOf(c().StatusBar1);
  EXPECT_EQ(bar.left, 0);
  EXPECT_EQ(bar.width, client.right);
  EXPECT_EQ(bar.top + bar.height, client.bottom);
}

TEST_F(WindowLayoutTest, ResizingKeepsBoxesButtonsAndResultAligned) {
  for (const auto& [width, height] :
       std::array<std::pair<int, int>, 4>{{{800, 600}, {500, 300}, {1024, 700}, {330, 400}}}) {
    Resize(width, height);
    ASSERT_EQ(OuterWidth(), width);
    ExpectAligned();
    const int statusBar = BoxOf(c().StatusBar1).height;
    EXPECT_EQ(BoxOf(c().rtbSearchResult).height, height - 118 - statusBar - 40) << height;
  }
}

TEST_F(WindowLayoutTest, NarrowestWindowFollowsTheFormulasAndKeepsWorking) {
  // The platform keeps a minimum width (116 px under Wine), which may stop short of negative
  // widths; the layout's own tests cover those.
  Resize(60, 480);
  const int width = OuterWidth();
  const int keywordRoom = width - 44 - 57;
  const int folderRoom = width - 44 - 25;
  EXPECT_EQ(BoxOf(c().txtKeyWord).width, std::max(keywordRoom, 0));
  EXPECT_EQ(BoxOf(c().txtFilePath).width, std::max(folderRoom, 0));
  EXPECT_EQ(BoxOf(c().cmdSearch).left, keywordRoom + 20);
  EXPECT_EQ(BoxOf(c().rtbSearchResult).width, std::max(width - 34, 0));

  TempTree tree;
  tree.File(L"a.vek", {L"still works"});
  Search(L"works", tree.Text(), false);
  EXPECT_EQ(Text(c().lblSearchCount), L"1問");
}

TEST_F(WindowLayoutTest, NoRoomBelowTheResultBoxLeavesItsHeight) {
  const int before = BoxOf(c().rtbSearchResult).height;
  Resize(700, 150);
  ASSERT_EQ(OuterHeight(), 150);
  EXPECT_EQ(BoxOf(c().rtbSearchResult).height, before);
  ExpectAligned();  // the widths still follow
}

TEST_F(WindowLayoutTest, EveryResizeLeavesEveryControlFullyPaintedAndMinimisingMovesNothing) {
  // What the screen shows of each control must be what the control paints when asked alone:
  // no blank button, no stale size grip, no label drawn over a box.
  const auto expectPainted = [this](const char* step) {
    for (const HWND control : {c().chkSubFolder, c().txtFilePath, c().cmdDirectory, c().txtKeyWord,
                               c().cmdSearch, c().StatusBar1}) {
      const auto shown = ShownPixels(control);
      ::RedrawWindow(control, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW);
      EXPECT_TRUE(shown == ShownPixels(control)) << step << " " << ::GetDlgCtrlID(control);
    }
  };
  const auto show = [this](int command) {
    ::ShowWindow(hwnd(), command);
    Pump();
  };
  expectPainted("open");
  Resize(900, 600);
  expectPainted("enlarged");
  show(SW_MAXIMIZE);
  expectPainted("maximised");
  show(SW_RESTORE);
  expectPainted("restored");
  Resize(500, 300);
  expectPainted("shrunk");

  const auto before = AllBoxes();
  show(SW_MINIMIZE);
  ASSERT_TRUE(::IsIconic(hwnd()));
  EXPECT_EQ(AllBoxes(), before);
  show(SW_RESTORE);
  EXPECT_EQ(AllBoxes(), before);
  expectPainted("restored from minimised");
}

}  // namespace
}  // namespace vek::ui::test
