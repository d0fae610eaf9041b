#include "result_sources.h"

#include <algorithm>
#include <iterator>

namespace vek {

void ResultSources::Add(FileResults& file, ResultList& lines) {
  if (file.lines.empty()) return;
  files_.push_back(std::move(file.path));
  firstLines_.push_back(offsets_.size());
  offsets_.insert(offsets_.end(), file.offsets.begin(), file.offsets.end());
  std::move(file.lines.begin(), file.lines.end(), std::back_inserter(lines));
}

std::optional<ResultSources::Source> ResultSources::Find(std::size_t index) const {
  if (index >= offsets_.size()) return std::nullopt;
  const auto next = std::ranges::upper_bound(firstLines_, index);
  const auto file = static_cast<std::size_t>(std::distance(firstLines_.begin(), next)) - 1;
  return Source{&files_[file], offsets_[index]};
}

}  // namespace vek
