#include "file_system.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <new>
#include <span>

#include "messages.h"
#include "text_convert.h"

#ifndef _WIN32
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vek {

namespace fs = std::filesystem;

char* ReadBuffer::Reserve(std::size_t size, std::size_t keep) {
  if (size <= capacity_) return data_.get();
  // Geometric growth: a line far longer than a slice costs few copies.
  const std::size_t capacity = std::max(size, capacity_ + capacity_ / 2);
  std::unique_ptr<char, Free> data(
      static_cast<char*>(::operator new[](capacity, std::align_val_t{kAlignment})));
  if (keep > 0) std::memcpy(data.get(), data_.get(), std::min(keep, capacity_));
  data_ = std::move(data);
  capacity_ = capacity;
  return data_.get();
}

void ReadBuffer::Trim(std::size_t limit) {
  if (capacity_ <= limit) return;
  data_.reset();
  capacity_ = 0;
  Reserve(limit, 0);
}

void ReadBuffer::Free::operator()(char* p) const {
  ::operator delete[](p, std::align_val_t{kAlignment});
}

namespace {

class FileErrors final : public std::error_category {
 public:
  const char* name() const noexcept override { return "vek.file"; }
  // UTF-8: the front ends convert it, as they do the text of messages.h.
  std::string message(int) const override { return Utf16ToUtf8(kMsgNotOnThisComputer); }
};

}  // namespace

const std::error_category& FileErrorCategory() {
  static const FileErrors category;
  return category;
}

std::error_code NotOnThisComputer() {
  return {1, FileErrorCategory()};
}

namespace {

// Simple upper-case mapping of the scripts that file names commonly use; other characters
// compare as themselves.
char16_t ToUpperForListing(char16_t c) {
  if (c < 0x80) return (c >= u'a' && c <= u'z') ? c - 0x20 : c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
    return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return c & ~char16_t{1};
  if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? c : c - 1;
  return c;
}

void UpperCaseForListing(std::span<char16_t> text) {
  for (char16_t& c : text) c = ToUpperForListing(c);
}

// The first four code units of an upper-cased name, packed so that the numbers compare as the
// names' starts do, an end before any code unit. Names in a folder mostly differ there.
std::uint64_t ListingHead(std::u16string_view upper) {
  std::uint64_t head = 0;
  for (std::size_t i = 0; i < 4; ++i) head = head << 16 | (i < upper.size() ? upper[i] : 0u);
  return head;
}

}  // namespace

// Listing order from keys made once per entry: each entry's name upper-cased (all in one
// string) and its head. The sort orders small records, comparing the heads and, where those are
// equal, the upper-cased names; then it moves every entry once to its place. Names that differ
// only in case are rare: their texts are made again for the tie.
void SortForListing(std::deque<FolderEntry>& entries) {
  struct Item {
    std::uint64_t head;
    std::size_t index;
    std::size_t upperStart;
    std::size_t upperSize;
  };
  std::u16string uppers;
  std::vector<Item> order;
  order.reserve(entries.size());
  for (const FolderEntry& entry : entries) {
    const std::size_t start = uppers.size();
    AppendPathText(entry.name(), uppers);
    UpperCaseForListing(std::span(uppers).subspan(start));
    order.push_back({0, order.size(), start, uppers.size() - start});
  }
  const auto upper = [&uppers](const Item& item) {
    return std::u16string_view(uppers).substr(item.upperStart, item.upperSize);
  };
  const auto text = [&entries](const Item& item) {
    std::u16string name;
    AppendPathText(entries[item.index].name(), name);
    return name;
  };
  for (Item& item : order) item.head = ListingHead(upper(item));
  std::sort(order.begin(), order.end(), [&upper, &text](const Item& a, const Item& b) {
    if (a.head != b.head) return a.head < b.head;
    const std::u16string_view x = upper(a), y = upper(b);
    return x != y ? x < y : ListingOrderLess(text(a), text(b));
  });
  // Each cycle of the permutation: the entry at its start is held while the others move up.
  for (std::size_t start = 0; start < order.size(); ++start) {
    if (order[start].index == start) continue;
    FolderEntry held = std::move(entries[start]);
    std::size_t at = start;
    for (std::size_t from = order[at].index; from != start; at = from, from = order[at].index) {
      entries[at] = std::move(entries[from]);
      order[at].index = at;
    }
    entries[at] = std::move(held);
    order[at].index = at;
  }
}

// Upper-cased, a name maps unit for unit, so a name that is a prefix of another stays one and
// names equal so have the same length.
bool ListingOrderLess(std::u16string_view a, std::u16string_view b) {
  std::u16string upper;
  upper.reserve(a.size() + b.size());
  upper.append(a).append(b);
  UpperCaseForListing(upper);
  const std::u16string_view x = std::u16string_view(upper).substr(0, a.size());
  const std::u16string_view y = std::u16string_view(upper).substr(a.size());
  return x != y ? x < y : a < b;
}

#ifdef _WIN32
namespace {
// Each read asks for no more than the caller's room, a slice, so the 32-bit counts of the
// system's reads are never a limit.
class StreamReader final : public FileReader {
 public:
  explicit StreamReader(std::ifstream in) : in_(std::move(in)) {}
  std::error_code Read(std::span<char> room, std::size_t& got) override {
    const std::streamsize n = in_.rdbuf()->sgetn(room.data(), std::streamsize(room.size()));
    got = n > 0 ? static_cast<std::size_t>(n) : 0;
    return {};
  }

 private:
  std::ifstream in_;
};
}  // namespace

std::error_code StdFileSystem::ListFolder(const fs::path& folder, FolderListing& listing) {
  listing.files.clear();
  listing.subfolders.clear();
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    // The listing itself tells the type of most entries; only links need a look at their
    // target.
    std::error_code typeError;
    const bool link = entry.is_symlink(typeError);
    const bool folder = entry.is_directory(typeError);
    // A broken link is listed as a file so that reading it reports the problem.
    const bool file = !folder && (entry.is_regular_file(typeError) ||
                                  (link && !fs::exists(entry.status(typeError))));
    const NativePath& path = entry.path().native();
    FolderEntry item{path, path.size() - entry.path().filename().native().size()};
    if (folder) {
      listing.subfolders.push_back(std::move(item));
    } else if (file) {
      listing.files.push_back(std::move(item));
    }
  }
  SortForListing(listing.files);
  SortForListing(listing.subfolders);
  return ec;
}

