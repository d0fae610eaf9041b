// Windows path syntax, for paths past the system's plain limit of MAX_PATH (260) characters:
// the extended-length form ("\\?\C:\…", "\\?\UNC\server\share\…") reaches any length the file
// system allows, but the system then takes it literally: no "/", no "." or "..", no relative
// part. Pure text work on the platform's wide spelling, so that it is tested everywhere.
#pragma once

#include <string>
#include <string_view>

namespace vek {

// Paths shorter than this, once made full, work in the plain form.
inline constexpr std::size_t kPlainPathLimit = 260;

// The path to hand to the system's file calls for `path`, as typed or as the walk made it
// (a typed root, then listed names): `path` itself when its full form is shorter than the plain
// limit, so that every path that works today is used as it is; otherwise its extended-length
// form, with "/" read as "\", "." and empty components dropped, ".." taking one back (never
// above the root), and a relative path resolved against `currentFolder` (a full path). Names
// are kept as they are, trailing dots and spaces included. A path already in a device or
// extended form, or one that cannot be made full, is given back unchanged.
std::wstring SystemPath(std::wstring_view path, std::wstring_view currentFolder);

// `path` made full in the plain form ("C:\…", "\\server\share\…"), read as SystemPath reads it,
// at any length: for the shell, which takes no extended form. `path` itself when it cannot be
// made full.
std::wstring FullPath(std::wstring_view path, std::wstring_view currentFolder);

// True when the system takes `path` as it is, whatever the current folder: a full path
// shorter than the plain limit, or one in a device or extended form. Saves the look at the
// current folder for nearly every call.
bool PlainPathWorks(std::wstring_view path);

// The path of `name` in `folder`, as a listing makes it: a separator between them unless the
// folder text ends in one or is a bare drive ("C:"), as the platform's own path joining does.
std::wstring ChildPath(std::wstring_view folder, std::wstring_view name);

// What a user sees of a path the system gave: without the extended-length prefix.
std::wstring ShownPath(std::wstring_view path);

}  // namespace vek
