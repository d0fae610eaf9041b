#include "extended_path.h"

#include <optional>

namespace vek {
namespace {

constexpr std::wstring_view kExtended = L"\\\\?\\";
constexpr std::wstring_view kExtendedUnc = L"\\\\?\\UNC\\";

bool IsSeparator(wchar_t c) {
  return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
  return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool HasDrive(std::wstring_view path) {
  return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == L':';
}

// "\\?\", "\\.\" (the system's own devices and the extended form) or "\??\".
bool HasDevicePrefix(std::wstring_view path) {
  if (path.size() < 4 || !IsSeparator(path[3])) return false;
  if (path[0] == L'\\' && path[1] == L'?' && path[2] == L'?') return true;
  return IsSeparator(path[0]) && IsSeparator(path[1]) && (path[2] == L'?' || path[2] == L'.');
}

bool IsFull(std::wstring_view path) {
  return (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) ||
         (HasDrive(path) && path.size() >= 3 && IsSeparator(path[2]));
}

// The next component of `rest` from `at` on, skipping separators; empty at the end.
std::wstring_view NextComponent(std::wstring_view rest, std::size_t& at) {
  while (at < rest.size() && IsSeparator(rest[at])) ++at;
  const std::size_t start = at;
  while (at < rest.size() && !IsSeparator(rest[at])) ++at;
  return rest.substr(start, at - start);
}

// Appends the components of `rest` to `out`, which ends at its root at `rootEnd`.
void AppendComponents(std::wstring_view rest, std::size_t rootEnd, std::wstring& out) {
  for (std::size_t at = 0; at < rest.size();) {
    const std::wstring_view name = NextComponent(rest, at);
    if (name.empty() || name == L".") continue;
    if (name == L"..") {
      if (out.size() > rootEnd) out.resize(out.rfind(L'\\'));
      continue;
    }
    out += L'\\';
    out += name;
  }
}

// Writes the extended form of `path` made full into `out`; gives where its root ends there
// ("\\?\C:", "\\?\UNC\server\share"), or nothing when it cannot be made full. `current` may be
// empty when `path` needs none.
std::optional<std::size_t> AppendFull(std::wstring_view path, std::wstring_view current,
                                      std::wstring& out) {
  const auto relativeTo = [&](std::wstring_view base, std::wstring_view rest, bool atRoot) {
    std::optional<std::size_t> rootEnd;
    if (IsFull(base)) rootEnd = AppendFull(base, {}, out);
    if (rootEnd) {
      if (atRoot) out.resize(*rootEnd);
      AppendComponents(rest, *rootEnd, out);
    }
    return rootEnd;
  };
  if (path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
    std::size_t at = 2;
    const std::wstring_view server = NextComponent(path, at);
    const std::wstring_view share = NextComponent(path, at);
    if (server.empty() || share.empty()) return std::nullopt;
    out.assign(kExtendedUnc).append(server).append(1, L'\\').append(share);
    const std::size_t rootEnd = out.size();
    AppendComponents(path.substr(at), rootEnd, out);
    return rootEnd;
  }
  if (HasDrive(path)) {
    const bool sameDrive = HasDrive(current) && (current[0] | 0x20) == (path[0] | 0x20);
    if (path.size() == 2 || !IsSeparator(path[2])) {
      // Relative to the drive's current folder, known only for the current drive; on another
      // drive the system takes its root unless told otherwise.
      if (sameDrive) return relativeTo(current, path.substr(2), false);
    }
    out.assign(kExtended).append(path.substr(0, 2));
    const std::size_t rootEnd = out.size();
    AppendComponents(path.substr(2), rootEnd, out);
    return rootEnd;
  }
  // "\folder" starts at the root of the current folder's drive or share.
  return relativeTo(current, path, !path.empty() && IsSeparator(path[0]));
}

}  // namespace

bool PlainPathWorks(std::wstring_view path) {
  return HasDevicePrefix(path) || (path.size() < kPlainPathLimit && IsFull(path));
}

std::wstring SystemPath(std::wstring_view path, std::wstring_view currentFolder) {
  if (PlainPathWorks(path)) return std::wstring(path);
  std::wstring full;
  const std::optional<std::size_t> rootEnd = AppendFull(path, currentFolder, full);
  if (!rootEnd) return std::wstring(path);
  if (full.size() == *rootEnd) full += L'\\';  // "\\?\C:" would be the volume, not its root
  // As long as the plain form would be: "\\?\UNC\" stands for "\\".
  const std::size_t plainSize =
      full.size() - (full.starts_with(kExtendedUnc) ? kExtendedUnc.size() - 2 : kExtended.size());
  if (path.size() < kPlainPathLimit && plainSize < kPlainPathLimit) return std::wstring(path);
  return full;
}

std::wstring FullPath(std::wstring_view path, std::wstring_view currentFolder) {
  if (HasDevicePrefix(path)) return ShownPath(path);
  std::wstring full;
  const std::optional<std::size_t> rootEnd = AppendFull(path, currentFolder, full);
  if (!rootEnd) return std::wstring(path);
  if (full.size() == *rootEnd) full += L'\\';
  return ShownPath(full);
}

std::wstring ChildPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder);
  if (!folder.empty() && !IsSeparator(folder.back()) && !(folder.size() == 2 && HasDrive(folder)))
    path += L'\\';
  return path.append(name);
}

std::wstring ShownPath(std::wstring_view path) {
  if (path.starts_with(kExtendedUnc))
    return L"\\\\" + std::wstring(path.substr(kExtendedUnc.size()));
  if (path.starts_with(kExtended) && HasDrive(path.substr(kExtended.size())))
    return std::wstring(path.substr(kExtended.size()));
  return std::wstring(path);
}

}  // namespace vek
