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

#include "result_box_thread.h"
#include "result_sources.h"
#include "search_core.h"
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

  // Creates the window, still hidden, and runs Form_Load. Searches read through `fileSystem`
  // when one is given (it must allow calls from several threads), the real one otherwise.
  frmVekSearch(HINSTANCE instance, basVekSearch& module, FileSystem* fileSystem = nullptr);
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
  // fills a slice at a time; the window answers all along.
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

  void CreateControls();
  void ReplaceResultBox();
  void ApplyDpi(UINT dpi);
  int Pixels(double twips) const;

  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload();
  void cmdSearch_Click();
  void cmdDirectory_Click();
  void StatusBar1_PanelClick(int panel);
  bool ValidateInput();
  void OnSearchDone();
  void FillStep();
  void OnSliceLoaded(std::size_t filled, std::chrono::microseconds took);
  void EndSearch();
  void ShowProgress();
  void ShowStatus(const std::u16string& text);
  void ReportProblems(const std::vector<SearchProblem>& problems);
  std::optional<ResultSources::Source> CaretLineSource() const;
  void rtbSearchResult_SelChange();
  void rtbSearchResult_DblClick();

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

  Stage stage_ = Stage::Idle;
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
  // the box's content once the search is done.
  ResultList found_;
  ResultSources sources_;
  std::u16string summary_;                    // shown again when the caret leaves the result lines
  std::size_t filled_ = 0;                    // result lines in the box so far
  std::size_t sliceLines_ = 0;                // result lines in the next slice
  std::unique_ptr<ResultBoxThread> box_;      // controls_.rtbSearchResult
  std::unique_ptr<ResultBoxThread> nextBox_;  // made while a search runs, for its result
  std::jthread worker_;                       // last: stopped and joined before the rest goes
};

}  // namespace vek::ui
