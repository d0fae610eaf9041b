#include "frm_vek_search.h"

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include "bas_vek_search.h"
#include "control_design.h"
#include "count_format.h"
#include "explorer.h"
#include "folder_chooser.h"
#include "input_method.h"
#include "input_rules.h"
#include "layout.h"
#include "line_number.h"
#include "message_box.h"
#include "messages.h"
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

frmVekSearch::frmVekSearch(HINSTANCE instance, basVekSearch& module, FileSystem* fileSystem)
    : module_(module),
      instance_(instance),
      separator_(ThousandSeparator()),
      fileSystem_(fileSystem != nullptr ? *fileSystem : ownFileSystem_) {
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
    case WM_SIZE:
      ::SendMessageW(controls_.StatusBar1, WM_SIZE, 0, 0);  // docks it to the bottom edge
      // The bar repaints only what it gained, which would leave its old size grip drawn.
      ::InvalidateRect(controls_.StatusBar1, nullptr, TRUE);
      Form_Resize();
      return 0;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wParam));
      const RECT& suggested = *reinterpret_cast<const RECT*>(lParam);
      ::SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, Width(suggested),
                     Height(suggested), SWP_NOZORDER | SWP_NOACTIVATE);
      Form_Resize();
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
      ::SetFocus(lastFocus_ != nullptr ? lastFocus_ : controls_.chkSubFolder);
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
      OnSliceLoaded(wParam, std::chrono::microseconds(lParam));
      return 0;
    case kBoxSetCursor:
      return OnSetCursor() ? TRUE : FALSE;
    case kBoxDoubleClick:
      rtbSearchResult_DblClick();
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
  if (header.hwndFrom == controls_.rtbSearchResult && header.code == EN_SELCHANGE) {
    rtbSearchResult_SelChange();
    return;
  }
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
  ::SetFocus(lastFocus_ != nullptr ? lastFocus_ : controls_.chkSubFolder);
}

