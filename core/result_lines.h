// A file's result lines, "name(n)：line", made from its hit lines' CP932 bytes.
#pragma once

#include <string>

#include "search_core.h"

namespace vek {

// Makes file.lines from file.hitBytes and file.hitEnds, and empties those. The lines are
// numbered from file.hitsBefore + 1.
void MakeResultLines(FileResults& file);

// Appends the file's result lines to `out` in UTF-8, each followed by a LF.
void AppendResultLinesUtf8(const FileResults& file, std::string& out);

}  // namespace vek
