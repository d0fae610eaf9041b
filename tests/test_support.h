// Shared helpers of the tests: temporary folder trees and file systems that fail on cue.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <string_view>

#include "cp932.h"
#include "file_system.h"

namespace vek::test {

// A fresh folder under the system's temp folder, removed with everything in it.
class TempTree {
 public:
  TempTree() : root_(std::filesystem::temp_directory_path() / Name()) {
    std::filesystem::create_directories(root_);
  }
  ~TempTree() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path operator/(const std::filesystem::path& relative) const {
    return root_ / relative;
  }
  // Writes raw bytes, creating the folders on the way.
  std::filesystem::path WriteBytes(const std::filesystem::path& relative, std::string_view bytes) {
    const std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    return path;
  }
  // Writes text encoded in CP932.
  std::filesystem::path Write(const std::filesystem::path& relative, std::u16string_view text) {
    return WriteBytes(relative, EncodeCp932(text));
  }

 private:
  static std::string Name() {
    std::random_device random;
    return "vek-test-" + std::to_string(random()) + std::to_string(random());
  }
  std::filesystem::path root_;
};

// The real file system, except that chosen folders cannot be listed and chosen files cannot
// be read. (The tests run as root in CI, where permissions would not stop anything.)
class FaultyFileSystem final : public StdFileSystem {
 public:
  std::set<std::filesystem::path> unlistable;
  std::set<std::filesystem::path> unreadable;

  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override {
    if (unlistable.count(folder)) return std::make_error_code(std::errc::permission_denied);
    return StdFileSystem::ListFolder(folder, listing);
  }
  std::error_code Open(const std::filesystem::path& file,
                       std::unique_ptr<FileReader>& reader) override {
    if (unreadable.count(file)) return std::make_error_code(std::errc::permission_denied);
    return StdFileSystem::Open(file, reader);
  }
};

// Bytes in memory read as a file, `most` bytes a call at most: a platform whose reads stop
// short anywhere.
class MemoryReader final : public FileReader {
 public:
  MemoryReader(std::string_view bytes, std::size_t most) : bytes_(bytes), most_(most) {}
  std::error_code Read(std::span<char> room, std::size_t& got) override {
    got = std::min({room.size(), most_, bytes_.size()});
    std::copy_n(bytes_.begin(), got, room.begin());
    bytes_.remove_prefix(got);
    return {};
  }

 private:
  std::string_view bytes_;
  std::size_t most_;
};

}  // namespace vek::test
