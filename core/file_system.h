// The search reaches the file system only through this interface, so that tests can feed
// it faults and the front ends share one implementation.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace vek {

struct FolderEntry {
  std::filesystem::path path;
  std::u16string name;  // the last component, as shown in result lines
};

struct FolderListing {
  std::vector<FolderEntry> files;       // in listing order
  std::vector<FolderEntry> subfolders;  // in listing order
};

// Identifies a folder independently of the path it was reached by (device and inode, or
// the resolved path where the platform offers nothing better).
using FolderIdentity = std::string;

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Lists one folder. Files are entries that can be read as files (links followed, broken
  // links included so that they are reported when read); devices, pipes and sockets are left
  // out because reading them could block.
  virtual std::error_code ListFolder(const std::filesystem::path& folder,
                                     FolderListing& listing) = 0;

  // Replaces `content` with the whole file. `content` is reused across calls, so its
  // capacity survives.
  virtual std::error_code ReadFile(const std::filesystem::path& file, std::string& content) = 0;

  virtual std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) = 0;

  virtual bool IsFolder(const std::filesystem::path& path) = 0;
};

// Listing order: names compared case-insensitively (ordinal, upper-cased), as NTFS lists
// them; names that differ only in case keep the ordinal order of the names themselves.
bool ListingOrderLess(std::u16string_view a, std::u16string_view b);

// The real file system, through std::filesystem.
class StdFileSystem final : public FileSystem {
 public:
  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override;
  std::error_code ReadFile(const std::filesystem::path& file, std::string& content) override;
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override;
  bool IsFolder(const std::filesystem::path& path) override;
};

}  // namespace vek
