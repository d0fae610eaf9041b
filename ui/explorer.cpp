#include "explorer.h"

#include <shellapi.h>

namespace vek::ui {

std::wstring ExplorerSelectParameters(const std::filesystem::path& file) {
  // Quoted: a path may hold spaces and commas, which the browser would take apart.
  return L"/select,\"" + file.wstring() + L"\"";
}

void ShowInExplorer(HWND owner, const std::filesystem::path& file) {
  ::ShellExecuteW(owner, nullptr, L"explorer.exe", ExplorerSelectParameters(file).c_str(), nullptr,
                  SW_SHOWNORMAL);
}

}  // namespace vek::ui
