// frmVekSearch: the program's only window, its controls and their event handlers.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <vector>

#include "rich_edit.h"
#include "search_core.h"
#include "win32_handles.h"

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

  // Creates the window, still hidden, and runs Form_Load.
  frmVekSearch(HINSTANCE instance, basVekSearch& module);
  ~frmVekSearch();
  frmVekSearch(const frmVekSearch&) = delete;
  frmVekSearch& operator=(const frmVekSearch&) = delete;

  void Show(int showCommand);
  // The program ends its message loop when its window is gone; a host that owns several
  // windows (a test) does not.
  void QuitOnDestroy(bool quit) { quitOnDestroy_ = quit; }

  HWND hwnd() const { return hwnd_; }
  const Controls& controls() const { return controls_; }
  bool Searching() const { return searching_; }

 private:
  class SearchScope;

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
  void ApplyDpi(UINT dpi);
  int Pixels(double twips) const;

  void Form_Load();
  void Form_Resize();
  void Form_QueryUnload();
  void cmdSearch_Click();
  void cmdDirectory_Click();
  void StatusBar1_PanelClick(int panel);
  bool ValidateInput();
  void ShowSearchResult(const ResultList& results, const KeywordList& keywords);
  void ReportProblems(const std::vector<SearchProblem>& problems);

  basVekSearch& module_;
  RichEditLibrary richEdit_;  // outlives the result box
  HINSTANCE instance_;
  HWND hwnd_ = nullptr;
  Controls controls_;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueFont font_;           // ＭＳ ゴシック 9 pt
  UniqueFont directoryFont_;  // ＭＳ 明朝 6 pt for "..."
  HWND lastFocus_ = nullptr;
  bool quitOnDestroy_ = false;
  bool searching_ = false;
  bool closeAfterSearch_ = false;
};

}  // namespace vek::ui
