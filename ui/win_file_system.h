// The file system as the search sees it on Windows, through the system's own calls: folders
// listed natively, told apart by what they are rather than by the path that reached them, and
// every path handed to the system in the form that works at its length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "file_system.h"

namespace vek::ui {

class WinFileSystem : public StdFileSystem {
 public:
  // Type, attributes and links come from the listing itself; an entry costs a look of its own
  // only when it is a link, whose target decides whether it is a folder.
  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override;

  // Shared for reading, writing and deletion, so that a file another program holds open is
  // still read; each ReadFile asks for at most the room given, well within its 32-bit count.
  std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override;

  // The volume's serial number and the 128-bit file id where the volume gives one (ReFS's
  // 64-bit index is not unique), the 64-bit file index otherwise: equal for a folder however it
  // was reached, through junctions and symbolic links included.
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override;

  bool IsFolder(const std::filesystem::path& path) override;

 protected:
  // The attributes of what a link in a listing leads to; none when it leads nowhere.
  virtual std::optional<std::uint32_t> TargetAttributes(const std::wstring& path);
};

}  // namespace vek::ui
