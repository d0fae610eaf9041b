// Where a result line sits in its file, for the front ends that show it on request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

#include "file_system.h"

namespace vek {

// The number (from 1) of the line that starts `offset` bytes into `file`, with line ends as
// the matcher splits lines: CR LF, a lone LF and a lone CR are one line end each. The file is
// read up to the offset in slices of `sliceBytes`, so memory stays bounded. Nothing when the
// file cannot be read or has become shorter than the offset.
std::optional<std::uint64_t> LineNumberAt(FileSystem& fileSystem, const std::filesystem::path& file,
                                          std::uint64_t offset,
                                          std::size_t sliceBytes = std::size_t{64} << 10);

}  // namespace vek