std::error_code StdFileSystem::Open(const NativePath& file, std::unique_ptr<FileReader>& reader) {
  std::error_code ec;
  const fs::path path(file);
  if (fs::is_directory(path, ec)) return std::make_error_code(std::errc::is_a_directory);
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::error_code(errno ? errno : EACCES, std::generic_category());
  reader = std::make_unique<StreamReader>(std::move(in));
  return {};
}

// The standard library tells no file ids here; the Windows front ends' file system does.
std::optional<FolderIdentity> StdFileSystem::Identity(const fs::path&) {
  return std::nullopt;
}
#else
namespace {
std::error_code LastError() {
  return {errno, std::generic_category()};
}

class DescriptorReader final : public FileReader {
 public:
  explicit DescriptorReader(int fd) : fd_(fd) {}
  ~DescriptorReader() override {
    if (fd_ >= 0) ::close(fd_);
  }
  DescriptorReader(const DescriptorReader&) = delete;
  DescriptorReader& operator=(const DescriptorReader&) = delete;

  std::error_code Read(std::span<char> room, std::size_t& got) override {
    got = 0;
    if (atEnd_) return {};
    for (;;) {
      const ssize_t n = ::read(fd_, room.data(), room.size());
      if (n >= 0) {
        got = static_cast<std::size_t>(n);
        done_ += got;
        // A short read ends a file once it has given the size it had at the open: the call
        // that would only say so is saved, one per file. A file whose size says less (0 for a
        // /proc file, which reads a page at a time) is read until a read gives nothing.
        atEnd_ = got < room.size() && size_ != 0 && done_ >= size_;
        return {};
      }
      if (errno != EINTR) return LastError();
    }
  }
  int fd() const { return fd_; }
  void SetSize(std::uint64_t size) { size_ = size; }

 private:
  int fd_;
  std::uint64_t size_ = 0;  // at the open
  std::uint64_t done_ = 0;  // read so far
  bool atEnd_ = false;
};
}  // namespace

// The listing's own entry types save a look at each file; only links (and file systems
// that give no type) need one.
std::error_code StdFileSystem::ListFolder(const fs::path& folder, FolderListing& listing) {
  listing.files.clear();
  listing.subfolders.clear();
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) return LastError();
  NativePath prefix = folder.native();
  if (prefix.empty() || prefix.back() != '/') prefix += '/';
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (!entry) break;
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool isFolder = entry->d_type == DT_DIR;
    bool isFile = entry->d_type == DT_REG;
    bool link = entry->d_type == DT_LNK;
    if (link || entry->d_type == DT_UNKNOWN) {
      struct stat target {};
      if (::fstatat(::dirfd(dir.get()), entry->d_name, &target, 0) == 0) {
        isFolder = S_ISDIR(target.st_mode);
        isFile = S_ISREG(target.st_mode);
        // Without a type from the listing, whether a folder is a link takes a look of its own.
        if (isFolder && !link)
          link = ::fstatat(::dirfd(dir.get()), entry->d_name, &target, AT_SYMLINK_NOFOLLOW) == 0 &&
                 S_ISLNK(target.st_mode);
      } else {
        // A broken link is listed as a file so that reading it reports the problem.
        isFile = entry->d_type == DT_LNK ||
                 (::fstatat(::dirfd(dir.get()), entry->d_name, &target, AT_SYMLINK_NOFOLLOW) == 0 &&
                  S_ISLNK(target.st_mode));
      }
    }
    if (!isFolder && !isFile) continue;
    // Made at its full size at once: prefix + name would copy the prefix, then grow the copy.
    NativePath path;
    path.reserve(prefix.size() + name.size());
    path.append(prefix).append(name);
    (isFolder ? listing.subfolders : listing.files)
        .push_back({std::move(path), prefix.size(), link});
  }
  const std::error_code error = errno != 0 ? LastError() : std::error_code();
  SortForListing(listing.files);
  SortForListing(listing.subfolders);
  return error;
}

std::error_code StdFileSystem::Open(const NativePath& file, std::unique_ptr<FileReader>& reader) {
  // Non-blocking so that a pipe that appeared under a listed name cannot hang the search.
  const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return LastError();
  auto opened = std::make_unique<DescriptorReader>(fd);
  struct stat st {};
  if (::fstat(opened->fd(), &st) != 0) return LastError();
  if (S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::invalid_argument);
  opened->SetSize(static_cast<std::uint64_t>(st.st_size));
  reader = std::move(opened);
  return {};
}

std::optional<FolderIdentity> StdFileSystem::Identity(const fs::path& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return FolderIdentity{static_cast<std::uint64_t>(st.st_dev),
                        {static_cast<std::uint64_t>(st.st_ino), 0}};
}
#endif

bool StdFileSystem::IsFolder(const fs::path& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(path, ec);
}

}  // namespace vek
