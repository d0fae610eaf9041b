#include "frm_vek_search.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "accessible_name.h"
#include "bas_vek_search.h"
#include "control_design.h"
#include "count_format.h"
#include "explorer.h"
#include "folder_chooser.h"
#include "input_method.h"
#include "input_rules.h"
#include "layout.h"
#include "message_box.h"
#include "messages.h"
#include "process_memory.h"
#include "res/resource_ids.h"
#include "rich_edit.h"
#include "rtf.h"
#include "status_text.h"
#include "system_error_text.h"
#include "text_convert.h"
#include "wide_text.h"
#include "win_file_system.h"

namespace vek::ui {
namespace {

constexpr wchar_t kClassName[] = L"frmVekSearch";

// Posted by the search thread once the search has returned.
constexpr UINT kSearchDone = WM_APP + 1;
// Posted by the line counter: wParam is the request it answered.
constexpr UINT kLineCounted = WM_APP + 2;
// Committed memory is looked at each time the search has kept this many more code units of
// result lines.
constexpr std::uint64_t kMemoryCheckUnits = std::uint64_t{8} << 20;

constexpr UINT kProgressInterval = 100;  // ms
// A slice of the result box is sized to load in about this time, so that the box answers
// between slices; the first is about a screenful, so that the first lines show at once. Each
// load also costs a little more the larger the box already is: later slices never get
// smaller than the minimum, or that cost would come to dominate.
constexpr std::chrono::milliseconds kSliceTime{50};
constexpr std::size_t kFirstSliceLines = 25;
constexpr std::size_t kMinSliceLines = 100;

// Away from IDOK and IDCANCEL, which the dialog keys send for Enter and Esc: Enter searches
// from the two text boxes only, Esc does nothing.
enum ControlId : int {
  kIdLblFilePath = 100,
  kIdChkSubFolder,
  kIdTxtFilePath,
  kIdCmdDirectory,
  kIdLblKeyWord,
  kIdTxtKeyWord,
  kIdCmdSearch,
  kIdLblSearchResult,
  kIdLblSearchCount,
  kIdRtbSearchResult,
  kIdStatusBar1,
};

UINT WindowDpi(HWND window) {
  // Looked up at run time: older systems have no per-window DPI.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  if (const FARPROC proc = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")) {
    const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void (*)()>(proc));
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  const HDC screen = ::GetDC(nullptr);
  const int dpi = ::GetDeviceCaps(screen, LOGPIXELSX);
  ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

UniqueFont CreatePointFont(const wchar_t* face, int points, UINT dpi) {
  LOGFONTW font = {};
  font.lfHeight = -::MulDiv(points, static_cast<int>(dpi), 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = SHIFTJIS_CHARSET;
  font.lfPitchAndFamily = FIXED_PITCH | FF_MODERN;
  std::wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
  return UniqueFont(::CreateFontIndirectW(&font));
}

std::u16string ThousandSeparator() {
  wchar_t separator[8] = {};
  if (::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, 8) > 0) {
    return ToU16(separator);
  }
  return u",";
}

int Height(const RECT& rect) {
  return rect.bottom - rect.top;
}
int Width(const RECT& rect) {
  return rect.right - rect.left;
}

}  // namespace

frmVekSearch::frmVekSearch(HINSTANCE instance, basVekSearch& module, FileSystem* fileSystem,
                           Options options)
    : module_(module),
      instance_(instance),
      separator_(ThousandSeparator()),
      fileSystem_(fileSystem != nullptr ? *fileSystem : ownFileSystem_),
      memory_(std::move(options.memory)) {
  if (!memory_.inUse) memory_.inUse = ProcessMemoryInUse;
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(IDI_VEKSEARCH));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  ::RegisterClassExW(&windowClass);  // fails harmlessly when an earlier window registered it

  ::CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"VekSearch",
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
  if (hwnd_ == nullptr) {
    throw std::system_error(static_cast<int>(::GetLastError()), std::system_category(),
                            "frmVekSearch");
  }
  lineCounter_.emplace(fileSystem_, hwnd_, kLineCounted);
}

