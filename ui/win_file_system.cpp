#include "win_file_system.h"

#include <windows.h>

#include <string>

namespace vek::ui {

std::optional<FolderIdentity> WinFileSystem::Identity(const std::filesystem::path& folder) {
  // Backup semantics: the only way to open a folder; no access rights beyond the attributes.
  const HANDLE handle = ::CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return StdFileSystem::Identity(folder);
  BY_HANDLE_FILE_INFORMATION info = {};
  const bool known = ::GetFileInformationByHandle(handle, &info) != 0;
  ::CloseHandle(handle);
  if (!known) return StdFileSystem::Identity(folder);
  return std::to_string(info.dwVolumeSerialNumber) + ':' +
         std::to_string((std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow);
}

}  // namespace vek::ui
