// The folder walk: which data files a search looks at, and in which order.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "file_system.h"
#include "search_core.h"

namespace vek {

// A file is a data file when its lower-cased name ends in ".vek".
bool IsDataFileName(NativeView name);

struct WalkContext {
  FileSystem& fileSystem;
  const EventPump& pump;
  std::vector<SearchProblem>& problems;
  // Each folder's data files as found, in order, all at once: a hand-over per file would cost
  // the walk and the threads that take the files a lock each.
  std::function<void(std::span<const NativePath>)> onFiles = {};
  // Threads that list folders ahead of the walk, and how many folders they may read ahead
  // of it. With none, the walk makes every call itself, one at a time.
  unsigned readAheadThreads = 0;
  std::size_t readAheadFolders = 0;
  // A folder's identity that takes this long or longer starts one more of those threads.
  std::chrono::microseconds slowCall = {};
};

// Appends the data files of `folder`, then, when `recurse`, those of each subfolder's
// subtree in turn, to state.gFileList (counting them in state.gFileCount). Before each
// subfolder it pumps events and stops the whole walk once state.gCancel is set; nothing read
// ahead after that is used. A folder that cannot be listed, and a data file whose content is
// not on this computer, is recorded in the problems and skipped; a folder already on the
// current path (reached again through a link) is not entered again. False when a cancel ended
// the walk before its end.
bool CollectFiles(SearchState& state, const NativePath& folder, bool recurse, WalkContext& context);

}  // namespace vek
