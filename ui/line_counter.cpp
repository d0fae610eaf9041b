#include "line_counter.h"

#include <utility>

#include "line_number.h"

namespace vek::ui {

LineCounter::LineCounter(FileSystem& fileSystem, HWND window, UINT done)
    : fileSystem_(fileSystem),
      window_(window),
      done_(done),
      thread_([this](std::stop_token stop) { Run(std::move(stop)); }) {}

std::uint64_t LineCounter::Request(std::filesystem::path file, std::uint64_t offset) {
  std::uint64_t request = 0;
  {
    const std::lock_guard lock(mutex_);
    request = ++requested_;
    file_ = std::move(file);
    offset_ = offset;
  }
  wake_.notify_one();
  return request;
}

std::optional<std::optional<std::uint64_t>> LineCounter::Answer(std::uint64_t request) const {
  const std::lock_guard lock(mutex_);
  if (request != answered_) return std::nullopt;
  return answer_;
}

void LineCounter::Run(std::stop_token stop) {
  std::unique_lock lock(mutex_);
  while (wake_.wait(lock, stop, [this] { return requested_ != started_; })) {
    const std::uint64_t request = started_ = requested_;
    const std::filesystem::path file = file_;
    const std::uint64_t offset = offset_;
    lock.unlock();
    const std::optional<std::uint64_t> line = LineNumberAt(fileSystem_, file, offset);
    lock.lock();
    answered_ = request;
    answer_ = line;
    ::PostMessageW(window_, done_, static_cast<WPARAM>(request), 0);
  }
}

}  // namespace vek::ui
