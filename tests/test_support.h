// Shared helpers of the tests: temporary folder trees and file systems that fail on cue.
#pragma once

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "cp932.h"
#include "file_system.h"

namespace vek::test {

// A fresh folder under the system's temp folder, removed with everything in it.
class TempTree {
 public:
  TempTree() { std::filesystem::create_directories(root_); }
  ~TempTree() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path operator/(const std::filesystem::path& path) const { return root_ / path; }
  // Writes raw bytes, creating the folders on the way.
  std::filesystem::path WriteBytes(const std::filesystem::path& relative, std::string_view bytes) {
    std::filesystem::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary).write(bytes.data(), std::ssize(bytes));
    return root_ / relative;
  }
  std::filesystem::path Write(const std::filesystem::path& relative, std::u16string_view text) {
    return WriteBytes(relative, EncodeCp932(text));
  }

 private:
  std::filesystem::path root_ = std::filesystem::temp_directory_path() /
                                ("vek-test-" + std::to_string(std::random_device()()) +
                                 std::to_string(std::random_device()()));
};

inline std::string Slurp(const std::filesystem::path& path) {
  std::ostringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

inline std::string Hex(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", c);
    out += digits;
  }
  return out;
}

// The real file system, except that chosen folders cannot be listed, chosen files cannot be
// opened and others hold a line too long for memory. (The tests run as root in CI, where
// permissions would not stop anything.)
struct FaultyFileSystem final : StdFileSystem {
  std::set<std::filesystem::path> unlistable, unreadable, endless;

  std::error_code ListFolder(const std::filesystem::path& folder, FolderListing& listing) override {
    if (unlistable.count(folder)) return std::make_error_code(std::errc::permission_denied);
    return StdFileSystem::ListFolder(folder, listing);
  }
  std::error_code Open(const std::filesystem::path& file,
                       std::unique_ptr<FileReader>& reader) override {
    if (unreadable.count(file)) return std::make_error_code(std::errc::permission_denied);
    if (endless.count(file)) reader = std::make_unique<Endless>();
    return endless.count(file) ? std::error_code() : StdFileSystem::Open(file, reader);
  }
  struct Endless final : FileReader {
    std::error_code Read(std::span<char>, std::size_t&) override { throw std::bad_alloc(); }
  };
};

}  // namespace vek::test
