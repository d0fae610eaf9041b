// What the GUI tests share: data trees on disk, a watcher that reads and closes the dialogs the
// window opens, the real window in this process, and readers of what a user sees.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bas_vek_search.h"
#include "frm_vek_search.h"

namespace vek::ui::test {

// A folder tree under %TEMP% that is removed again. Files are written in CP932.
class TempTree {
 public:
  TempTree();
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::wstring Text() const { return root_.wstring(); }
  std::filesystem::path Folder(std::wstring_view relative) const;
  // Lines are joined with CR LF.
  std::filesystem::path File(std::wstring_view relative, const std::vector<std::wstring>& lines);

 private:
  std::filesystem::path root_;
};

// One dialog as the watcher found it.
struct SeenDialog {
  std::wstring title;
  std::wstring text;                      // the message box's text
  std::vector<std::wstring> staticTexts;  // every static control's text
  HICON icon = nullptr;
  bool hasOk = false;
  bool hasCancel = false;
  bool hasYes = false;
  bool hasNo = false;
  std::wstring countLabelAtTheTime;  // filled when a count label was given
};

// Watches the calling (window) thread for dialogs from a second thread: each one is read and
// then answered with `answer`, so that the modal call that opened it returns. With `ready`,
// a dialog is answered only once it shows what a user would wait for.
class DialogWatcher {
 public:
  explicit DialogWatcher(int answer = IDOK, HWND countLabel = nullptr,
                         std::function<bool(HWND)> ready = {});
  ~DialogWatcher();
  DialogWatcher(const DialogWatcher&) = delete;
  DialogWatcher& operator=(const DialogWatcher&) = delete;

  std::vector<SeenDialog> Seen() const;

 private:
  void Watch(std::stop_token stop);

  const DWORD uiThread_;
  const int answer_;
  const HWND countLabel_;
  const std::function<bool(HWND)> ready_;
  mutable std::mutex mutex_;
  std::vector<SeenDialog> seen_;
  std::vector<HWND> answered_;
  std::jthread thread_;
};

// Watches the calling (window) thread for popup menus from a second thread: each one is read
// and then answered with the access key `pick` (Esc when it is 0).
class MenuWatcher {
 public:
  struct Item {
    std::wstring text;  // empty for a separator
    bool enabled = false;
    bool operator==(const Item&) const = default;
  };
  explicit MenuWatcher(wchar_t pick);
  ~MenuWatcher();
  MenuWatcher(const MenuWatcher&) = delete;
  MenuWatcher& operator=(const MenuWatcher&) = delete;

  std::vector<std::vector<Item>> Seen() const;

 private:
  void Watch(std::stop_token stop);

  const DWORD uiThread_;
  const wchar_t pick_;
  mutable std::mutex mutex_;
  std::vector<std::vector<Item>> seen_;
  std::vector<HWND> answered_;
  std::jthread thread_;
};

// Runs an action from inside the running search: posted now, it is dispatched by the first
// event pump of the folder walk (or by the next message loop).
class PumpedAction {
 public:
  PumpedAction();
  ~PumpedAction();
  PumpedAction(const PumpedAction&) = delete;
  PumpedAction& operator=(const PumpedAction&) = delete;

  void Post(std::function<void()> action);
  bool Ran() const { return ran_; }

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND window_ = nullptr;
  std::function<void()> action_;
  bool ran_ = false;
};

// Handles the messages waiting for this thread.
void Pump();

void SetText(HWND control, std::wstring_view text);
std::wstring Text(HWND control);
void Click(HWND button);
// A key pressed and released on the focused control, Shift held if asked, handled as the
// program's own message loop handles it (dialog keys included), with what follows from it.
void PressKey(HWND window, WPARAM key, bool shift = false);
// A left click at the middle of a status-bar panel (0-based), sent or posted.
void ClickPanel(HWND statusBar, int part, bool post);

// The result box's text as its characters (paragraphs end in "\r").
std::wstring RichText(HWND box);
// One letter per character of RichText: 'R' red, '.' automatic colour, '?' anything else.
std::string Colours(HWND box);
// What the colours must be: 'R' for every character inside any occurrence of a keyword.
std::string ExpectedColours(std::wstring_view text, const std::vector<std::wstring>& keywords);

// A control's rectangle in its parent's client coordinates.
RECT ClientRect(HWND control);
RECT OuterRect(HWND window);
// What the window's surface holds where the control is, one 0x00RRGGBB value per pixel.
std::vector<std::uint32_t> ShownPixels(HWND control);

// The real window, open in this process.
class WindowTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  const frmVekSearch::Controls& c() const { return form_->controls(); }
  HWND hwnd() const { return form_->hwnd(); }
  // Types the inputs and clicks 検索.
  void Search(std::wstring_view keywords, std::wstring_view folder, bool subFolders);
  std::vector<std::wstring> ResultLines() const;

  basVekSearch module_;
  std::optional<frmVekSearch> form_;
};

}  // namespace vek::ui::test
