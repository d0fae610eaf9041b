#include "file_system.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "text_convert.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vek {

namespace fs = std::filesystem;

char* ByteBuffer::Prepare(std::size_t size, std::size_t keep) {
  if (size > capacity_) {
    // Grow geometrically so that a tree of ever larger files costs few reallocations.
    const std::size_t capacity = std::max(size, capacity_ + capacity_ / 2);
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    keep = std::min({keep, size_, size});
    if (keep > 0) std::memcpy(data.get(), data_.get(), keep);
    data_ = std::move(data);
    capacity_ = capacity;
  }
  size_ = size;
  return data_.get();
}

void ByteBuffer::Assign(std::string_view bytes) {
  char* data = Prepare(bytes.size());
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
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

void SortForListing(std::vector<FolderEntry>& entries) {
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) {
    return ListingOrderLess(a.name, b.name);
  });
}

}  // namespace

bool ListingOrderLess(std::u16string_view a, std::u16string_view b) {
  const auto upper = [](char16_t x, char16_t y) {
    return ToUpperForListing(x) < ToUpperForListing(y);
  };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), upper)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), upper)) return false;
  return a < b;
}

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
    FolderEntry item{entry.path(), FileNameText(entry.path())};
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

#ifdef _WIN32
std::error_code StdFileSystem::ReadFile(const fs::path& file, ByteBuffer& content) {
  std::error_code ec;
  if (fs::is_directory(file, ec)) return std::make_error_code(std::errc::is_a_directory);
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::error_code(errno ? errno : EACCES, std::generic_category());
  const auto end = in.rdbuf()->pubseekoff(0, std::ios::end, std::ios::in);
  if (end < 0) return std::make_error_code(std::errc::io_error);
  in.rdbuf()->pubseekpos(0, std::ios::in);
  const auto size = static_cast<std::size_t>(end);
  char* data = content.Prepare(size);
  const auto got = in.rdbuf()->sgetn(data, static_cast<std::streamsize>(size));
  content.Truncate(static_cast<std::size_t>(got < 0 ? 0 : got));
  return {};
}

std::optional<FolderIdentity> StdFileSystem::Identity(const fs::path& folder) {
  std::error_code ec;
  fs::path resolved = fs::canonical(folder, ec);
  if (ec) return std::nullopt;
  return Utf16ToUtf8(PathText(resolved));
}
#else
namespace {
std::error_code LastError() {
  return {errno, std::generic_category()};
}

struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};
}  // namespace

std::error_code StdFileSystem::ReadFile(const fs::path& file, ByteBuffer& content) {
  // Non-blocking so that a pipe that appeared under a listed name cannot hang the search.
  Descriptor d{::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC)};
  if (d.fd < 0) return LastError();
  struct stat st {};
  if (::fstat(d.fd, &st) != 0) return LastError();
  if (S_ISDIR(st.st_mode)) return std::make_error_code(std::errc::is_a_directory);
  if (!S_ISREG(st.st_mode)) return std::make_error_code(std::errc::invalid_argument);

  // Ask for one byte more than the size: an unchanged file is then read, end included, in
  // one call (a short read of a regular file is its end); one that grew is read on.
  std::size_t room = static_cast<std::size_t>(st.st_size) + 1;
  std::size_t total = 0;
  char* data = content.Prepare(room);
  for (;;) {
    const ssize_t got = ::read(d.fd, data + total, room - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      return LastError();
    }
    total += static_cast<std::size_t>(got);
    if (total < room) break;
    room *= 2;
    data = content.Prepare(room, total);
  }
  content.Truncate(total);
  return {};
}

std::optional<FolderIdentity> StdFileSystem::Identity(const fs::path& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return std::nullopt;
  return std::to_string(st.st_dev) + ':' + std::to_string(st.st_ino);
}
#endif

bool StdFileSystem::IsFolder(const fs::path& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(path, ec);
}

}  // namespace vek
