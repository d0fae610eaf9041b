// UTF-8 / UTF-16 conversions for the front ends and for file names.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vek {

// Invalid sequences become U+FFFD; neither direction ever throws.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
void AppendUtf8(std::u16string_view text, std::string& out);

// A path's text as UTF-16. Unlike path::u16string() this never throws on a name that is not
// valid in the platform's encoding (a CP932-named file on Linux, say).
std::u16string PathText(const std::filesystem::path& path);
std::u16string FileNameText(const std::filesystem::path& path);

// The path that a folder text names, without loss on either platform.
std::filesystem::path PathFromText(std::u16string_view text);

}  // namespace vek
