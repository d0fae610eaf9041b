// Shared helpers of the tests: temporary folder trees and a file system that fails on cue.
#pragma once

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
  TempTree() {
    std::random_device random;
    root_ = std::filesystem::temp_directory_path() /
            ("vek-test-" + std::to_string(random()) + std::to_string(random()));
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
  std::filesystem::path Folder(const std::filesystem::path& relative) {
    std::filesystem::create_directories(root_ / relative);
    return root_ / relative;
  }

 private:
  std::filesystem::path root_;
};

// The real file system, except that chosen folders cannot be listed and chosen files cannot
// be read. (The tests run as root in CI, where permissions would not stop anything.)
class FaultyFileSystem final : public FileSystem {
 public:
  std::set<std::filesystem::path> unlistable;
  std::set<std::filesystem::path> unreadable;

  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override {
    if (unlistable.count(folder)) return std::make_error_code(std::errc::permission_denied);
    return real_.ListFolder(folder, listing);
  }
  std::error_code ReadFile(const std::filesystem::path& file, ByteBuffer& content) override {
    if (unreadable.count(file)) return std::make_error_code(std::errc::permission_denied);
    return real_.ReadFile(file, content);
  }
  std::optional<FolderIdentity> Identity(const std::filesystem::path& folder) override {
    return real_.Identity(folder);
  }
  bool IsFolder(const std::filesystem::path& path) override { return real_.IsFolder(path); }

 private:
  StdFileSystem real_;
};

}  // namespace vek::test
