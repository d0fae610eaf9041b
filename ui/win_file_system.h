// The file system as the search sees it on Windows: the portable one, with folders told apart
// by what they are rather than by the path that reached them, and files read by the system's
// own calls.
#pragma once

#include "file_system.h"

namespace vek::ui {

class WinFileSystem final : public StdFileSystem {
 public:
  // Volume serial number and file index: equal for a folder however it was reached, through
  // junctions and symbolic links included, which the resolved path is not on every system.
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override;

  // Shared for reading, writing and deletion, so that a file another program holds open is
  // still read; each ReadFile asks for at most the room given, well within its 32-bit count.
  std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override;
};

}  // namespace vek::ui
