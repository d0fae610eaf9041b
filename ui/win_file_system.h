// The file system as the search sees it on Windows: the portable one, with folders told apart
// by what they are rather than by the path that reached them.
#pragma once

#include "file_system.h"

namespace vek::ui {

class WinFileSystem final : public StdFileSystem {
 public:
  // Volume serial number and file index: equal for a folder however it was reached, through
  // junctions and symbolic links included, which the resolved path is not on every system.
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override;
};

}  // namespace vek::ui
