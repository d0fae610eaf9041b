// The search reaches the file system only through this interface, so that tests can feed
// it faults and the front ends share one implementation.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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

// A byte buffer reused across files. Unlike std::string it does not zero what it grows by:
// every file is read straight over it.
class ByteBuffer {
 public:
  // Makes room for `size` bytes and gives their start. The first `keep` bytes survive; the
  // rest is unspecified.
  char* Prepare(std::size_t size, std::size_t keep = 0);
  // Keeps the first `size` bytes (at most the prepared size), for a short read.
  void Truncate(std::size_t size) { size_ = size < size_ ? size : size_; }
  void Assign(std::string_view bytes);
  std::string_view View() const { return {data_.get(), size_}; }

 private:
  std::unique_ptr<char[]> data_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

// The search may call ReadFile from several threads at once, also while it lists folders.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Lists one folder. Files are entries that can be read as files (links followed, broken
  // links included so that they are reported when read); devices, pipes and sockets are left
  // out because reading them could block.
  virtual std::error_code ListFolder(const std::filesystem::path& folder,
                                     FolderListing& listing) = 0;

  // Replaces `content` with the whole file.
  virtual std::error_code ReadFile(const std::filesystem::path& file, ByteBuffer& content) = 0;

  virtual std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) = 0;

  virtual bool IsFolder(const std::filesystem::path& path) = 0;
};

// Listing order: names compared case-insensitively (ordinal, upper-cased), as NTFS lists
// them; names that differ only in case keep the ordinal order of the names themselves.
bool ListingOrderLess(std::u16string_view a, std::u16string_view b);

// The real file system, through std::filesystem.
class StdFileSystem : public FileSystem {
 public:
  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override;
  std::error_code ReadFile(const std::filesystem::path& file, ByteBuffer& content) override;
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override;
  bool IsFolder(const std::filesystem::path& path) override;
};

}  // namespace vek
