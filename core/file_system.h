// The search reaches the file system only through this interface, so that tests can feed
// it faults and the front ends share one implementation.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace vek {

// A path as the platform spells it. Unlike std::filesystem::path it keeps no list of its
// components, which costs some fifty bytes a component: the walk holds one per data file.
using NativePath = std::filesystem::path::string_type;
using NativeView = std::basic_string_view<NativePath::value_type>;

// The name is the end of the path rather than a string of its own: an allocation fewer for
// every file listed. The flags share the word of the name's start: the walk holds an entry per
// data file.
struct FolderEntry {
  NativePath path;
  std::size_t nameStart : 62 = 0;  // where the last component begins in the path
  // A link (a symbolic link, a junction): a folder reached through it may lead back up the tree.
  std::size_t link : 1 = 0;
  // A file whose content is not on this computer (a placeholder of a cloud or an archive):
  // opening it would fetch it.
  std::size_t offline : 1 = 0;
  NativeView name() const { return NativeView(path).substr(nameStart); }
};

// Deques: a folder of many files costs no more than its entries, never twice as much while
// a vector grows.
struct FolderListing {
  std::deque<FolderEntry> files;       // in listing order
  std::deque<FolderEntry> subfolders;  // in listing order
};

// Identifies a folder independently of the path it was reached by: the volume (device) and
// the file's id on it (an inode, a 64-bit file index or a 128-bit file id). Some file systems
// give no real ids (network servers that give 0 for every folder): a file id of all zeros is
// no identity, whatever the volume.
struct FolderIdentity {
  std::uint64_t volume = 0;
  std::array<std::uint64_t, 2> file{};
  bool operator==(const FolderIdentity&) const = default;
  bool Known() const { return file[0] != 0 || file[1] != 0; }
};

// The problem of a data file that the walk leaves alone because its content is elsewhere.
std::error_code NotOnThisComputer();
const std::error_category& FileErrorCategory();

// A data file opened for reading, front to back. Closed when destroyed.
class FileReader {
 public:
  virtual ~FileReader() = default;

  // Reads the next bytes into `room`, as many as one call of the platform gives: `got` is 0
  // only at the end of the file, and fewer than `room` holds is not the end.
  virtual std::error_code Read(std::span<char> room, std::size_t& got) = 0;
};

// The search may call every operation from several threads at once (each reader on one
// thread at a time): folders are listed ahead of the walk while files are read.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Lists one folder. Files are entries that can be read as files (links followed, broken
  // links included so that they are reported when read); devices, pipes and sockets are left
  // out because reading them could block.
  virtual std::error_code ListFolder(const std::filesystem::path& folder,
                                     FolderListing& listing) = 0;

  // Opens a file for reading; a folder, device or pipe is refused. The path is taken as the walk
  // made it: parsing a std::filesystem::path for every file would cost more than listing it.
  virtual std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) = 0;

  virtual std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) = 0;

  virtual bool IsFolder(const std::filesystem::path& path) = 0;
};

// A byte buffer reused across reads. It starts at a cache-line boundary: the kernel's copy
// from the page cache into a misaligned destination runs at less than half the speed. Unlike
// std::string it does not zero what it grows by.
class ReadBuffer {
 public:
  static constexpr std::size_t kAlignment = 64;

  // Room for at least `size` bytes; the first `keep` bytes survive a reallocation. Throws
  // std::bad_alloc when there is no memory for it.
  char* Reserve(std::size_t size, std::size_t keep);
  // Back to room for `limit` bytes when more are held, with nothing kept. Throws
  // std::bad_alloc when there is no memory for them (the buffer is then empty).
  void Trim(std::size_t limit);
  char* data() const { return data_.get(); }
  std::size_t capacity() const { return capacity_; }

 private:
  struct Free {
    void operator()(char* p) const;
  };
  std::unique_ptr<char, Free> data_;
  std::size_t capacity_ = 0;
};

// Listing order: names compared case-insensitively (ordinal, upper-cased), as NTFS lists
// them; names that differ only in case keep the ordinal order of the names themselves.
bool ListingOrderLess(std::u16string_view a, std::u16string_view b);
// Puts a listing's entries in listing order.
void SortForListing(std::deque<FolderEntry>& entries);

// The real file system, through std::filesystem and the platform's file calls.
class StdFileSystem : public FileSystem {
 public:
  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override;
  std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override;
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override;
  bool IsFolder(const std::filesystem::path& path) override;
};

}  // namespace vek
