// Where each result line comes from, kept beside the lines at little cost: one path per file
// with hits and one offset per line, for results of millions of lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "search_core.h"

namespace vek {

class ResultSources {
 public:
  struct Source {
    const std::filesystem::path* file;
    std::uint64_t offset;  // where the line starts, in bytes
  };

  // Moves a file's result lines to the end of `lines` and remembers where they come from.
  void Add(FileResults& file, ResultList& lines);
  // Where result line `index` comes from; nothing past the last line.
  std::optional<Source> Find(std::size_t index) const;

 private:
  std::vector<std::filesystem::path> files_;
  std::vector<std::size_t> firstLines_;  // each file's first result line
  std::vector<std::uint64_t> offsets_;
};

}  // namespace vek