frmVekSearch::~frmVekSearch() {
  if (worker_.joinable()) {
    module_.shared.gCancel = true;
    worker_.request_stop();
    worker_.join();
  }
  if (hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void frmVekSearch::Show(int showCommand) {
  ::ShowWindow(hwnd_, showCommand);
  ::UpdateWindow(hwnd_);
}

LRESULT CALLBACK frmVekSearch::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* form =
        static_cast<frmVekSearch*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    form->hwnd_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<frmVekSearch*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->hwnd_ = nullptr;
    form->controls_ = {};
    form->lastFocus_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return form->OnMessage(message, wParam, lParam);
}

LRESULT CALLBACK frmVekSearch::ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR self) {
  if (message == WM_SETCURSOR && reinterpret_cast<frmVekSearch*>(self)->OnSetCursor()) {
    return TRUE;
  }
  // A control moved with its redraw done at once would have the system erase and frame what it
  // uncovers of its siblings there and then: for the result box that is a message sent to the
  // box's thread, and the window would wait for a box that is busy. The window has its whole
  // area drawn again after every layout instead (RedrawLater), each thread drawing its own part.
  if (message == WM_WINDOWPOSCHANGING) {
    reinterpret_cast<WINDOWPOS*>(lParam)->flags |= SWP_NOREDRAW | SWP_DEFERERASE;
  }
  if (message == WM_NCDESTROY) ::RemoveWindowSubclass(control, ControlProc, id);
  return ::DefSubclassProc(control, message, wParam, lParam);
}

LRESULT frmVekSearch::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      CreateControls();
      ApplyDpi(WindowDpi(hwnd_));
      Form_Load();
      return 0;
    case WM_WINDOWPOSCHANGING:
      // As for the controls (ControlProc): a resize that drew at once would erase and frame the
      // result box by messages sent to its thread; WM_SIZE has it all drawn again instead.
      reinterpret_cast<WINDOWPOS*>(lParam)->flags |= SWP_NOREDRAW | SWP_DEFERERASE;
      break;
    case WM_SIZE:
      ::SendMessageW(controls_.StatusBar1, WM_SIZE, 0, 0);  // docks it to the bottom edge
      Form_Resize();
      RedrawLater();
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, Width(suggested),
                     Height(suggested), SWP_NOZORDER | SWP_NOACTIVATE);
      Form_Resize();
      RedrawLater();
      return 0;
    }
    case WM_COMMAND:
      if (lParam != 0) {
        OnCommand(LOWORD(wParam), HIWORD(wParam));
      } else if (LOWORD(wParam) == IDOK) {
        OnEnterKey();
      }
      return 0;
    case WM_NOTIFY:
      OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0);
      return 0;
    case WM_SETFOCUS:
      Focus(lastFocus_ != nullptr ? lastFocus_ : controls_.chkSubFolder);
      return 0;
    case WM_SETCURSOR:
      if (OnSetCursor()) return TRUE;
      break;
    case WM_CLOSE:
      Form_QueryUnload();
      return 0;
    case kSearchDone:
      OnSearchDone();
      return 0;
    case kBoxSliceLoaded:
      OnSliceLoaded(reinterpret_cast<HWND>(lParam), wParam);
      return 0;
    case kBoxCaretLine:
      rtbSearchResult_SelChange(reinterpret_cast<HWND>(lParam), wParam);
      return 0;
    case kLineCounted:
      OnLineCounted(wParam);
      return 0;
    case kBoxDoubleClick:
      rtbSearchResult_DblClick(reinterpret_cast<HWND>(lParam), wParam);
      return 0;
    case kBoxCopyRefused:
      if (reinterpret_cast<HWND>(lParam) == controls_.rtbSearchResult) {
        ShowMessage(hwnd_, kKindExclamation, kCopyErrorTitle, kMsgCopyTooLarge);
      }
      return 0;
    case kBoxLeft:
      --boxesInWindow_;
      if (closing_) DestroyOnceBoxesLeft();
      return 0;
    case WM_TIMER:
      if (wParam == kProgressTimer) ShowProgress();
      return 0;
    case WM_DESTROY:
      if (quitOnDestroy_) ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, message, wParam, lParam);
}

void frmVekSearch::OnCommand(int id, int code) {
  switch (id) {
    case kIdCmdSearch:
      if (code == BN_CLICKED) cmdSearch_Click();
      break;
    case kIdCmdDirectory:
      if (code == BN_CLICKED) cmdDirectory_Click();
      break;
    case kIdTxtKeyWord:
      if (code == EN_SETFOCUS) OpenHiraganaInput(controls_.txtKeyWord);
      break;
    case kIdTxtFilePath:
      if (code == EN_SETFOCUS) CloseInput(controls_.txtFilePath);
      break;
    default:
      break;
  }
}

