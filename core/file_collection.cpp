#include "file_collection.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "folder_read_ahead.h"

namespace vek {

// On the name as the platform spells it, which ends in the same ASCII characters as its text:
// a UTF-8 byte below 0x80 is always a character of its own.
bool IsDataFileName(NativeView name) {
  constexpr std::string_view kExtension = ".vek";
  if (name.size() < kExtension.size()) return false;
  const NativeView tail = name.substr(name.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                    [](auto c, char e) { return (c >= 'A' && c <= 'Z' ? c + 0x20 : c) == e; });
}

namespace {

// False when the walk was cancelled: then the helpers may still be reading below `folder`.
bool Collect(SearchState& state, FolderReadAhead& readAhead, FolderReadAhead::Folder& folder,
             WalkContext& context) {
  if (folder.error()) context.problems.push_back({folder.path(), folder.error()});
  // Each entry goes as its path moves on, so that a large folder is not held twice.
  std::vector<NativePath> found;
  found.reserve(folder.files().size());
  for (auto& files = folder.files(); !files.empty(); files.pop_front()) {
    FolderEntry& file = files.front();
    if (!IsDataFileName(file.name())) continue;
    // Reading a cloud placeholder would download it: the user learns what was not searched.
    if (file.offline) {
      context.problems.push_back({std::move(file.path), NotOnThisComputer()});
    } else {
      found.push_back(std::move(file.path));
    }
  }
  if (!found.empty()) {
    state.gFileCount += static_cast<std::int32_t>(found.size());
    if (context.onFiles) context.onFiles(found);
    std::move(found.begin(), found.end(), std::back_inserter(state.gFileList));
  }
  bool complete = true;
  for (const std::unique_ptr<FolderReadAhead::Folder>& subfolder : folder.subfolders()) {
    if (context.pump) context.pump();
    if (state.gCancel) return false;
    readAhead.Wait(*subfolder);
    if (subfolder->loop()) continue;
    if (Collect(state, readAhead, *subfolder, context)) {
      readAhead.Forget(*subfolder);
    } else {
      complete = false;  // the next subfolder's test ends this walk too, if there is one
    }
  }
  return complete;
}

}  // namespace

bool CollectFiles(SearchState& state, const NativePath& folder, bool recurse,
                  WalkContext& context) {
  // Without recursion there is only the one listing: nothing to read ahead.
  FolderReadAhead readAhead(context.fileSystem, recurse ? context.readAheadThreads : 0,
                            context.readAheadFolders, context.slowCall);
  FolderReadAhead::Folder& root = readAhead.Root(folder, recurse);
  readAhead.Wait(root);
  return Collect(state, readAhead, root, context);
}

}  // namespace vek
