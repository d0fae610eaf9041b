#include "bas_vek_search.h"

#include <commctrl.h>

#include <filesystem>
#include <utility>

#include "event_pump.h"
#include "extended_path.h"
#include "frm_vek_search.h"
#include "message_box.h"
#include "messages.h"
#include "wide_text.h"
#include "win32_handles.h"

namespace vek::ui {

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  // Started through an extended-length path, the system gives it with its prefix, which the
  // folder box must not show.
  return std::filesystem::path(ShownPath(path)).parent_path().wstring();
}

int Main(HINSTANCE instance, int showCommand) {
  UniqueHandle instanceMutex(::CreateMutexW(nullptr, FALSE, kInstanceMutexName));
  if (instanceMutex && ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ShowMessage(nullptr, kKindExclamation, kStartupErrorTitle, kMsgMultipleStart);
    return 0;
  }

  const ComApartment com;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);

  basVekSearch module;
  module.instanceLock = std::move(instanceMutex);
  module.shared.gSearchPath = ToU16(ProgramFolder());
  // Geometry is kept in 96-DPI twips on every screen; the window scales it to the monitor.
  module.gTwipsPerPixelX = kTwipsPerPixel;
  module.gTwipsPerPixelY = kTwipsPerPixel;

  frmVekSearch form(instance, module);
  form.QuitOnDestroy(true);
  form.Show(showCommand);
  const int code = RunMessageLoop(form.hwnd());
  // The window is closed and the lock given up. A result box's thread may still be taking a
  // large result apart: the process ends without waiting for it, and the system frees it all
  // at once. Ended here and now, with no library's exit code run after the other threads were
  // stopped, possibly holding a lock it would need. Nothing is ever written, so nothing can be
  // lost.
  ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(code));
  return code;
}

}  // namespace vek::ui