void frmVekSearch::OnEnterKey() {
  const HWND focus = ::GetFocus();
  if (focus == controls_.txtKeyWord || focus == controls_.txtFilePath) cmdSearch_Click();
}

void frmVekSearch::OnNotify(const NMHDR& header) {
  if (header.hwndFrom != controls_.StatusBar1 || header.code != NM_CLICK) return;
  // The panel is found from the click point: the item index the bar reports is not reliable
  // on every version of the control.
  const POINT point = reinterpret_cast<const NMMOUSE&>(header).pt;
  const auto parts = static_cast<int>(::SendMessageW(controls_.StatusBar1, SB_GETPARTS, 0, 0));
  for (int part = 0; part < parts; ++part) {
    RECT rect;
    ::SendMessageW(controls_.StatusBar1, SB_GETRECT, part, reinterpret_cast<LPARAM>(&rect));
    if (::PtInRect(&rect, point)) {
      StatusBar1_PanelClick(part + 1);
      return;
    }
  }
}

void frmVekSearch::OnActivate(bool active) {
  if (!active) {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(hwnd_, focus)) lastFocus_ = focus;
    return;
  }
  Focus(lastFocus_ != nullptr ? lastFocus_ : controls_.chkSubFolder);
}

// The result box takes the focus on its own thread: set from here, the focus would move by a
// message sent to the box's thread, which may be busy.
void frmVekSearch::Focus(HWND control) {
  if (control == controls_.rtbSearchResult && box_) {
    box_->TakeFocus();
  } else {
    ::SetFocus(control);
  }
}

// The hourglass while the search runs; while the box fills, the arrow with the small
// hourglass: the user may scroll, select, copy, search again or cancel.
bool frmVekSearch::OnSetCursor() {
  if (stage_ == Stage::Idle) return false;
  ::SetCursor(::LoadCursorW(nullptr, stage_ == Stage::Searching ? IDC_WAIT : IDC_APPSTARTING));
  return true;
}

