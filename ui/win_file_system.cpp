#include "win_file_system.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "extended_path.h"
#include "win32_handles.h"

namespace vek::ui {
namespace {

namespace fs = std::filesystem;

#ifndef FILE_ATTRIBUTE_RECALL_ON_OPEN
#define FILE_ATTRIBUTE_RECALL_ON_OPEN 0x00040000
#endif
#ifndef FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS
#define FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS 0x00400000
#endif

// A file whose content a cloud or an archive keeps: reading it, or even opening it, fetches it.
constexpr DWORD kNotOnThisComputer =
    FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_RECALL_ON_OPEN | FILE_ATTRIBUTE_RECALL_ON_DATA_ACCESS;

std::error_code Win32Error(DWORD code) {
  return {static_cast<int>(code), std::system_category()};
}

std::error_code LastError() {
  return Win32Error(::GetLastError());
}

std::wstring CurrentFolder() {
  std::wstring folder(::GetCurrentDirectoryW(0, nullptr), L'\0');
  folder.resize(::GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), folder.data()));
  return folder;
}

// The spelling of `path` for the system's calls: nearly always the path itself, without a copy.
class SystemPathText {
 public:
  explicit SystemPathText(const std::wstring& path) : text_(path.c_str()) {
    if (!PlainPathWorks(path)) {
      own_ = SystemPath(path, CurrentFolder());
      text_ = own_.c_str();
    }
  }
  SystemPathText(const SystemPathText&) = delete;
  SystemPathText& operator=(const SystemPathText&) = delete;
  const wchar_t* c_str() const { return text_; }

 private:
  const wchar_t* text_;
  std::wstring own_;
};

// A folder or file opened to ask about it, links followed; backup semantics is the only way to
// open a folder, and reading its attributes needs no other right.
UniqueHandle OpenForQuery(const std::wstring& path) {
  UniqueHandle handle(::CreateFileW(SystemPathText(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (handle.get() == INVALID_HANDLE_VALUE) handle.release();
  return handle;
}

// The attributes of what `path` names, links followed.
std::optional<std::uint32_t> AttributesOf(const std::wstring& path) {
  const UniqueHandle handle = OpenForQuery(path);
  FILE_BASIC_INFO info = {};
  if (!handle || !::GetFileInformationByHandleEx(handle.get(), FileBasicInfo, &info, sizeof(info)))
    return std::nullopt;
  return info.FileAttributes;
}

struct FindCloser {
  void operator()(HANDLE find) const noexcept { ::FindClose(find); }
};

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

std::error_code WinFileSystem::ListFolder(const fs::path& folder, FolderListing& listing) {
  listing.files.clear();
  listing.subfolders.clear();
  std::wstring prefix = ChildPath(folder.native(), L"*");
  WIN32_FIND_DATAW data;
  const HANDLE first =
      ::FindFirstFileExW(SystemPathText(prefix).c_str(), FindExInfoBasic, &data,
                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    // A drive's root has no "." entry: when it is empty there is nothing to find.
    if (error == ERROR_FILE_NOT_FOUND && AttributesOf(folder.native())) return {};
    return Win32Error(error);
  }
  const std::unique_ptr<void, FindCloser> find(first);
  prefix.pop_back();
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    // Made at its full size at once: prefix + name would copy the prefix, then grow the copy.
    std::wstring path;
    path.reserve(prefix.size() + name.size());
    path.append(prefix).append(name);
    const DWORD attributes = data.dwFileAttributes;
    bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    // A symbolic link, a junction or a mount point. A tag the listing does not tell (0) is
    // taken for one too: a loop is worse to enter than a folder is to look at twice.
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
                      (data.dwReserved0 == 0 || IsReparseTagNameSurrogate(data.dwReserved0));
    if (link) {
      // A broken link is listed as a file so that reading it reports the problem.
      const std::optional<std::uint32_t> target = TargetAttributes(path);
      isFolder = target && (*target & FILE_ATTRIBUTE_DIRECTORY) != 0;
    }
    FolderEntry entry{std::move(path), prefix.size(), link,
                      !isFolder && (attributes & kNotOnThisComputer) != 0};
    (isFolder ? listing.subfolders : listing.files).push_back(std::move(entry));
  } while (::FindNextFileW(find.get(), &data));
  const DWORD end = ::GetLastError();
  SortForListing(listing.files);
  SortForListing(listing.subfolders);
  return end == ERROR_NO_MORE_FILES ? std::error_code() : Win32Error(end);
}

std::optional<std::uint32_t> WinFileSystem::TargetAttributes(const std::wstring& path) {
  return AttributesOf(path);
}

std::error_code WinFileSystem::Open(const NativePath& file, std::unique_ptr<FileReader>& reader) {
  UniqueHandle handle(::CreateFileW(SystemPathText(file).c_str(), GENERIC_READ,
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

std::optional<FolderIdentity> WinFileSystem::Identity(const fs::path& folder) {
  const UniqueHandle handle = OpenForQuery(folder.native());
  if (!handle) return std::nullopt;
  FILE_ID_INFO id = {};
  if (::GetFileInformationByHandleEx(handle.get(), FileIdInfo, &id, sizeof(id))) {
    FolderIdentity identity{id.VolumeSerialNumber, {}};
    static_assert(sizeof(id.FileId.Identifier) == sizeof(identity.file));
    std::memcpy(identity.file.data(), id.FileId.Identifier, sizeof(identity.file));
    return identity;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  if (!::GetFileInformationByHandle(handle.get(), &info)) return std::nullopt;
  return FolderIdentity{info.dwVolumeSerialNumber,
                        {(std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow, 0}};
}

bool WinFileSystem::IsFolder(const fs::path& path) {
  if (path.empty()) return false;
  const std::optional<std::uint32_t> attributes = AttributesOf(path.native());
  return attributes && (*attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace vek::ui
