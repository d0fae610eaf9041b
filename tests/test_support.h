// Shared helpers of the tests: temporary folder trees and file systems that fail on cue.
#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "cp932.h"
#include "file_system.h"

namespace vek {
namespace fs = std::filesystem;
}  // namespace vek

namespace vek::test {

// A fresh folder under the system's temp folder, removed with everything in it.
class TempTree {
 public:
  TempTree() { fs::create_directories(root_); }
  ~TempTree() { fs::remove_all(root_, ignored_); }
  TempTree(const TempTree&) = delete;

  const fs::path& root() const { return root_; }
  fs::path operator/(const fs::path& path) const { return root_ / path; }
  // Writes raw bytes, creating the folders on the way.
  fs::path WriteBytes(const fs::path& relative, std::string_view bytes) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << bytes;
    return root_ / relative;
  }
  fs::path Write(const fs::path& relative, std::u16string_view text) {
    return WriteBytes(relative, EncodeCp932(text));
  }

 private:
  fs::path root_ =
      fs::temp_directory_path() / ("vek-test-" + std::to_string(std::random_device()()) +
                                   std::to_string(std::random_device()()));
  std::error_code ignored_;
};

inline std::string Slurp(const fs::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

// The real file system, except that chosen folders give their listing with an error or have
// no identity, chosen files cannot be opened, others hold a line too long for memory, others
// fail to read after their first bytes and others are listed as not on this computer. (The
// tests run as root in CI, where permissions would not stop anything.)
struct FaultyFileSystem final : StdFileSystem {
  std::set<fs::path> unlistable, anonymous, unreadable, endless, offline;
  std::map<fs::path, std::string> failing;  // what they read before an I/O error
  const std::error_code denied = std::make_error_code(std::errc::permission_denied);
  std::atomic<std::size_t> calls = 0;  // to ListFolder and Identity so far

  std::error_code ListFolder(const fs::path& folder, FolderListing& listing) override {
    ++calls;
    const std::error_code error = StdFileSystem::ListFolder(folder, listing);
    for (FolderEntry& file : listing.files) file.offline = offline.count(file.path) != 0;
    return unlistable.count(folder) ? denied : error;
  }
  std::optional<FolderIdentity> Identity(const fs::path& folder) override {
    ++calls;
    return anonymous.count(folder) ? std::nullopt : StdFileSystem::Identity(folder);
  }
  std::error_code Open(const NativePath& file, std::unique_ptr<FileReader>& reader) override {
    if (unreadable.count(file)) return denied;
    if (endless.count(file)) {
      reader = std::make_unique<Endless>();
      return {};
    }
    if (const auto cut = failing.find(file); cut != failing.end()) {
      reader = std::make_unique<Failing>(cut->second);
      return {};
    }
    return StdFileSystem::Open(file, reader);
  }
  struct Endless final : FileReader {
    std::error_code Read(std::span<char>, std::size_t&) override { throw std::bad_alloc(); }
  };
  struct Failing final : FileReader {
    explicit Failing(std::string_view left) : left(left) {}
    std::error_code Read(std::span<char> room, std::size_t& got) override {
      if (left.empty()) return std::make_error_code(std::errc::io_error);
      left.remove_prefix(got = left.copy(room.data(), room.size()));
      return {};
    }
    std::string_view left;
  };
};

}  // namespace vek::test
