// Counts a result line's number in its file on a thread of its own: the file may sit on a slow
// server or behind a virus scanner, and the window must not wait for it.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

#include "file_system.h"

namespace vek::ui {

class LineCounter {
 public:
  // Posts `done` to `window` with the request's number as wParam when a count is done.
  // `fileSystem` must allow calls from another thread.
  LineCounter(FileSystem& fileSystem, HWND window, UINT done);

  // Asks for the number of the line that starts `offset` bytes into `file`; a request not yet
  // started when the next one comes is dropped, the latest wins. Returns the request's number.
  std::uint64_t Request(std::filesystem::path file, std::uint64_t offset);
  // The line number of request `request`, once it is done: nothing when the file could not be
  // read; no answer at all when it is not the latest request done.
  std::optional<std::optional<std::uint64_t>> Answer(std::uint64_t request) const;

 private:
  void Run(std::stop_token stop);

  FileSystem& fileSystem_;
  HWND window_;
  UINT done_;
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  std::uint64_t requested_ = 0;  // the latest request's number
  std::uint64_t started_ = 0;
  std::filesystem::path file_;
  std::uint64_t offset_ = 0;
  std::uint64_t answered_ = 0;  // the latest request done, and its answer
  std::optional<std::uint64_t> answer_;
  std::jthread thread_;  // last: stopped and joined before the rest goes
};

}  // namespace vek::ui
