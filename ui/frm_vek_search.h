// frmVekSearch: the program's only window, its controls and their event handlers.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstddef>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "line_counter.h"
#include "result_box_thread.h"
#include "result_sources.h"
#include "search_core.h"
#include "status_text.h"
#include "win32_handles.h"
#include "win_file_system.h"

namespace vek::ui {

struct basVekSearch;

class frmVekSearch {
 public:
  struct Controls {
    HWND lblFilePath = nullptr;
    HWND chkSubFolder = nullptr;
    HWND txtFilePath = nullptr;
    HWND cmdDirectory = nullptr;
    HWND lblKeyWord = nullptr;
    HWND txtKeyWord = nullptr;
    HWND cmdSearch = nullptr;
    HWND lblSearchResult = nullptr;
    HWND lblSearchCount = nullptr;
    HWND rtbSearchResult = nullptr;
    HWND StatusBar1 = nullptr;
  };

  // Refreshes the progress panel while a search runs.
  static constexpr UINT_PTR kProgressTimer = 1;

  struct Options {
    // What the program may take of the machine's memory: the result box fills up to it, and a
    // search keeps result lines for the box up to half of it. Measured in the process's own
    // committed memory unless the meter is given.
    MemoryBudget memory;
  };

  // Creates the window, still hidden, and runs Form_Load. Searches read through `fileSystem`
  // when one is given (it must allow calls from several threads), the real one otherwise.
  frmVekSearch(HINSTANCE instance, basVekSearch& module, FileSystem* fileSystem = nullptr,
               Options options = {});
  ~frmVekSearch();
  frmVekSearch(const frmVekSearch&) = delete;
  frmVekSearch& operator=(const frmVekSearch&) = delete;

  void Show(int showCommand);
  // The program ends its message loop when its window is gone; a host that owns several
  // windows (a test) does not.
  void QuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

  HWND hwnd() const { return hwnd_; }
  const Controls& controls() const { return controls_; }
  // From the click on 検索 until the result box is filled.
  bool Searching() const { return stage_ != Stage::Idle; }
  bool Filling() const { return stage_ == Stage::Filling; }

 private:
  // A search runs on a thread of its own, then the result box, on a thread of its own too,
  // fills a slice at a time; the window answers all along. A new search or Cancel ends a fill.
  enum class Stage { Idle, Searching, Filling };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR id, DWORD_PTR self);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnCommand(int id, int code);
  void OnEnterKey();
  void OnNotify(const NMHDR& header);
  void OnActivate(bool active);
  bool OnSetCursor();
  void SetStage(Stage stage);

  void CreateControls();
  std::unique_ptr<ResultBoxThread> MakeBox(bool visible);
  void PlaceBox(HWND box, const RECT& place);
  void ReplaceResultBox();
  void ApplyDpi(UINT dpi);
  int Pixels(double twips) const;
  void DestroyOnceBoxesLeft();
  void RedrawLater();
  void Focus(HWND control);

  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload();
  void cmdSearch_Click();
  void cmdDirectory_Click();
  void StatusBar1_PanelClick(int panel);
  bool ValidateInput();
  void KeepFoundLines(FileResults& file);
  void OnSearchDone();
  void FillStep();
  bool NextSliceFits() const;
  void OnSliceLoaded(HWND box, std::size_t filled);
  void EndSearch(DisplayCut cut);
  void ShowSummary();
  void ShowProgress();
  void ShowStatus(const std::u16string& text);
  void ReportProblems(const std::vector<SearchProblem>& problems);
  void rtbSearchResult_SelChange(HWND box, WPARAM line);
  void OnLineCounted(std::uint64_t request);
  void rtbSearchResult_DblClick(HWND box, WPARAM line);

  basVekSearch& module_;
  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  Controls controls_;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueFont font_;           // ＭＳ ゴシック 9 pt
  UniqueFont directoryFont_;  // ＭＳ 明朝 6 pt for "..."
  HWND lastFocus_ = nullptr;
  bool quitOnDestroy_ = false;
  std::u16string separator_;  // the locale's thousands separator
  WinFileSystem ownFileSystem_;
  FileSystem& fileSystem_;
  MemoryBudget memory_;
  std::optional<LineCounter> lineCounter_;  // for the caret's line
  std::uint64_t caretRequest_ = 0;          // the count the panel waits for, 0 for none
  std::u16string caretPath_;
  RECT boxPlace_ = {};  // where the result box goes; a busy box may not be there yet
  int boxesInWindow_ = 0;

  Stage stage_ = Stage::Idle;
  bool closing_ = false;
  bool closeAfterSearch_ = false;
  std::chrono::steady_clock::time_point started_;
  std::optional<SearchProgress> progress_;
  // Written by the search thread, read by the window once it has joined that thread.
  SearchOutcome outcome_;
  // The result lines of the last search, with its keywords, as its box shows them.
  std::shared_ptr<const BoxContent> content_;
  std::exception_ptr failure_;
  KeywordList keywords_;
  // The search thread's result lines and where they come from; the result lines move into
  // the box's content once the search is done. Past half the memory budget the lines are
  // only counted.
  ResultList found_;
  ResultSources sources_;
  std::uint64_t hits_ = 0;
  std::uint64_t keptUnits_ = 0;      // code units of the lines kept
  std::uint64_t memoryChecked_ = 0;  // keptUnits_ when memory was last looked at
  bool keepLines_ = true;
  std::u16string searchSummary_;   // what the search did
  std::u16string summary_;         // and what the box shows: shown when the caret is on no line
  std::size_t filled_ = 0;         // result lines in the box so far
  std::uint64_t filledUnits_ = 0;  // their code units, paragraph marks included
  std::uint64_t memoryBeforeFill_ = 0;
  std::size_t sliceLines_ = 0;  // result lines in the next slice
  DisplayCut cut_ = DisplayCut::None;
  std::unique_ptr<ResultBoxThread> box_;      // controls_.rtbSearchResult
  std::unique_ptr<ResultBoxThread> nextBox_;  // made while a search runs, for its result
  std::jthread worker_;                       // last: stopped and joined before the rest goes
};

}  // namespace vek::ui
