#include "file_collection.h"

#include <algorithm>

namespace vek {

bool IsDataFileName(std::u16string_view name) {
  constexpr std::u16string_view kExtension = u".vek";
  if (name.size() < kExtension.size()) return false;
  const std::u16string_view tail = name.substr(name.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(), [](char16_t c, char16_t e) {
    return (c >= u'A' && c <= u'Z' ? c + 0x20 : c) == e;
  });
}

void CollectFiles(SearchState& state, const NativePath& folder, bool recurse,
                  WalkContext& context) {
  FolderListing listing;
  if (std::error_code ec = context.fileSystem.ListFolder(folder, listing)) {
    context.problems.push_back({folder, ec});
  }
  // Each entry goes as its path moves on, so that a large folder is not held twice.
  for (; !listing.files.empty(); listing.files.pop_front()) {
    FolderEntry& file = listing.files.front();
    if (!IsDataFileName(file.name)) continue;
    ++state.gFileCount;
    if (context.onFile) context.onFile(file.path);
    state.gFileList.push_back(std::move(file.path));
  }
  if (!recurse) return;

  for (const FolderEntry& subfolder : listing.subfolders) {
    if (context.pump) context.pump();
    if (state.gCancel) return;
    std::optional<FolderIdentity> identity = context.fileSystem.Identity(subfolder.path);
    if (identity && std::find(context.ancestors.begin(), context.ancestors.end(), *identity) !=
                        context.ancestors.end())
      continue;
    // A folder whose identity cannot be read is still entered: its listing reports why.
    const bool tracked = identity.has_value();
    if (tracked) context.ancestors.push_back(std::move(*identity));
    CollectFiles(state, subfolder.path, recurse, context);
    if (tracked) context.ancestors.pop_back();
  }
}

}  // namespace vek
