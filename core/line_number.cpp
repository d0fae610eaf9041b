#include "line_number.h"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace vek {

std::optional<std::uint64_t> LineNumberAt(FileSystem& fileSystem, const std::filesystem::path& file,
                                          std::uint64_t offset, std::size_t sliceBytes) {
  std::unique_ptr<FileReader> reader;
  if (fileSystem.Open(file, reader)) return std::nullopt;
  std::vector<char> slice(std::max<std::size_t>(sliceBytes, 1));
  std::uint64_t lineEnds = 0;
  // A CR ends a line by itself unless an LF follows, which may come in the next slice.
  bool afterCr = false;
  for (std::uint64_t left = offset; left > 0;) {
    const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(left, slice.size()));
    std::size_t got = 0;
    if (reader->Read(std::span(slice.data(), room), got) || got == 0) return std::nullopt;
    for (const char byte : std::span(slice.data(), got)) {
      if (afterCr && byte != '\n') ++lineEnds;
      if (byte == '\n') ++lineEnds;
      afterCr = byte == '\r';
    }
    left -= got;
  }
  // A line starts at the offset, so a CR just before it ended the line before.
  if (afterCr) ++lineEnds;
  return lineEnds + 1;
}

}  // namespace vek
