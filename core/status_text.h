// The texts of the status bar's second panel: how far a search has got, then what it did.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vek {

// While the folders are walked: the data files found so far.
std::u16string WalkStatusText(std::int32_t filesFound, std::u16string_view separator);

// While the found files are matched: files searched of files found, and the hits so far.
std::u16string MatchStatusText(std::int32_t filesSearched, std::int32_t filesFound,
                               std::int64_t hits, std::u16string_view separator);

// While the result box fills: result lines shown of all of them.
std::u16string FillStatusText(std::int32_t linesShown, std::int32_t lines,
                              std::u16string_view separator);

// Why the result box shows fewer lines than were found.
enum class DisplayCut {
  None,
  Cancelled,  // the user clicked Cancel while the box filled
  Bound,      // the program's memory budget was reached
};

// Said after the summary when the box shows only its first `shown` of `lines` result lines,
// so that a partial list never reads as the whole answer; empty for DisplayCut::None.
std::u16string ShownLinesText(DisplayCut cut, std::int64_t shown, std::int64_t lines,
                              std::u16string_view separator);

// After the search: the files searched and the time it took, in tenths of a second. After a
// cancelled walk it says so: the result may then be incomplete.
std::u16string SummaryStatusText(std::int32_t filesSearched, std::int64_t milliseconds,
                                 bool walkCancelled, std::u16string_view separator);

// Where the result line under the caret comes from: its file's full path and, when it could be
// counted, the line's number in that file.
std::u16string LineSourceText(std::u16string_view path, std::optional<std::uint64_t> line,
                              std::u16string_view separator);

// After a search that found nothing with a full-width space inside a keyword: only half-width
// spaces separate keywords, and the input method types full-width ones. Empty in every other
// case.
std::u16string FullWidthSpaceHint(const std::vector<std::u16string>& keywords, std::int64_t hits);

}  // namespace vek