void frmVekSearch::SetStage(Stage stage) {
  stage_ = stage;
  const BoxPointer pointer = stage == Stage::Searching ? BoxPointer::Wait
                             : stage == Stage::Filling ? BoxPointer::AppStarting
                                                       : BoxPointer::Arrow;
  for (const auto* box : {&box_, &nextBox_}) {
    if (*box) (*box)->SetPointer(pointer);
  }
  if (!OnSetCursor()) ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

void frmVekSearch::CreateControls() {
  const auto create = [this](const wchar_t* windowClass, const wchar_t* text, DWORD style,
                             DWORD exStyle, int id) {
    const HWND control = ::CreateWindowExW(
        exStyle, windowClass, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0,
        hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    ::SetWindowSubclass(control, ControlProc, 1, reinterpret_cast<DWORD_PTR>(this));
    return control;
  };
  constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
  constexpr DWORD kButton = BS_PUSHBUTTON | WS_TABSTOP;
  constexpr DWORD kTextBox = ES_AUTOHSCROLL | WS_TABSTOP;

  // Created in tab order, which is also the order the dialog keys walk.
  Controls& c = controls_;
  c.lblFilePath = create(L"STATIC", L"Path：", kLabel, 0, kIdLblFilePath);
  c.chkSubFolder =
      create(L"BUTTON", L"サブフォルダを検索", BS_AUTOCHECKBOX | WS_TABSTOP, 0, kIdChkSubFolder);
  c.txtFilePath = create(L"EDIT", L"", kTextBox, WS_EX_CLIENTEDGE, kIdTxtFilePath);
  c.cmdDirectory = create(L"BUTTON", L"...", kButton, 0, kIdCmdDirectory);
  c.lblKeyWord = create(L"STATIC", L"検索文字列：", kLabel, 0, kIdLblKeyWord);
  c.txtKeyWord = create(L"EDIT", L"", kTextBox, WS_EX_CLIENTEDGE, kIdTxtKeyWord);
  c.cmdSearch = create(L"BUTTON", L"検索", kButton, 0, kIdCmdSearch);
  // Each box comes right after its label among the siblings: a screen reader names a box by
  // the label before it. The count goes first, as labels are no tab stops that changes no
  // other order. The labels end above the boxes and left of the check box (control_design.h),
  // so that, above them in the order, they clip no border.
  c.lblSearchCount = create(L"STATIC", L"問", kLabel, 0, kIdLblSearchCount);
  c.lblSearchResult = create(L"STATIC", L"検索結果：", kLabel, 0, kIdLblSearchResult);
  box_ = MakeBox(/*visible=*/true);
  c.rtbSearchResult = box_->Box();
  NameForScreenReaders(c.rtbSearchResult, L"検索結果：");
  c.StatusBar1 = create(STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, kIdStatusBar1);
}

std::unique_ptr<ResultBoxThread> frmVekSearch::MakeBox(bool visible) {
  ++boxesInWindow_;  // until it says it has left
  return std::make_unique<ResultBoxThread>(hwnd_, kIdRtbSearchResult, visible, memory_);
}

// Moved by the box's own thread: a box laying out a large result again after a resize takes
// seconds, and the window does not wait for it.
void frmVekSearch::PlaceBox(HWND box, const RECT& place) {
  boxPlace_ = place;
  ::SetWindowPos(box, nullptr, place.left, place.top, Width(place), Height(place),
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
}

// The window's own controls are invalidated from here, the box by its own thread: invalidated
// from here, its frame would be drawn by a message sent to its thread.
void frmVekSearch::RedrawLater() {
  constexpr UINT kLater = RDW_INVALIDATE | RDW_ERASE | RDW_FRAME;
  ::RedrawWindow(hwnd_, nullptr, nullptr, kLater | RDW_NOCHILDREN);
  const Controls& c = controls_;
  for (const HWND control :
       {c.lblFilePath, c.chkSubFolder, c.txtFilePath, c.cmdDirectory, c.lblKeyWord, c.txtKeyWord,
        c.cmdSearch, c.lblSearchResult, c.lblSearchCount, c.StatusBar1}) {
    ::RedrawWindow(control, nullptr, nullptr, kLater);
  }
  if (box_) box_->Redraw();
}

void frmVekSearch::ReplaceResultBox() {
  const HWND old = controls_.rtbSearchResult;
  const bool hadFocus = ::GetFocus() == old;
  const HWND box = nextBox_->Box();
  // Just before the old box: the same place in the tab order, and drawn over it until the old
  // box's thread has taken it away. Shown by its own thread: showing it paints it, which takes
  // the box tens of milliseconds even when it is empty.
  const HWND before = ::GetWindow(old, GW_HWNDPREV);
  ::SetWindowPos(box, before != nullptr ? before : HWND_TOP, boxPlace_.left, boxPlace_.top,
                 Width(boxPlace_), Height(boxPlace_),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_ASYNCWINDOWPOS);
  NameForScreenReaders(box, L"検索結果：");
  controls_.rtbSearchResult = box;
  if (lastFocus_ == old) lastFocus_ = box;
  if (hadFocus) nextBox_->TakeFocus();
  // The old box goes on its own thread: destroying a large one takes long.
  box_ = std::move(nextBox_);
}

int frmVekSearch::Pixels(double twips) const {
  return TwipsToPixels(twips, static_cast<std::int32_t>(dpi_));
}

void frmVekSearch::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  UniqueFont font = CreatePointFont(L"ＭＳ ゴシック", 9, dpi);
  UniqueFont directoryFont = CreatePointFont(L"ＭＳ 明朝", 6, dpi);
  const Controls& c = controls_;
  // The result box keeps its own font, in points, and follows the DPI on its own thread.
  for (const HWND control :
       {c.lblFilePath, c.chkSubFolder, c.txtFilePath, c.lblKeyWord, c.txtKeyWord, c.cmdSearch,
        c.lblSearchResult, c.lblSearchCount, c.StatusBar1}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  }
  ::SendMessageW(c.cmdDirectory, WM_SETFONT, reinterpret_cast<WPARAM>(directoryFont.get()), TRUE);
  for (const auto* box : {&box_, &nextBox_}) {
    if (*box) (*box)->SetDpi(dpi);
  }
  font_ = std::move(font);
  directoryFont_ = std::move(directoryFont);

  const auto place = [this](HWND control, const ControlDesign& design) {
    ::MoveWindow(control, Pixels(design.left), Pixels(design.top), Pixels(design.width),
                 Pixels(design.height), TRUE);
  };
  place(c.lblFilePath, kLblFilePath);
  place(c.chkSubFolder, kChkSubFolder);
  place(c.txtFilePath, kTxtFilePath);
  place(c.cmdDirectory, kCmdDirectory);
  place(c.lblKeyWord, kLblKeyWord);
  place(c.txtKeyWord, kTxtKeyWord);
  place(c.cmdSearch, kCmdSearch);
  place(c.lblSearchResult, kLblSearchResult);
  place(c.lblSearchCount, kLblSearchCount);
  const int left = Pixels(kRtbSearchResult.left), top = Pixels(kRtbSearchResult.top);
  PlaceBox(c.rtbSearchResult, {left, top, left + Pixels(kRtbSearchResult.width),
                               top + Pixels(kRtbSearchResult.height)});

  // The second panel takes the rest of the bar: it has whole sentences to show.
  int edges[2] = {Pixels(kPanel1Width), -1};
  ::SendMessageW(c.StatusBar1, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  ::SendMessageW(c.StatusBar1, SB_SETTEXTW, 0 | SBT_POPOUT, reinterpret_cast<LPARAM>(L"Cancel"));
  ::SendMessageW(c.StatusBar1, WM_SIZE, 0, 0);
  RedrawLater();
}

void frmVekSearch::Form_Load() {
  const std::int32_t width = module_.gTwipsPerPixelX * kOpenWidthPixels;
  const std::int32_t height = module_.gTwipsPerPixelY * kOpenHeightPixels;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, Pixels(width), Pixels(height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowTextW(controls_.txtKeyWord, L"");
  ::SetWindowTextW(controls_.txtFilePath, ToWide(module_.shared.gSearchPath).c_str());
  box_->ShowPlainText(L"");
}

void frmVekSearch::Form_Resize() {
  RECT window;
  RECT statusBar;
  ::GetWindowRect(hwnd_, &window);
  ::GetWindowRect(controls_.StatusBar1, &statusBar);
  const auto dpi = static_cast<std::int32_t>(dpi_);

  LayoutInput input;
  input.windowWidth = PixelsToTwips(Width(window), dpi);
  input.windowHeight = PixelsToTwips(Height(window), dpi);
  input.minimised = ::IsIconic(hwnd_) != FALSE;
  input.cmdSearchWidth = kCmdSearch.width;
  input.cmdDirectoryWidth = kCmdDirectory.width;
  input.lblSearchCountWidth = kLblSearchCount.width;
  input.rtbSearchResultTop = kRtbSearchResult.top;
  input.statusBarHeight = PixelsToTwips(Height(statusBar), dpi);
  const std::optional<Layout> layout = ComputeLayout(input);
  if (!layout) return;

  const Controls& c = controls_;
  const auto place = [this](HWND control, double left, double top, double width, int height) {
    ::MoveWindow(control, Pixels(left), Pixels(top), Pixels(width), height, TRUE);
  };
  place(c.txtKeyWord, kTxtKeyWord.left, kTxtKeyWord.top, layout->txtKeyWordWidth,
        Pixels(kTxtKeyWord.height));
  place(c.txtFilePath, kTxtFilePath.left, kTxtFilePath.top, layout->txtFilePathWidth,
        Pixels(kTxtFilePath.height));
  place(c.cmdSearch, layout->cmdSearchLeft, kCmdSearch.top, kCmdSearch.width,
        Pixels(kCmdSearch.height));
  place(c.cmdDirectory, layout->cmdDirectoryLeft, kCmdDirectory.top, kCmdDirectory.width,
        Pixels(kCmdDirectory.height));
  const int left = Pixels(kRtbSearchResult.left), top = Pixels(kRtbSearchResult.top);
  PlaceBox(c.rtbSearchResult,
           {left, top, left + Pixels(layout->rtbSearchResultWidth),
            layout->rtbSearchResultHeight ? top + Pixels(*layout->rtbSearchResultHeight)
                                          : boxPlace_.bottom});
  place(c.lblSearchCount, layout->lblSearchCountLeft, kLblSearchCount.top, kLblSearchCount.width,
        Pixels(kLblSearchCount.height));
}

// The window leaves the screen and gives up the single-instance lock at once, so that the
// program can be started again straight away. A result box may take long to be destroyed on its
// own thread: the program ends without waiting for it (it wrote nothing, so nothing is lost),
// and a window hosted by another program goes once its boxes have left it.
void frmVekSearch::Form_QueryUnload() {
  ::ShowWindow(hwnd_, SW_HIDE);
  module_.instanceLock.reset();
  if (stage_ == Stage::Searching) {
    // The search thread still uses gFileList: it is told to stop, and the window closes once
    // it has returned, without showing a result on the way.
    module_.shared.gCancel = true;
    worker_.request_stop();
    closeAfterSearch_ = true;
    return;
  }
  SetStage(Stage::Idle);  // a fill in progress ends here
  auto& fileList = module_.shared.gFileList;
  fileList.resize(1);
  decltype(module_.shared.gFileList)().swap(fileList);
  closing_ = true;
  box_.reset();
  nextBox_.reset();
  if (quitOnDestroy_) {
    ::PostQuitMessage(0);
    return;
  }
  DestroyOnceBoxesLeft();
}

void frmVekSearch::DestroyOnceBoxesLeft() {
  if (boxesInWindow_ <= 0 && hwnd_ != nullptr) ::DestroyWindow(hwnd_);
}

void frmVekSearch::cmdSearch_Click() {
  if (stage_ == Stage::Searching) return;  // one search at a time
  // A refused input leaves a fill going on; an accepted one ends it here.
  if (!ValidateInput()) return;
  if (stage_ == Stage::Filling) box_->StopLoading();

  const std::u16string keywordText = ToU16(WindowText(controls_.txtKeyWord));
  const std::u16string folderText = ToU16(WindowText(controls_.txtFilePath));
  const bool subFolders = ::SendMessageW(controls_.chkSubFolder, BM_GETCHECK, 0, 0) == BST_CHECKED;
  // Made while the search runs, so that the result does not wait for it.
  nextBox_ = MakeBox(/*visible=*/false);
  nextBox_->SetDpi(dpi_);
  SetStage(Stage::Searching);
  started_ = std::chrono::steady_clock::now();
  keywords_ = SplitKeywords(keywordText);
  progress_.emplace();
  failure_ = nullptr;
  found_ = {};
  sources_ = {};
  hits_ = 0;
  keptUnits_ = 0;
  memoryChecked_ = 0;
  keepLines_ = true;
  caretRequest_ = 0;
  ShowProgress();
  ::SetTimer(hwnd_, kProgressTimer, kProgressInterval, nullptr);

  const HWND window = hwnd_;
  worker_ = std::jthread([this, window, keywordText, folderText, subFolders](std::stop_token stop) {
    try {
      SearchOptions options;
      options.progress = &*progress_;
      options.stop = std::move(stop);
      options.onFile = [this](FileResults& file) { KeepFoundLines(file); };
      outcome_ =
          RunSearch(module_.shared, keywordText, folderText, subFolders, fileSystem_, {}, options);
    } catch (...) {
      failure_ = std::current_exception();
    }
    ::PostMessageW(window, kSearchDone, 0, 0);
  });
}

// On the search's delivering thread. The lines are kept for the box up to half the memory
// budget, the other half being the box's: lines past that could never be shown.
void frmVekSearch::KeepFoundLines(FileResults& file) {
  hits_ += file.hits;
  if (!keepLines_) return;
  for (const std::u16string& line : file.lines) keptUnits_ += line.size() + 1;
  sources_.Add(file, found_);
  if (keptUnits_ - memoryChecked_ < kMemoryCheckUnits) return;
  memoryChecked_ = keptUnits_;
  keepLines_ = memory_.inUse() <= memory_.bytes / 2;
}

void frmVekSearch::OnSearchDone() {
  if (stage_ != Stage::Searching) return;
  worker_.join();
  ::KillTimer(hwnd_, kProgressTimer);
  found_.emplace_back();
  content_ = std::make_shared<const BoxContent>(BoxContent{std::exchange(found_, {}), keywords_});
  if (closeAfterSearch_ || failure_) {
    SetStage(Stage::Idle);
    nextBox_.reset();  // no result to show
    outcome_ = {};
    if (std::exchange(closeAfterSearch_, false)) {
      Form_QueryUnload();
      return;
    }
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }

  ReplaceResultBox();
  cut_ = DisplayCut::None;
  filled_ = 0;
  filledUnits_ = 0;
  if (hits_ == 0) {
    box_->ShowPlainText(L"Nothing");
    ::SetWindowTextW(controls_.lblSearchCount, L"");
    EndSearch(DisplayCut::None);
    return;
  }
  Focus(controls_.rtbSearchResult);
  ::SetWindowTextW(controls_.lblSearchCount,
                   ToWide(FormatHitCount(static_cast<std::int64_t>(hits_), separator_)).c_str());
  SetStage(Stage::Filling);
  sliceLines_ = kFirstSliceLines;
  memoryBeforeFill_ = memory_.inUse();
  ShowStatus(FillStatusText(0, static_cast<std::int32_t>(hits_), separator_));
  FillStep();
}

void frmVekSearch::FillStep() {
  const std::size_t lines = content_->results.size() - 1;  // the trailing empty element is no line
  box_->Load(content_, filled_, std::min(lines, filled_ + sliceLines_));
}

// Whether the box may take the next slice and the process still have room to copy all the box
// shows: each line is reckoned to cost what the lines so far have cost on average.
bool frmVekSearch::NextSliceFits() const {
  const std::size_t lines = content_->results.size() - 1;
  const std::size_t next = std::min(lines, filled_ + sliceLines_);
  std::uint64_t nextUnits = filledUnits_;
  for (std::size_t line = filled_; line < next; ++line) {
    nextUnits += content_->results[line].size() + 1;
  }
  const std::uint64_t inUse = memory_.inUse();
  const std::uint64_t perLine =
      filled_ == 0 || inUse <= memoryBeforeFill_ ? 0 : (inUse - memoryBeforeFill_) / filled_;
  return inUse + perLine * (next - filled_) + nextUnits * kCopyBytesPerCharacter <= memory_.bytes;
}

void frmVekSearch::OnSliceLoaded(HWND box, std::size_t filled) {
  if (box != controls_.rtbSearchResult || filled <= filled_) return;
  for (std::size_t line = filled_; line < filled; ++line) {
    filledUnits_ += content_->results[line].size() + 1;
  }
  filled_ = filled;
  if (stage_ != Stage::Filling) {
    // A slice that was on its way when the fill stopped: the panel counts what the box shows.
    if (cut_ != DisplayCut::None) ShowSummary();
    return;
  }
  // The next slice sized to the time this one took: a slow slice shrinks the next one at once,
  // a quick one lets it grow by at most double, so that one lucky slice cannot make a long one.
  using Seconds = std::chrono::duration<double>;
  const std::chrono::microseconds took = box_->SliceTime();
  const double scale =
      std::min(Seconds(kSliceTime) / Seconds(std::max(took, std::chrono::microseconds(1))), 2.0);
  sliceLines_ =
      std::max(kMinSliceLines, static_cast<std::size_t>(static_cast<double>(sliceLines_) * scale));
  const std::size_t lines = content_->results.size() - 1;
  if (filled_ == lines) {
    EndSearch(lines < hits_ ? DisplayCut::Bound : DisplayCut::None);
    return;
  }
  if (!NextSliceFits()) {
    box_->StopLoading();
    EndSearch(DisplayCut::Bound);
    return;
  }
  ShowStatus(FillStatusText(static_cast<std::int32_t>(filled_), static_cast<std::int32_t>(hits_),
                            separator_));
  FillStep();
}

void frmVekSearch::EndSearch(DisplayCut cut) {
  SetStage(Stage::Idle);
  cut_ = cut;
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started_);
  // The hint takes the summary's place: when nothing was found it is what the user needs.
  const std::u16string hint = FullWidthSpaceHint(keywords_, hits_ == 0 ? 0 : 1);
  searchSummary_ = hint.empty() ? SummaryStatusText(progress_->filesSearched, took.count(),
                                                    outcome_.walkCancelled, separator_)
                                : hint;
  ShowSummary();
  const SearchOutcome outcome = std::exchange(outcome_, {});
  if (!outcome.problems.empty()) ReportProblems(outcome.problems);
}

void frmVekSearch::ShowSummary() {
  summary_ = searchSummary_;
  if (cut_ != DisplayCut::None) {
    summary_ += u"　" + ShownLinesText(cut_, static_cast<std::int64_t>(filled_),
                                       static_cast<std::int64_t>(hits_), separator_);
  }
  ShowStatus(summary_);
}

void frmVekSearch::ShowProgress() {
  if (stage_ != Stage::Searching) return;
  const SearchProgress& progress = *progress_;
  const std::int32_t found = progress.filesFound.load(std::memory_order_relaxed);
  ShowStatus(progress.walkDone.load(std::memory_order_relaxed)
                 ? MatchStatusText(progress.filesSearched.load(std::memory_order_relaxed), found,
                                   progress.hits.load(std::memory_order_relaxed), separator_)
                 : WalkStatusText(found, separator_));
}

void frmVekSearch::ShowStatus(const std::u16string& text) {
  ::SendMessageW(controls_.StatusBar1, SB_SETTEXTW, 1,
                 reinterpret_cast<LPARAM>(ToWide(text).c_str()));
}

void frmVekSearch::ReportProblems(const std::vector<SearchProblem>& problems) {
  std::vector<ProblemLine> lines;
  lines.reserve(problems.size());
  for (const SearchProblem& problem : problems) {
    lines.push_back({PathText(problem.path), SystemErrorText(problem.error)});
  }
  ShowMessage(hwnd_, kKindExclamation, kSearchWarningTitle, ProblemReportText(lines));
}

// The box reports the result line under the caret. The file's path shows at once, its line
// number once the counter has read that far into the file; back to the summary when the caret
// is on no result line: a path left standing would read as belonging to wherever the caret is.
// Until the search has returned, its thread may still be adding sources.
void frmVekSearch::rtbSearchResult_SelChange(HWND box, WPARAM line) {
  if (box != controls_.rtbSearchResult || stage_ != Stage::Idle) return;
  caretRequest_ = 0;
  const std::optional<ResultSources::Source> source =
      line == kNoResultLine ? std::nullopt : sources_.Find(line);
  if (!source) {
    ShowStatus(summary_);
    return;
  }
  caretPath_ = PathText(*source->file);
  ShowStatus(LineSourceText(caretPath_, std::nullopt, separator_));
  caretRequest_ = lineCounter_->Request(*source->file, source->offset);
}

void frmVekSearch::OnLineCounted(std::uint64_t request) {
  if (request != caretRequest_) return;
  if (const auto line = lineCounter_->Answer(request)) {
    ShowStatus(LineSourceText(caretPath_, *line, separator_));
  }
}

void frmVekSearch::rtbSearchResult_DblClick(HWND box, WPARAM line) {
  if (box != controls_.rtbSearchResult || stage_ == Stage::Searching) return;
  if (const std::optional<ResultSources::Source> source = sources_.Find(line)) {
    ShowInExplorer(hwnd_, *source->file);
  }
}

bool frmVekSearch::ValidateInput() {
  WinFileSystem fileSystem;
  const InputVerdict verdict = CheckInput(ToU16(WindowText(controls_.txtKeyWord)),
                                          ToU16(WindowText(controls_.txtFilePath)), fileSystem);
  if (verdict.accepted) return true;
  ShowMessage(hwnd_, kKindCritical, kInputErrorTitle, verdict.message);
  // Remembered too: the window may be activated again only after this, and activation puts
  // the focus back where it last was.
  lastFocus_ = verdict.focus == InputField::FilePath ? controls_.txtFilePath : controls_.txtKeyWord;
  ::SetFocus(lastFocus_);
  return false;
}

void frmVekSearch::cmdDirectory_Click() {
  if (Searching()) return;
  const std::wstring start = WindowText(controls_.txtFilePath);
  WinFileSystem fileSystem;
  if (!FolderExists(ToU16(start), fileSystem)) return;
  const std::wstring chosen = BrowseForFolder(hwnd_, ToWide(kBrowseTitle), start);
  if (!chosen.empty()) ::SetWindowTextW(controls_.txtFilePath, chosen.c_str());
}

// The first panel cancels the walk; while the box fills, it ends the fill: the box keeps what
// it shows and the panel says how much that is.
void frmVekSearch::StatusBar1_PanelClick(int panel) {
  if (panel != 1) return;
  module_.shared.gCancel = true;
  if (stage_ != Stage::Filling) return;
  box_->StopLoading();
  EndSearch(DisplayCut::Cancelled);
}

}  // namespace vek::ui
