// Which lines of one data file are hits: every line that holds every non-empty keyword,
// compared as exact UTF-16 code units.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "file_system.h"
#include "search_core.h"

namespace vek {

// Splits decoded text into lines: CR LF, then a lone LF, then a lone CR end a line. A text
// that ends with a line end has a last, empty line; an empty text has no lines.
std::vector<std::u16string_view> SplitLines(std::u16string_view text);

// Matches the lines of raw CP932 file contents. Built once per search; keeps its work
// buffers between files, so one matcher serves one thread.
class LineMatcher {
 public:
  explicit LineMatcher(const KeywordList& keywords);

  // Calls `onHit` with each matching line, in file order. The view is valid only during
  // the call.
  template <typename OnHit>
  void Match(std::string_view bytes, OnHit&& onHit);

  const std::vector<std::u16string>& keywords() const { return keywords_; }

 private:
  bool Holds(std::u16string_view line) const;

  std::vector<std::u16string> keywords_;  // the distinct non-empty keywords
  std::u16string text_;                   // the decoded file, reused
};

// The matched lines of the file at `path`. On a read failure `error` is set and the
// result is empty.
std::vector<std::u16string> MatchFile(const std::filesystem::path& path,
                                      const KeywordList& keywords, FileSystem& fileSystem,
                                      std::error_code& error);

}  // namespace vek

#include "line_matching_inl.h"