bool frmVekSearch::OnSetCursor() {
  if (!Searching()) return false;
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  return true;
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
  c.lblSearchResult = create(L"STATIC", L"検索結果：", kLabel, 0, kIdLblSearchResult);
  c.lblSearchCount = create(L"STATIC", L"問", kLabel, 0, kIdLblSearchCount);
  box_ = std::make_unique<ResultBoxThread>(hwnd_, kIdRtbSearchResult, nullptr, true);
  c.rtbSearchResult = box_->Box();
  c.StatusBar1 = create(STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, kIdStatusBar1);
  // The design lets labels reach into the boxes below them; with every control clipping its
  // siblings, the labels go to the bottom so that boxes and buttons are drawn whole. Labels
  // are no tab stops, so the tab order stays the creation order.
  for (const HWND label : {c.lblFilePath, c.lblKeyWord, c.lblSearchResult, c.lblSearchCount}) {
    ::SetWindowPos(label, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
}

void frmVekSearch::ReplaceResultBox() {
  const HWND old = controls_.rtbSearchResult;
  const bool hadFocus = ::GetFocus() == old;
  const RECT place = [old] {
    RECT rect;
    ::GetWindowRect(old, &rect);
    ::MapWindowPoints(HWND_DESKTOP, ::GetParent(old), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
  }();
  const HWND box = nextBox_->Box();
  // Same place in the tab order and on screen.
  ::SetWindowPos(box, old, place.left, place.top, Width(place), Height(place),
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
  controls_.rtbSearchResult = box;
  if (lastFocus_ == old) lastFocus_ = box;
  if (hadFocus) ::SetFocus(box);
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
  for (const HWND control :
       {c.lblFilePath, c.chkSubFolder, c.txtFilePath, c.lblKeyWord, c.txtKeyWord, c.cmdSearch,
        c.lblSearchResult, c.lblSearchCount, c.rtbSearchResult, c.StatusBar1}) {
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
  }
  ::SendMessageW(c.cmdDirectory, WM_SETFONT, reinterpret_cast<WPARAM>(directoryFont.get()), TRUE);
  if (nextBox_) {
    ::SendMessageW(nextBox_->Box(), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
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
  place(c.rtbSearchResult, kRtbSearchResult);

  // The second panel takes the rest of the bar: it has whole sentences to show.
  int edges[2] = {Pixels(kPanel1Width), -1};
  ::SendMessageW(c.StatusBar1, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(edges));
  ::SendMessageW(c.StatusBar1, SB_SETTEXTW, 0 | SBT_POPOUT, reinterpret_cast<LPARAM>(L"Cancel"));
  ::SendMessageW(c.StatusBar1, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(L""));
  ::SendMessageW(c.StatusBar1, WM_SIZE, 0, 0);
}

void frmVekSearch::Form_Load() {
  const std::int32_t width = module_.gTwipsPerPixelX * kOpenWidthPixels;
  const std::int32_t height = module_.gTwipsPerPixelY * kOpenHeightPixels;
  ::SetWindowPos(hwnd_, nullptr, 0, 0, Pixels(width), Pixels(height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowTextW(controls_.txtKeyWord, L"");
  ::SetWindowTextW(controls_.txtFilePath, ToWide(module_.shared.gSearchPath).c_str());
  SetPlainText(controls_.rtbSearchResult, L"");
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
  RECT result;
  ::GetWindowRect(c.rtbSearchResult, &result);
  place(c.rtbSearchResult, kRtbSearchResult.left, kRtbSearchResult.top,
        layout->rtbSearchResultWidth,
        layout->rtbSearchResultHeight ? Pixels(*layout->rtbSearchResultHeight) : Height(result));
  place(c.lblSearchCount, layout->lblSearchCountLeft, kLblSearchCount.top, kLblSearchCount.width,
        Pixels(kLblSearchCount.height));
}

void frmVekSearch::Form_QueryUnload() {
  if (stage_ == Stage::Searching) {
    // The search thread still uses gFileList: it is told to stop, and the window closes once
    // it has returned. Gone from the screen already, and no result will be shown.
    module_.shared.gCancel = true;
    worker_.request_stop();
    closeAfterSearch_ = true;
    ::ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  stage_ = Stage::Idle;  // a fill in progress ends here
  auto& fileList = module_.shared.gFileList;
  fileList.resize(1);
  decltype(module_.shared.gFileList)().swap(fileList);
  ::DestroyWindow(hwnd_);
}

void frmVekSearch::cmdSearch_Click() {
  if (Searching()) return;  // one search at a time
  if (!ValidateInput()) return;

  const std::u16string keywordText = ToU16(WindowText(controls_.txtKeyWord));
  const std::u16string folderText = ToU16(WindowText(controls_.txtFilePath));
  const bool subFolders = ::SendMessageW(controls_.chkSubFolder, BM_GETCHECK, 0, 0) == BST_CHECKED;
  stage_ = Stage::Searching;
  started_ = std::chrono::steady_clock::now();
  ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  keywords_ = SplitKeywords(keywordText);
  progress_.emplace();
  failure_ = nullptr;
  found_ = {};
  sources_ = {};
  ShowProgress();
  ::SetTimer(hwnd_, kProgressTimer, kProgressInterval, nullptr);
  // Made while the search runs, so that the result does not wait for it.
  nextBox_ =
      std::make_unique<ResultBoxThread>(hwnd_, kIdRtbSearchResult, font_.get(), /*visible=*/false);

  const HWND window = hwnd_;
  worker_ = std::jthread([this, window, keywordText, folderText, subFolders](std::stop_token stop) {
    try {
      SearchOptions options;
      options.progress = &*progress_;
      options.stop = std::move(stop);
      options.onFile = [this](FileResults& file) { sources_.Add(file, found_); };
      outcome_ =
          RunSearch(module_.shared, keywordText, folderText, subFolders, fileSystem_, {}, options);
    } catch (...) {
      failure_ = std::current_exception();
    }
    ::PostMessageW(window, kSearchDone, 0, 0);
  });
}

void frmVekSearch::OnSearchDone() {
  if (stage_ != Stage::Searching) return;
  worker_.join();
  ::KillTimer(hwnd_, kProgressTimer);
  found_.emplace_back();
  content_ = std::make_shared<const BoxContent>(BoxContent{std::exchange(found_, {}), keywords_});
  if (closeAfterSearch_ || failure_) {
    stage_ = Stage::Idle;
    nextBox_.reset();  // no result to show
    outcome_ = {};
    if (std::exchange(closeAfterSearch_, false)) {
      Form_QueryUnload();
      return;
    }
    std::rethrow_exception(std::exchange(failure_, nullptr));
  }

  ReplaceResultBox();
  const std::int64_t count = HitCount(content_->results);
  if (count == 0) {
    SetPlainText(controls_.rtbSearchResult, L"Nothing");
    ::SetWindowTextW(controls_.lblSearchCount, L"");
    EndSearch();
    return;
  }
  ::SetFocus(controls_.rtbSearchResult);
  ::SetWindowTextW(controls_.lblSearchCount, ToWide(FormatHitCount(count, separator_)).c_str());
  stage_ = Stage::Filling;
  filled_ = 0;
  sliceLines_ = kFirstSliceLines;
  ShowStatus(FillStatusText(0, count, separator_));
  FillStep();
}

void frmVekSearch::FillStep() {
  const std::size_t lines = content_->results.size() - 1;  // the trailing empty element is no line
  box_->Load(content_, filled_, std::min(lines, filled_ + sliceLines_));
}

void frmVekSearch::OnSliceLoaded(std::size_t filled, std::chrono::microseconds took) {
  if (stage_ != Stage::Filling) return;
  filled_ = filled;
  // The next slice sized to the time this one took: a slow slice shrinks the next one at once,
  // a quick one lets it grow by at most double, so that one lucky slice cannot make a long one.
  using Seconds = std::chrono::duration<double>;
  const double scale =
      std::min(Seconds(kSliceTime) / Seconds(std::max(took, std::chrono::microseconds(1))), 2.0);
  sliceLines_ =
      std::max(kMinSliceLines, static_cast<std::size_t>(static_cast<double>(sliceLines_) * scale));
  const std::size_t lines = content_->results.size() - 1;
  ShowStatus(FillStatusText(static_cast<std::int32_t>(filled_), static_cast<std::int32_t>(lines),
                            separator_));
  if (filled_ == lines) {
    EndSearch();
    return;
  }
  FillStep();
}

void frmVekSearch::EndSearch() {
  stage_ = Stage::Idle;
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started_);
  // The hint takes the summary's place: when nothing was found it is what the user needs.
  const std::u16string hint = FullWidthSpaceHint(keywords_, HitCount(content_->results));
  summary_ = hint.empty() ? SummaryStatusText(progress_->filesSearched, took.count(),
                                              outcome_.walkCancelled, separator_)
                          : hint;
  ShowStatus(summary_);
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  const SearchOutcome outcome = std::exchange(outcome_, {});
  if (!outcome.problems.empty()) ReportProblems(outcome.problems);
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

std::optional<ResultSources::Source> frmVekSearch::CaretLineSource() const {
  CHARRANGE selection = {};
  ::SendMessageW(controls_.rtbSearchResult, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&selection));
  const LRESULT line =
      ::SendMessageW(controls_.rtbSearchResult, EM_EXLINEFROMCHAR, 0, selection.cpMin);
  return sources_.Find(static_cast<std::size_t>(line));
}

// Back to the summary when the caret is on no result line: a path left standing would read
// as belonging to wherever the caret is now.
void frmVekSearch::rtbSearchResult_SelChange() {
  if (stage_ != Stage::Idle) return;  // the search thread may still be adding sources
  const std::optional<ResultSources::Source> source = CaretLineSource();
  if (!source) {
    ShowStatus(summary_);
    return;
  }
  // Counted on demand: only the line the user looks at costs a read of its file.
  ShowStatus(LineSourceText(PathText(*source->file),
                            LineNumberAt(fileSystem_, *source->file, source->offset), separator_));
}

void frmVekSearch::rtbSearchResult_DblClick() {
  if (stage_ != Stage::Idle) return;
  if (const std::optional<ResultSources::Source> source = CaretLineSource()) {
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

void frmVekSearch::StatusBar1_PanelClick(int panel) {
  if (panel == 1) module_.shared.gCancel = true;
}

}  // namespace vek::ui
