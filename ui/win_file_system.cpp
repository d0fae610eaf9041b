#include "win_file_system.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "win32_handles.h"

namespace vek::ui {
namespace {

std::error_code LastError() {
  return {static_cast<int>(::GetLastError()), std::system_category()};
}

class HandleReader final : public FileReader {
 public:
  explicit HandleReader(UniqueHandle handle) : handle_(std::move(handle)) {}

  std::error_code Read(std::span<char> room, std::size_t& got) override {
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(room.size(), 1u << 30));
    DWORD read = 0;
    if (!::ReadFile(handle_.get(), room.data(), ask, &read, nullptr)) return LastError();
    got = read;
    return {};
  }

 private:
  UniqueHandle handle_;
};

}  // namespace

std::error_code WinFileSystem::Open(const NativePath& file, std::unique_ptr<FileReader>& reader) {
  UniqueHandle handle(::CreateFileW(file.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) {
    handle.release();
    return LastError();
  }
  // A folder cannot be opened this way; a device, pipe or console could, and could block.
  if (::GetFileType(handle.get()) != FILE_TYPE_DISK)
    return std::make_error_code(std::errc::invalid_argument);
  reader = std::make_unique<HandleReader>(std::move(handle));
  return {};
}

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
